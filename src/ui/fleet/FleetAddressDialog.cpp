#include "fleet/FleetAddressDialog.h"

#include "link/VarnexError.h"
#include "text/PrintableText.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QVBoxLayout>

#include <exception>

void AddressPlanModel::SetPlan(const QVector<PlannedGateway>& plan) {
    beginResetModel();
    plan_ = plan;
    endResetModel();
}

int AddressPlanModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : plan_.size();
}

int AddressPlanModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant AddressPlanModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole)) return QVariant();
    const PlannedGateway& p = plan_.at(index.row());
    const auto change = [](const QString& before, const QString& after) {
        return before == after ? after : QStringLiteral("%1 -> %2").arg(before, after);
    };
    QString text;
    switch (index.column()) {
        case Mac:
            text = p.now.mac;
            break;
        case Name:
            text = change(p.now.name, p.name);
            break;
        case OldIp:
            text = p.now.ip;
            break;
        case NewIp:
            text = p.ip;
            break;
        case Mask:
            text = change(p.now.mask, p.mask);
            break;
        case Gateway:
            text = change(p.now.gateway, p.gateway);
            break;
        case ViewIp:
            text = change(p.now.viewIp, p.viewIp);
            break;
        case Problem:
            text = p.refusal;
            break;
        default:
            break;
    }
    return PrintableText(text);
}

QVariant AddressPlanModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return QVariant();
    static const char* const titles[ColumnCount] = {"MAC",  "Name",    "Old IP",        "New IP",
                                                    "Mask", "Gateway", "VarnexView IP", "Problem"};
    return section >= 0 && section < ColumnCount ? QString::fromLatin1(titles[section])
                                                 : QVariant();
}

namespace {
QLineEdit* addressEdit(QWidget* parent) {
    auto* e = new QLineEdit(parent);
    e->setMaxLength(15);
    return e;
}

QString errorText() {
    try {
        throw;
    } catch (const VarnexError& e) {
        return e.text();
    } catch (const std::exception& e) {
        return QString::fromLocal8Bit(e.what());
    }
}
}  // namespace

FleetAddressDialog::FleetAddressDialog(QWidget* parent)
    : QDialog(parent), model_(new AddressPlanModel(this)) {
    setWindowTitle(QStringLiteral("Assign addresses"));
    setWindowModality(Qt::WindowModal);
    auto* top = new QVBoxLayout(this);

    FromRange =
        new QRadioButton(QStringLiteral("&Consecutive addresses, in the table's order"), this);
    FromCsv = new QRadioButton(
        QStringLiteral("From a CS&V file (mac, ip, mask, gateway, view_ip, name)"), this);
    FromRange->setChecked(true);

    auto* form = new QFormLayout;
    StartEdit = addressEdit(this);
    MaskEdit = addressEdit(this);
    GatewayEdit = addressEdit(this);
    ViewIpEdit = addressEdit(this);
    form->addRow(QStringLiteral("&Start address:"), StartEdit);
    form->addRow(QStringLiteral("Subnet &mask:"), MaskEdit);
    form->addRow(QStringLiteral("&Gateway:"), GatewayEdit);
    form->addRow(QStringLiteral("&VarnexView IP:"), ViewIpEdit);
    // Screen readers name each edit by its label.
    StartEdit->setAccessibleName(QStringLiteral("Start address"));
    MaskEdit->setAccessibleName(QStringLiteral("Subnet mask"));
    GatewayEdit->setAccessibleName(QStringLiteral("Gateway"));
    ViewIpEdit->setAccessibleName(QStringLiteral("VarnexView IP"));

    auto* csvRow = new QHBoxLayout;
    CsvButton = new QPushButton(QStringLiteral("Choose CSV file\u2026"), this);
    CsvLabel = new QLabel(this);
    CsvLabel->setTextFormat(Qt::PlainText);
    csvRow->addWidget(CsvButton);
    csvRow->addWidget(CsvLabel, 1);

    top->addWidget(FromRange);
    top->addLayout(form);
    top->addWidget(FromCsv);
    top->addLayout(csvRow);

    Preview = new QTableView(this);
    Preview->setAccessibleName(QStringLiteral("Address plan preview"));
    Preview->setModel(model_);
    Preview->verticalHeader()->hide();
    Preview->horizontalHeader()->setStretchLastSection(true);
    Preview->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Preview->setColumnWidth(AddressPlanModel::Mac, 140);
    top->addWidget(Preview, 1);

    auto* note = new QLabel(AddressPlanNote(), this);
    note->setTextFormat(Qt::PlainText);
    note->setWordWrap(true);
    top->addWidget(note);
    Verdict = new QLabel(this);
    Verdict->setTextFormat(Qt::PlainText);
    Verdict->setWordWrap(true);
    Verdict->setAccessibleDescription(QStringLiteral("Whether the plan can be carried out"));
    top->addWidget(Verdict);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    AssignButton = new QPushButton(QStringLiteral("Assign"), this);
    CancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    buttons->addWidget(AssignButton);
    buttons->addWidget(CancelButton);
    top->addLayout(buttons);

    for (QLineEdit* e : {StartEdit, MaskEdit, GatewayEdit, ViewIpEdit}) {
        connect(e, &QLineEdit::textChanged, this, [this] { replan(); });
    }
    connect(FromRange, &QRadioButton::toggled, this, [this] { replan(); });
    connect(CsvButton, &QPushButton::clicked, this, [this] {
        if (!prompts_) return;
        Prompts::FileDialog d;
        d.title = QStringLiteral("Address plan");
        d.filter = QStringLiteral("CSV files (*.csv);;All files (*)");
        d.defaultSuffix = QStringLiteral("csv");
        const QString path = prompts_->OpenFile(this, d);
        if (!path.isEmpty()) LoadCsv(path);
    });
    connect(AssignButton, &QPushButton::clicked, this, [this] {
        if (PlanAccepted()) accept();
    });
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
    resize(860, 480);
}

