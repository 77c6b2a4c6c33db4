#include "fleet/TFormFleet.h"

#include "app/ErrorDisplay.h"
#include "engine/GatewayEngine.h"
#include "fleet/FleetAddressDialog.h"
#include "fleet/FleetTable.h"
#include "link/Clock.h"
#include "link/VarnexError.h"
#include "mainwindow/TFormDetect.h"
#include "text/PrintableText.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

namespace {
QPushButton* button(const QString& caption, QWidget* parent) {
    auto* b = new QPushButton(caption, parent);
    b->setAccessibleName(caption);
    return b;
}

// A label that names the control beside it, for the eye and for a screen reader.
QLabel* labelFor(const QString& text, QWidget* control, QWidget* parent) {
    auto* l = new QLabel(text, parent);
    l->setTextFormat(Qt::PlainText);
    l->setBuddy(control);
    QString name = text;
    name.remove(QLatin1Char('&'));
    if (name.endsWith(QLatin1Char(':'))) name.chop(1);
    control->setAccessibleName(name);
    return l;
}

QString logLine(const FleetBatch::LogEntry& e) {
    return QStringLiteral("%1  %2  %3")
        .arg(e.time.toString(Qt::ISODate), e.mac.isEmpty() ? QStringLiteral("-") : e.mac,
             PrintableText(e.event));
}

// How long a firmware batch looks for the gateways it upgraded, on the engine's clock.
constexpr qint64 kSearchAfterMs = 60000;
// One Search of that look: a gateway that restarts misses a request sent meanwhile.
constexpr qint64 kSearchRoundMs = 2000;
}  // namespace

TFormFleet::TFormFleet(TFormDetect& form, const Services& services, QWidget* parent)
    : QWidget(parent, Qt::Window), form_(form), services_(services), engine_(*services.engine) {
    setObjectName(QStringLiteral("FormFleet"));
    setWindowTitle(QStringLiteral("Fleet"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    model_ = new FleetTableModel(this);
    filter_ = new FleetFilter(this);
    filter_->setSourceModel(model_);
    buildControls();
    addressDialog_ = new FleetAddressDialog(this);
    connect(addressDialog_, &QDialog::accepted, this,
            [this] { handle([&] { startAddressBatch(); }); });
    resize(960, 640);
    updateButtons();
}

TFormFleet::~TFormFleet() {
    stopSearchAfter_.store(true);
    if (searchAfter_.joinable()) searchAfter_.join();
    // Running exchanges finish; nothing new starts.
    batch_.reset();
    if (running_) engine_.Release();
}

void TFormFleet::buildControls() {
    auto* top = new QVBoxLayout(this);

    auto* selection = new QHBoxLayout;
    AllButton = button(QStringLiteral("All"), this);
    NoneButton = button(QStringLiteral("None"), this);
    FilterEdit = new QLineEdit(this);
    FilterEdit->setClearButtonEnabled(true);
    selection->addWidget(AllButton);
    selection->addWidget(NoneButton);
    selection->addSpacing(16);
    selection->addWidget(
        labelFor(QStringLiteral("&Filter by model or version:"), FilterEdit, this));
    selection->addWidget(FilterEdit, 1);
    top->addLayout(selection);

    Table = new QTableView(this);
    Table->setObjectName(QStringLiteral("FleetTable"));
    Table->setAccessibleName(QStringLiteral("Gateways"));
    Table->setModel(filter_);
    Table->setSortingEnabled(true);
    Table->sortByColumn(FleetTableModel::Mac, Qt::AscendingOrder);
    Table->setSelectionBehavior(QAbstractItemView::SelectRows);
    Table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Table->verticalHeader()->hide();
    Table->horizontalHeader()->setStretchLastSection(true);
    Table->setColumnWidth(FleetTableModel::Mac, 150);
    Table->setColumnWidth(FleetTableModel::Name, 140);
    Table->setColumnWidth(FleetTableModel::Ip, 110);
    top->addWidget(Table, 3);

    auto* options = new QHBoxLayout;
    AtOnce = new QSpinBox(this);
    AtOnce->setRange(1, 32);
    AtOnce->setValue(4);
    SkipVersion = new QLineEdit(this);
    SkipVersion->setMaxLength(8);  // what a gateway's version field holds
    MaxFailures = new QSpinBox(this);
    MaxFailures->setRange(0, 9999);
    MaxFailures->setSpecialValueText(QStringLiteral("never"));
    BackupFormatBox = new QComboBox(this);
    BackupFormatBox->addItems({QStringLiteral("JSON"), QStringLiteral(".vxc")});
    options->addWidget(labelFor(QStringLiteral("&At once:"), AtOnce, this));
    options->addWidget(AtOnce);
    options->addWidget(
        labelFor(QStringLiteral("S&kip gateways that report version:"), SkipVersion, this));
    options->addWidget(SkipVersion);
    options->addWidget(labelFor(QStringLiteral("Stop after &failures:"), MaxFailures, this));
    options->addWidget(MaxFailures);
    options->addWidget(labelFor(QStringLiteral("Back up &as:"), BackupFormatBox, this));
    options->addWidget(BackupFormatBox);
    options->addStretch(1);
    top->addLayout(options);

    auto* operations = new QHBoxLayout;
    UpgradeButton = button(QStringLiteral("Upgrade firmware\u2026"), this);
    WriteButton = button(QStringLiteral("Write configuration\u2026"), this);
    BackupButton = button(QStringLiteral("Back up\u2026"), this);
    RestoreButton = button(QStringLiteral("Restore\u2026"), this);
    AddressButton = button(QStringLiteral("Assign addresses\u2026"), this);
    ExportButton = button(QStringLiteral("Export list\u2026"), this);
    for (QPushButton* b :
         {UpgradeButton, WriteButton, BackupButton, RestoreButton, AddressButton, ExportButton}) {
        operations->addWidget(b);
    }
    operations->addStretch(1);
    top->addLayout(operations);

    auto* batchRow = new QHBoxLayout;
    StopButton = button(QStringLiteral("Stop"), this);
    RetryButton = button(QStringLiteral("Retry failed"), this);
    Summary = new QLabel(this);
    Summary->setTextFormat(Qt::PlainText);
    Summary->setAccessibleDescription(QStringLiteral("Batch summary"));
    batchRow->addWidget(StopButton);
    batchRow->addWidget(RetryButton);
    batchRow->addWidget(Summary, 1);
    top->addLayout(batchRow);

    Notice = new QLabel(this);
    Notice->setTextFormat(Qt::PlainText);
    Notice->setWordWrap(true);
    Notice->setAccessibleDescription(QStringLiteral("Why the operation did not start"));
    top->addWidget(Notice);

    LogView = new QPlainTextEdit(this);
    LogView->setReadOnly(true);
    LogView->setMaximumBlockCount(100000);
    auto* logRow = new QHBoxLayout;
    logRow->addWidget(labelFor(QStringLiteral("&Log:"), LogView, this));
    logRow->addStretch(1);
    SaveLogButton = button(QStringLiteral("Save log\u2026"), this);
    logRow->addWidget(SaveLogButton);
    top->addLayout(logRow);
    top->addWidget(LogView, 2);

    connect(AllButton, &QPushButton::clicked, this, [this] { setAllChecked(true); });
    connect(NoneButton, &QPushButton::clicked, this, [this] { setAllChecked(false); });
    connect(FilterEdit, &QLineEdit::textChanged, this,
            [this](const QString& t) { filter_->SetText(t); });
    connect(UpgradeButton, &QPushButton::clicked, this, &TFormFleet::UpgradeFirmwareClick);
    connect(WriteButton, &QPushButton::clicked, this, &TFormFleet::WriteConfigurationClick);
    connect(BackupButton, &QPushButton::clicked, this, &TFormFleet::BackUpClick);
    connect(RestoreButton, &QPushButton::clicked, this, &TFormFleet::RestoreClick);
    connect(AddressButton, &QPushButton::clicked, this, &TFormFleet::AssignAddressesClick);
    connect(ExportButton, &QPushButton::clicked, this, &TFormFleet::ExportListClick);
    connect(StopButton, &QPushButton::clicked, this, &TFormFleet::StopClick);
    connect(RetryButton, &QPushButton::clicked, this, &TFormFleet::RetryFailedClick);
    connect(SaveLogButton, &QPushButton::clicked, this, &TFormFleet::SaveLogClick);
}

void TFormFleet::LoadFromMainWindow() {
    if (running_) return;
    // The same list as before keeps its checks and results (the window closed
    // and opened again); a new Search starts afresh.
    const auto sameGateway = [](const DiscoveryReply& a, const DiscoveryReply& b) {
        return a.Mac == b.Mac && a.IpAddress == b.IpAddress && a.Version == b.Version &&
               a.DeviceName == b.DeviceName && a.InterfaceIndex == b.InterfaceIndex;
    };
    if (!loadedFrom_.isEmpty() &&
        std::equal(loadedFrom_.begin(), loadedFrom_.end(), form_.Listed.begin(), form_.Listed.end(),
                   sameGateway)) {
        return;
    }
    loadedFrom_ = form_.Listed;
    model_->SetGateways(QList<DiscoveryReply>(form_.Listed.begin(), form_.Listed.end()));
    Summary->setText(QStringLiteral("%1 gateways listed").arg(model_->rowCount()));
    Notice->clear();
    updateButtons();
}

void TFormFleet::setAllChecked(bool on) {
    // The rows shown: a filter narrows what "All" and "None" reach.
    for (int i = 0; i < filter_->rowCount(); ++i) {
        model_->SetChecked(filter_->mapToSource(filter_->index(i, 0)).row(), on);
    }
}

QList<DiscoveryReply> TFormFleet::CheckedGateways() const {
    QList<DiscoveryReply> out;
    for (int i = 0; i < filter_->rowCount(); ++i) {
        const FleetRow& r = model_->Row(filter_->mapToSource(filter_->index(i, 0)).row());
        if (r.checked) out.append(r.gateway);
    }
    return out;
}

QStringList TFormFleet::LogLines() const {
    QStringList lines;
    for (const FleetBatch::LogEntry& e : log_) lines << logLine(e);
    return lines;
}

bool TFormFleet::canStart(const QList<DiscoveryReply>& gateways) {
    QString why;
    if (running_) {
        why = QStringLiteral("A batch is running: wait for it to end, or stop it.");
    } else if (gateways.isEmpty()) {
        why = QStringLiteral("No gateway is checked.");
    } else {
        why = form_.PortHeldBy();
    }
    Notice->setText(why);
    return why.isEmpty();
}

void TFormFleet::startBatch(const QList<DiscoveryReply>& gateways, const FleetOperation& operation,
                            bool retry) {
    if (!canStart(gateways)) return;
    // The main window listens only during its Search; the batch holds the port
    // from here on, and its blocking Searches take their replies themselves.
    form_.UDPServer->SetActive(false);
    engine_.Hold();  // raises when another program has the port
    operation_ = operation;
    haveOperation_ = true;
    running_ = true;
    form_.SetFleetBusy(true);
    appendLog({QDateTime::currentDateTimeUtc(), QString(),
               QStringLiteral("%1 of %2 gateways, %3 at once")
                   .arg(operation.name)
                   .arg(gateways.size())
                   .arg(AtOnce->value())});
    batch_ = std::make_unique<FleetBatch>(gateways, AtOnce->value(), operation.maxFailures);
    batchLogShown_ = 0;
    if (!retry) model_->ClearStatuses();
    model_->SetStatuses(batch_->Statuses());
    batch_->SetOnChange([this] {
        // A worker thread: the state is read on the UI thread.
        QMetaObject::invokeMethod(
            this, [this] { batchChanged(); }, Qt::QueuedConnection);
    });
    batch_->Start(operation.job());
    updateSummary();
    updateButtons();
}

void TFormFleet::batchChanged() {
    if (!batch_) return;
    batch_->Noticed();
    // Read first: once every worker has ended, the statuses below are final.
    const bool finished = batch_->Finished();
    model_->SetStatuses(batch_->Statuses());
    const QList<FleetBatch::LogEntry> log = batch_->Log();
    for (int i = batchLogShown_; i < log.size(); ++i) appendLog(log[i]);
    batchLogShown_ = log.size();
    updateSummary();
    if (finished) batchFinished();
}

void TFormFleet::batchFinished() {
    const QList<FleetBatch::Status> statuses = batch_->Statuses();
    batch_.reset();
    QStringList upgraded;
    for (const FleetBatch::Status& s : statuses) {
        if (s.state != FleetBatch::State::Done) continue;
        upgraded << s.gateway.Mac;
        const auto plan = operation_.addresses.constFind(s.gateway.Mac.toUpper());
        if (plan != operation_.addresses.constEnd()) {
            model_->SetAddress(s.gateway.Mac, plan->ip, plan->mask, plan->gateway, plan->viewIp,
                               plan->name);
        }
    }
    if (operation_.searchAfter && !upgraded.isEmpty()) {
        startSearchAfter(upgraded);
        return;
    }
    endBatch();
}

void TFormFleet::startSearchAfter(const QStringList& macs) {
    appendLog({QDateTime::currentDateTimeUtc(), QString(),
               QStringLiteral("searching again for %1 upgraded gateways").arg(macs.size())});
    Summary->setText(Summary->text() + QStringLiteral("; searching again"));
    stopSearchAfter_.store(false);
    GatewayEngine& engine = engine_;
    searchAfter_ = std::thread([this, &engine, macs] {
        Clock& clock = engine.clock();
        const qint64 start = clock.nowMs();
        QStringList missing = macs;
        QHash<QString, QString> versions;
        for (;;) {
            const qint64 left = kSearchAfterMs - (clock.nowMs() - start);
            if (missing.isEmpty() || left <= 0 || stopSearchAfter_.load()) break;
            const qint64 round = qMax<qint64>(1, clock.realMs(qMin(left, kSearchRoundMs)));
            for (const DiscoveryReply& r : engine.Discover(static_cast<int>(round), missing)) {
                for (int i = 0; i < missing.size(); ++i) {
                    if (missing[i].compare(r.Mac, Qt::CaseInsensitive) != 0) continue;
                    versions.insert(missing[i], r.Version);
                    missing.removeAt(i);
                    break;
                }
            }
        }
        const bool stopped = stopSearchAfter_.load();
        QMetaObject::invokeMethod(
            this,
            [this, versions, missing, stopped] { searchAfterEnded(versions, missing, stopped); },
            Qt::QueuedConnection);
    });
}

void TFormFleet::searchAfterEnded(const QHash<QString, QString>& versions,
                                  const QStringList& missing, bool stopped) {
    if (searchAfter_.joinable()) searchAfter_.join();
    const QDateTime now = QDateTime::currentDateTimeUtc();
    for (auto it = versions.constBegin(); it != versions.constEnd(); ++it) {
        const QString text = QStringLiteral("now reports %1").arg(it.value());
        model_->SetAfterUpgrade(it.key(), text, it.value());
        appendLog({now, it.key(), text});
    }
    for (const QString& mac : missing) {
        const QString text = stopped ? QStringLiteral("not looked for again (stopped)")
                                     : QStringLiteral("not back after 60 s");
        model_->SetAfterUpgrade(mac, text, QString());
        appendLog({now, mac, text});
    }
    endBatch();
}

void TFormFleet::endBatch() {
    running_ = false;
    engine_.Release();
    form_.SetFleetBusy(false);
    appendLog({QDateTime::currentDateTimeUtc(), QString(), QStringLiteral("batch ended")});
    updateSummary();
    updateButtons();
    emit BatchEnded();
}

void TFormFleet::StopClick() {
    handle([&] {
        if (batch_) {
            batch_->Stop();
            appendLog({QDateTime::currentDateTimeUtc(), QString(),
                       QStringLiteral("stop: no further gateway is started; running exchanges "
                                      "finish")});
        } else if (searchAfter_.joinable()) {
            stopSearchAfter_.store(true);
        }
        StopButton->setEnabled(false);
    });
}

void TFormFleet::RetryFailedClick() {
    handle([&] {
        if (!haveOperation_) return;
        QList<DiscoveryReply> failed;
        for (const FleetRow& r : model_->Rows()) {
            if (r.inBatch && r.state == FleetBatch::State::Failed) failed << r.gateway;
        }
        startBatch(failed, operation_, true);
    });
}

void TFormFleet::appendLog(const FleetBatch::LogEntry& entry) {
    log_.append(entry);
    LogView->appendPlainText(logLine(entry));
}

void TFormFleet::updateSummary() {
    int counts[6] = {0, 0, 0, 0, 0, 0};
    int notBack = 0;
    bool any = false;
    for (const FleetRow& r : model_->Rows()) {
        if (!r.inBatch) continue;
        any = true;
        ++counts[static_cast<int>(r.state)];
        if (r.afterUpgrade.startsWith(QStringLiteral("not back"))) ++notBack;
    }
    if (!any) return;
    using S = FleetBatch::State;
    QStringList parts;
    if (running_) {
        if (const int n = counts[static_cast<int>(S::Running)])
            parts << QStringLiteral("%1 running").arg(n);
        if (const int n = counts[static_cast<int>(S::Waiting)])
            parts << QStringLiteral("%1 waiting").arg(n);
    }
    parts << QStringLiteral("%1 done").arg(counts[static_cast<int>(S::Done)])
          << QStringLiteral("%1 failed").arg(counts[static_cast<int>(S::Failed)])
          << QStringLiteral("%1 skipped").arg(counts[static_cast<int>(S::Skipped)]);
    if (const int n = counts[static_cast<int>(S::NotStarted)])
        parts << QStringLiteral("%1 not started").arg(n);
    if (notBack) parts << QStringLiteral("%1 not back").arg(notBack);
    Summary->setText(parts.join(QStringLiteral(", ")));
}

void TFormFleet::updateButtons() {
    for (QPushButton* b :
         {UpgradeButton, WriteButton, BackupButton, RestoreButton, AddressButton}) {
        b->setEnabled(!running_);
    }
    StopButton->setEnabled(running_);
    bool anyFailed = false;
    for (const FleetRow& r : model_->Rows())
        anyFailed |= r.inBatch && r.state == FleetBatch::State::Failed;
    RetryButton->setEnabled(!running_ && haveOperation_ && anyFailed);
}