void FleetAddressDialog::Prepare(const QVector<ListedGateway>& planned,
                                 const QVector<ListedGateway>& others,
                                 const QStringList& ownAddresses, Prompts* prompts) {
    planned_ = planned;
    others_ = others;
    listed_ = planned + others;
    ownAddresses_ = ownAddresses;
    prompts_ = prompts;
    csvPath_.clear();
    csvError_.clear();
    csvRows_.clear();
    CsvLabel->clear();
    FromRange->setChecked(true);
    const ListedGateway first = planned.isEmpty() ? ListedGateway() : planned.first();
    const QSignalBlocker b1(StartEdit), b2(MaskEdit), b3(GatewayEdit), b4(ViewIpEdit);
    StartEdit->setText(first.ip);
    MaskEdit->setText(first.mask);
    GatewayEdit->setText(first.gateway);
    ViewIpEdit->setText(first.viewIp);
    replan();
}

void FleetAddressDialog::LoadCsv(const QString& path) {
    csvPath_ = path;
    csvError_.clear();
    csvRows_.clear();
    try {
        csvRows_ = LoadCsvPlan(path);
    } catch (...) {
        csvError_ = errorText();
    }
    CsvLabel->setText(PrintableText(path));
    FromCsv->setChecked(true);
    replan();
}

bool FleetAddressDialog::PlanAccepted() const {
    if (Plan().isEmpty()) return false;
    for (const PlannedGateway& p : Plan()) {
        if (p.refused()) return false;
    }
    return FromRange->isChecked() || csvError_.isEmpty();
}

void FleetAddressDialog::replan() {
    for (QLineEdit* e : {StartEdit, MaskEdit, GatewayEdit, ViewIpEdit})
        e->setEnabled(FromRange->isChecked());
    QVector<PlannedGateway> plan;
    QString problem;
    if (FromRange->isChecked()) {
        try {
            plan = PlanAddressRange(planned_,
                                    {StartEdit->text().trimmed(), MaskEdit->text().trimmed(),
                                     GatewayEdit->text().trimmed(), ViewIpEdit->text().trimmed()},
                                    {ownAddresses_, others_});
        } catch (...) {
            problem = errorText();
        }
    } else if (csvPath_.isEmpty()) {
        problem = QStringLiteral("Choose a CSV file.");
    } else if (!csvError_.isEmpty()) {
        problem = csvError_;
    } else {
        plan = PlanFromRows(csvRows_, listed_, ownAddresses_);
    }
    model_->SetPlan(plan);
    int refused = 0;
    for (const PlannedGateway& p : plan) refused += p.refused() ? 1 : 0;
    if (problem.isEmpty() && plan.isEmpty()) problem = QStringLiteral("The plan names no gateway.");
    if (!problem.isEmpty()) {
        Verdict->setText(QStringLiteral("Nothing can be sent: %1").arg(PrintableText(problem)));
    } else if (refused > 0) {
        Verdict->setText(QStringLiteral("Refused: %1 of %2 lines cannot be carried out (see "
                                        "Problem). Nothing is sent.")
                             .arg(refused)
                             .arg(plan.size()));
    } else {
        Verdict->setText(QStringLiteral("%1 gateways get new settings; no address is held twice.")
                             .arg(plan.size()));
    }
    AssignButton->setEnabled(PlanAccepted());
}
