// The fleet window as an operator uses it: gateways listed by a Search, played
// by simulators in the harness's namespaces (the plant link and two office
// links, so that each simulator can carry its own faults), batches run from
// the window, and what the simulators hold afterwards.
#include "config/ConfigJson.h"
#include "configform/TConfigForm.h"
#include "engine/GatewayEngine.h"
#include "fleet/FleetAddressDialog.h"
#include "fleet/FleetJobs.h"
#include "fleet/FleetTable.h"
#include "fleet/TFormFleet.h"
#include "mainwindow/TFormDetect.h"
#include "support/FakeSeams.h"
#include "support/NetnsEnv.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {
// Three gateways on the plant link, one behind each office link.
const QStringList kPlant{"00-1A-2B-00-00-01", "00-1A-2B-00-00-02", "00-1A-2B-00-00-03"};
const QString kOffice1 = QStringLiteral("00-1A-2B-00-01-01");
const QString kOffice2 = QStringLiteral("00-1A-2B-00-02-01");

struct Session {
    // The clock runs 20 times fast: a silent gateway fails after 0.2 s, the
    // Search after an upgrade gives up after 3 s.
    explicit Session(double speed = 20) : fake(speed) {
        form = std::make_unique<TFormDetect>(fake.services);
        dialog = std::make_unique<TConfigForm>(fake.services);
        form->SetConfigForm(dialog.get());
        form->show();
    }
    ~Session() {
        form.reset();
        dialog.reset();
        for (auto& sim : sims) {
            sim->write("quit\n");
            sim->waitForFinished(3000);
        }
    }

    // A simulator on the plant link ("") or behind office link 1 or 2.
    QProcess* simulate(const QString& link, const QStringList& args) {
        QStringList all{"--quiet", "--reply-to", "sender"};
        all << args;
        if (link.isEmpty()) {
            sims.push_back(NetnsEnv::startSimulator(all));
        } else {
            const QStringList offices = NetnsEnv::officeNamespaces();
            const int k = link.toInt();
            if (offices.size() < k) return nullptr;
            sims.push_back(NetnsEnv::startSimulatorIn(offices[k - 1], all));
        }
        return sims.back().get();
    }
    // The plant's three gateways, and one gateway behind each office link with
    // the given faults (none: that link stays empty).
    bool fleet(const QStringList& plantArgs, const QStringList& office1,
               const QStringList& office2) {
        QStringList macs = kPlant;
        simulate("", QStringList{"--count", "3", "--ports", "2"} + plantArgs);
        for (const auto& [k, mac, faults] :
             {std::tuple{1, kOffice1, office1}, std::tuple{2, kOffice2, office2}}) {
            if (faults.isEmpty()) continue;
            QStringList args{
                "--count",     "1", "--ports",    "2",
                "--first-mac", mac, "--first-ip", QStringLiteral("198.19.%1.10").arg(k)};
            for (const QString& f : faults) {
                if (f != "none") args << "--fault" << f;
            }
            if (!simulate(QString::number(k), args)) return false;
            macs << mac;
        }
        return search(macs);
    }
    // What the main window's Search would list, then the fleet window opened.
    bool search(const QStringList& macs) {
        fake.engine.Hold();
        const QList<DiscoveryReply> replies = fake.engine.Discover(3000, macs);
        fake.engine.Release();
        form->AddDevices(QVector<DiscoveryReply>(replies.begin(), replies.end()));
        form->FleetButton->click();
        window = form->FleetForm;
        return window && window->Model()->rowCount() == macs.size();
    }
    bool waitForEnd(int ms = 60000) {
        return QTest::qWaitFor([&] { return !window->BatchRunning(); }, ms);
    }
    QString status(const QString& mac) const {
        const FleetTableModel* m = window->Model();
        return m->data(m->index(m->RowOf(mac), FleetTableModel::Status), Qt::DisplayRole)
            .toString();
    }
    // What one simulator holds, by MAC.
    QHash<QString, QJsonObject> dump(int sim = 0) {
        QProcess* p = sims.at(sim).get();
        p->readAll();
        p->write("dump\n");
        while (!p->canReadLine() && p->waitForReadyRead(3000)) {
        }
        QHash<QString, QJsonObject> out;
        for (const QJsonValue& g :
             QJsonDocument::fromJson(p->readLine()).object()["gateways"].toArray()) {
            out.insert(g["mac"].toString(), g.toObject());
        }
        return out;
    }
    QString writeImage(int size) {
        const QString path = dir.filePath("image.bin");
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(QByteArray(size, '\x5a'));
        return path;
    }
    // Every status text each gateway showed, in order, as a screen reader reads it.
    void recordStatuses() {
        QObject::connect(window->Model(), &QAbstractItemModel::dataChanged, window,
                         [this](const QModelIndex& from, const QModelIndex& to) {
                             for (int r = from.row(); r <= to.row(); ++r) {
                                 const QString mac = window->Model()->Row(r).gateway.Mac;
                                 const QString text = status(mac);
                                 if (seen[mac].isEmpty() || seen[mac].last() != text)
                                     seen[mac] << text;
                             }
                         });
    }
    int countInLog(const QString& mac, const QString& event) const {
        int n = 0;
        for (const QString& line : window->LogLines())
            n += line.contains(mac + "  " + event) ? 1 : 0;
        return n;
    }

    QTemporaryDir dir;
    FakeServices fake;
    std::vector<std::unique_ptr<QProcess>> sims;
    std::unique_ptr<TFormDetect> form;
    std::unique_ptr<TConfigForm> dialog;
    TFormFleet* window = nullptr;
    QHash<QString, QStringList> seen;
};

QString dnsOf(Session& s, const QString& mac) {
    const QJsonObject g = s.dump().value(mac);
    return g.value("config").toObject().value("network").toObject().value("dns").toString();
}

// "MAC=status prefix" pairs, "|" between them.
QHash<QString, QString> expectations(const QString& text) {
    QHash<QString, QString> out;
    for (const QString& pair : text.split('|', Qt::SkipEmptyParts)) {
        out.insert(pair.section('=', 0, 0).trimmed(), pair.section('=', 1).trimmed());
    }
    return out;
}
}  // namespace

class TestFleetWindow : public QObject {
    Q_OBJECT
private slots:
    void init() { REQUIRE_NETNS(); }
    void firmwareResultsPerGateway_data();
    void firmwareResultsPerGateway();
    void stopHalfway_data();
    void stopHalfway();
    void retryFailed_data();
    void retryFailed();
    void addressPlans_data();
    void addressPlans();
    void configurationKeepsIdentity_data();
    void configurationKeepsIdentity();
    void backUpAllThenRestoreOne();
    void mainWindowDuringBatch();
    void portHeldRefusesBatch_data();
    void portHeldRefusesBatch();
};

void TestFleetWindow::firmwareResultsPerGateway_data() {
    QTest::addColumn<QStringList>("plantArgs");
    QTest::addColumn<QStringList>("office1");
    QTest::addColumn<QStringList>("office2");
    QTest::addColumn<int>("atOnce");
    QTest::addColumn<int>("maxFailures");
    QTest::addColumn<QString>("skip");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("summary");
    const QString plantDone =
        "00-1A-2B-00-00-01=done; now reports 1.0.3|"
        "00-1A-2B-00-00-02=done; now reports 1.0.3|"
        "00-1A-2B-00-00-03=done; now reports 1.0.3|";
    QTest::newRow("one refuses chunk 2, one silent, the rest succeed")
        << QStringList{"--version", "1.0.3"} << QStringList{"fw-refuse=2"}
        << QStringList{"fw-silent"} << 4 << 0 << ""
        << plantDone +
               "00-1A-2B-00-01-01=failed: chunk 2 refused|"
               "00-1A-2B-00-02-01=failed: no acknowledgement of chunk 0"
        << "3 done, 2 failed, 0 skipped";
    QTest::newRow("one at a time, stopping after the first failure")
        << QStringList{"--version", "1.0.3"} << QStringList{"fw-refuse=2"}
        << QStringList{"fw-silent"} << 1 << 1 << ""
        << plantDone +
               "00-1A-2B-00-01-01=failed: chunk 2 refused|"
               "00-1A-2B-00-02-01=not started: 1 failures: stopped"
        << "3 done, 1 failed, 0 skipped, 1 not started";
    QTest::newRow("those at the version already are skipped")
        << QStringList{"--version", "2.0.0,1.0.3,2.0.0"} << QStringList{"none"} << QStringList{}
        << 4 << 0 << "2.0.0"
        << "00-1A-2B-00-00-01=skipped: already reports 2.0.0|"
           "00-1A-2B-00-00-02=done; now reports 1.0.3|"
           "00-1A-2B-00-00-03=skipped: already reports 2.0.0|00-1A-2B-00-01-01=done; now reports"
        << "2 done, 0 failed, 2 skipped";
}

void TestFleetWindow::firmwareResultsPerGateway() {
    QFETCH(QStringList, plantArgs);
    QFETCH(QStringList, office1);
    QFETCH(QStringList, office2);
    QFETCH(int, atOnce);
    QFETCH(int, maxFailures);
    QFETCH(QString, skip);
    QFETCH(QString, expected);
    QFETCH(QString, summary);
    Session s;
    QVERIFY(s.fleet(plantArgs, office1, office2));
    s.recordStatuses();
    s.window->AtOnce->setValue(atOnce);
    s.window->MaxFailures->setValue(maxFailures);
    s.window->SkipVersion->setText(skip);
    s.fake.prompts.fileAnswers.enqueue(s.writeImage(1000));
    s.window->UpgradeButton->click();
    QVERIFY(s.window->BatchRunning());
    QVERIFY(s.waitForEnd());

    const QHash<QString, QString> want = expectations(expected);
    for (auto it = want.constBegin(); it != want.constEnd(); ++it) {
        QVERIFY2(s.status(it.key()).startsWith(it.value()),
                 qPrintable(it.key() + ": " + s.status(it.key())));
        // Each result is shown as it happens: waiting first, the result last, and
        // in the log the start before the result. (An upgrade of 8 chunks may
        // end before the window looks again: its running state may never show.)
        QStringList seen = s.seen[it.key()];
        seen.removeAll(QString());
        QVERIFY2(seen.size() >= 2 && seen.first() == "waiting" && seen.last() == s.status(it.key()),
                 qPrintable(it.key() + ": " + seen.join(" / ")));
        if (it.value().startsWith("done") || it.value().startsWith("failed")) {
            QCOMPARE(s.countInLog(it.key(), "started"), 1);
            QCOMPARE(s.countInLog(it.key(), it.value().section(';', 0, 0)), 1);
        }
    }
    QCOMPARE(s.window->Summary->text(), summary);
    QVERIFY(s.form->FlatButton2->isEnabled());
    QVERIFY(s.fake.prompts.errors.isEmpty());
    // What each gateway holds: the image where the window says so, nothing where it was skipped.
    const QHash<QString, QJsonObject> plant = s.dump();
    for (const QString& mac : kPlant) {
        const QString verdict = plant[mac]["firmware"]["verdict"].toString();
        QCOMPARE(verdict, s.status(mac).startsWith("done") ? QString("complete") : QString("idle"));
    }
}

void TestFleetWindow::stopHalfway_data() {
    QTest::addColumn<int>("atOnce");
    QTest::newRow("one at a time") << 1;
    QTest::newRow("two at once") << 2;
}

void TestFleetWindow::stopHalfway() {
    QFETCH(int, atOnce);
    Session s;
    // Every acknowledgement 2 ms late: a 32 KiB image takes about half a second.
    s.simulate("", {"--count", "5", "--fault", "delay=2"});
    QStringList macs = kPlant;
    macs << "00-1A-2B-00-00-04"
         << "00-1A-2B-00-00-05";
    QVERIFY(s.search(macs));
    s.window->AtOnce->setValue(atOnce);
    bool stopped = false;
    QObject::connect(s.window->Model(), &QAbstractItemModel::dataChanged, s.window, [&] {
        int running = 0;
        for (const FleetRow& r : s.window->Model()->Rows()) {
            running += r.state == FleetBatch::State::Running && r.percent > 0 ? 1 : 0;
        }
        if (!stopped && running == atOnce) {
            stopped = true;
            s.window->StopButton->click();
        }
    });
    s.fake.prompts.fileAnswers.enqueue(s.writeImage(32 * 1024));
    s.window->UpgradeButton->click();
    QVERIFY(s.waitForEnd());
    QVERIFY(stopped);

    // The running upgrades sent the rest of their images; nobody else got a byte.
    const QHash<QString, QJsonObject> held = s.dump();
    for (int i = 0; i < macs.size(); ++i) {
        const QString verdict = held[macs[i]]["firmware"]["verdict"].toString();
        if (i < atOnce) {
            QVERIFY2(s.status(macs[i]).startsWith("done; now reports"),
                     qPrintable(s.status(macs[i])));
            QCOMPARE(verdict, QString("complete"));
        } else {
            QCOMPARE(s.status(macs[i]), QString("not started: stopped"));
            QCOMPARE(verdict, QString("idle"));
        }
    }
    QCOMPARE(s.window->Summary->text(),
             QString("%1 done, 0 failed, 0 skipped, %2 not started").arg(atOnce).arg(5 - atOnce));
}

void TestFleetWindow::retryFailed_data() {
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("firstReason");
    QTest::newRow("refused chunk") << "fw-refuse=2"
                                   << "failed: chunk 2 refused";
    QTest::newRow("silent gateway") << "fw-silent"
                                    << "failed: no acknowledgement of chunk 0";
}

void TestFleetWindow::retryFailed() {
    QFETCH(QString, fault);
    QFETCH(QString, firstReason);
    Session s;
    QVERIFY(s.fleet({}, {fault}, {}));
    s.fake.prompts.fileAnswers.enqueue(s.writeImage(1000));
    s.window->UpgradeButton->click();
    QVERIFY(s.waitForEnd());
    QCOMPARE(s.status(kOffice1), firstReason);
    QVERIFY(s.window->RetryButton->isEnabled());

    // The gateway mends; the retry runs on it alone.
    s.sims.at(1)->write(QStringLiteral("unfault %1\n").arg(fault.section('=', 0, 0)).toUtf8());
    QTest::qWait(200);
    s.window->RetryButton->click();
    QVERIFY(s.window->BatchRunning());
    QVERIFY(s.waitForEnd());
    QVERIFY2(s.status(kOffice1).startsWith("done; now reports"), qPrintable(s.status(kOffice1)));
    QCOMPARE(s.countInLog(kOffice1, "started"), 2);
    for (const QString& mac : kPlant) {
        QCOMPARE(s.countInLog(mac, "started"), 1);
        QVERIFY(s.status(mac).startsWith("done"));
    }
    QCOMPARE(s.window->Summary->text(), QString("4 done, 0 failed, 0 skipped"));
    QVERIFY(!s.window->RetryButton->isEnabled());
}

void TestFleetWindow::addressPlans_data() {
    QTest::addColumn<QString>("csv");      // empty: the range below
    QTest::addColumn<QString>("range");    // "start mask gateway view"
    QTest::addColumn<bool>("descending");  // the table sorted by MAC, downwards
    QTest::addColumn<QString>("verdict");  // how the verdict starts
    QTest::addColumn<QString>("after");    // each plant gateway's address once done
    const QString unchanged = "198.19.0.10 198.19.0.11 198.19.0.12";
    QTest::newRow("csv: two gateways given one address")
        << "mac,ip\n00-1A-2B-00-00-01,198.19.0.50\n00-1A-2B-00-00-02,198.19.0.50\n"
        << "" << false << "Refused: 2 of 2" << unchanged;
    QTest::newRow("csv: the address of a gateway left out of the plan")
        << "mac;ip\n00-1A-2B-00-00-01;198.19.0.12\n"
        << "" << false << "Refused: 1 of 1" << unchanged;
    QTest::newRow("csv: this PC's address")
        << "mac,ip,mask\n00-1A-2B-00-00-01,198.18.0.1,255.254.0.0\n"
        << "" << false << "Refused: 1 of 1" << unchanged;
    QTest::newRow("csv: a bad line, named")
        << "mac,ip\n00-1A-2B-00-00-01,198.19.0.300\n"
        << "" << false << "Nothing can be sent: The plan \"plan.csv\" is refused: line 2"
        << unchanged;
    QTest::newRow("range past the end of the subnet")
        << ""
        << "198.19.0.253 255.255.255.0 198.19.0.1 198.19.0.2" << false << "Refused: 3 of 3"
        << unchanged;
    QTest::newRow("csv: two gateways swap their addresses")
        << "mac,ip\n00-1A-2B-00-00-01,198.19.0.11\n00-1A-2B-00-00-02,198.19.0.10\n"
        << "" << false << "2 gateways get new settings"
        << "198.19.0.11 198.19.0.10 198.19.0.12";
    QTest::newRow("range in the table's order")
        << ""
        << "198.19.0.100 255.255.0.0 198.19.0.1 198.19.0.2" << true << "3 gateways get new settings"
        << "198.19.0.102 198.19.0.101 198.19.0.100";
}

void TestFleetWindow::addressPlans() {
    QFETCH(QString, csv);
    QFETCH(QString, range);
    QFETCH(bool, descending);
    QFETCH(QString, verdict);
    QFETCH(QString, after);
    Session s;
    s.simulate("", {"--count", "3", "--mask", "255.255.0.0", "--gateway", "198.19.0.1"});
    QVERIFY(s.search(kPlant));
    if (descending) s.window->Table->sortByColumn(FleetTableModel::Mac, Qt::DescendingOrder);
    s.window->AddressButton->click();
    FleetAddressDialog* d = s.window->AddressDialog();
    QVERIFY(d->isVisible());
    if (csv.isEmpty()) {
        const QStringList r = range.split(' ');
        d->StartEdit->setText(r[0]);
        d->MaskEdit->setText(r[1]);
        d->GatewayEdit->setText(r[2]);
        d->ViewIpEdit->setText(r[3]);
    } else {
        const QString path = s.dir.filePath("plan.csv");
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(csv.toUtf8());
        f.close();
        s.fake.prompts.fileAnswers.enqueue(path);
        d->CsvButton->click();
    }
    QVERIFY2(d->Verdict->text().startsWith(verdict), qPrintable(d->Verdict->text()));
    const bool accepted = verdict.contains("get new settings");
    QCOMPARE(d->AssignButton->isEnabled(), accepted);
    d->AssignButton->click();
    if (accepted) {
        QVERIFY(!d->isVisible());
        QVERIFY(s.window->BatchRunning());
        QVERIFY(s.waitForEnd());
    } else {
        // Refused before anything is sent: no batch, the port never held.
        QVERIFY(d->isVisible());
        QVERIFY(!s.window->BatchRunning());
        QVERIFY(s.window->LogLines().isEmpty());
        d->CancelButton->click();
    }
    const QHash<QString, QJsonObject> held = s.dump();
    QStringList now;
    for (const QString& mac : kPlant) now << held[mac][QStringLiteral("ip")].toString();
    QCOMPARE(now.join(' '), after);
    if (accepted) {
        for (const QString& mac : kPlant) {
            const FleetRow& row = s.window->Model()->Row(s.window->Model()->RowOf(mac));
            QCOMPARE(row.gateway.IpAddress, held[mac]["ip"].toString());
        }
    }
}

void TestFleetWindow::configurationKeepsIdentity_data() {
    QTest::addColumn<QString>("ports");
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<QString>("expected");
    QTest::newRow("JSON to three") << "2"
                                   << ".json"
                                   << "done|done|done";
    QTest::newRow(".vxc to three") << "2"
                                   << ".vxc"
                                   << "done|done|done";
    QTest::newRow("another port count fails alone, before anything is sent")
        << "2,2,4"
        << ".json"
        << "done|done|failed: the file has 2 ports, the gateway 4";
}

void TestFleetWindow::configurationKeepsIdentity() {
    QFETCH(QString, ports);
    QFETCH(QString, suffix);
    QFETCH(QString, expected);
    Session s;
    s.simulate("", {"--count", "3", "--ports", ports, "--name", "Kiln,Press,Dryer"});
    QVERIFY(s.search(kPlant));
    // The file: gateway 1's configuration with another DNS and VarnexView port.
    s.fake.engine.Hold();
    DeviceConfig file = ReadWholeConfig(s.fake.engine, kPlant[0]);
    s.fake.engine.Release();
    file.network.dns = "198.19.9.9";
    file.network.varnexViewPort = "9123";
    const QString path = s.dir.filePath("site" + suffix);
    SaveConfigDocument(path, file, {kPlant[0], "", "", 0, {}});
    const QHash<QString, QJsonObject> before = s.dump();

    s.fake.prompts.fileAnswers.enqueue(path);
    s.window->WriteButton->click();
    QVERIFY(s.waitForEnd());
    const QStringList want = expected.split('|');
    const QHash<QString, QJsonObject> held = s.dump();
    for (int i = 0; i < kPlant.size(); ++i) {
        const QString mac = kPlant[i];
        QVERIFY2(s.status(mac).startsWith(want[i]), qPrintable(s.status(mac)));
        const QJsonObject was = before[mac]["config"]["network"].toObject();
        const QJsonObject now = held[mac]["config"]["network"].toObject();
        // Each keeps its own address and name, whatever else it took.
        QCOMPARE(now["ip"], was["ip"]);
        QCOMPARE(now["name"], was["name"]);
        QCOMPARE(now["mask"], was["mask"]);
        QCOMPARE(now["dns"].toString(),
                 want[i] == "done" ? QString("198.19.9.9") : was["dns"].toString());
        QCOMPARE(now["viewPort"].toInt(), want[i] == "done" ? 9123 : was["viewPort"].toInt());
    }
}

void TestFleetWindow::backUpAllThenRestoreOne() {
    Session s;
    s.simulate("", {"--count", "3", "--ports", "2"});
    QVERIFY(s.search(kPlant));
    QTemporaryDir backups;
    s.fake.prompts.fileAnswers.enqueue(backups.path());
    s.window->BackupButton->click();
    QVERIFY(s.waitForEnd());
    QCOMPARE(s.window->Summary->text(), QString("3 done, 0 failed, 0 skipped"));
    QCOMPARE(QDir(backups.path()).entryList({"*.json"}, QDir::Files).size(), 3);
    const QString dnsBefore = dnsOf(s, kPlant[1]);

    // Gateway 2's DNS changes behind the window's back ...
    s.fake.engine.Hold();
    DeviceConfig changed = ReadWholeConfig(s.fake.engine, kPlant[1]);
    changed.network.dns = "198.19.7.7";
    QVERIFY(WriteAndCompare(s.fake.engine, kPlant[1], changed).isEmpty());
    s.fake.engine.Release();
    QCOMPARE(dnsOf(s, kPlant[1]), QString("198.19.7.7"));

    // ... and the operator restores that one gateway alone.
    s.window->NoneButton->click();
    const FleetTableModel* m = s.window->Model();
    s.window->Model()->setData(m->index(m->RowOf(kPlant[1]), FleetTableModel::Mac), Qt::Checked,
                               Qt::CheckStateRole);
    QCOMPARE(s.window->CheckedGateways().size(), 1);
    s.fake.prompts.fileAnswers.enqueue(backups.path());
    s.window->RestoreButton->click();
    QVERIFY(s.waitForEnd());
    QVERIFY2(s.status(kPlant[1]).startsWith("done: restored from " + backups.path()),
             qPrintable(s.status(kPlant[1])));
    QCOMPARE(s.status(kPlant[0]), QString());
    // Closed and opened again on the same list, the window keeps the results.
    s.window->close();
    s.form->FleetButton->click();
    QVERIFY(s.window->isVisible());
    QVERIFY(s.status(kPlant[1]).startsWith("done: restored"));
    QCOMPARE(dnsOf(s, kPlant[1]), dnsBefore);
}

void TestFleetWindow::mainWindowDuringBatch() {
    Session s;
    s.simulate("", {"--count", "3", "--fault", "delay=2"});
    QVERIFY(s.search(kPlant));
    const QList<QPushButton*> sending{
        s.form->FlatButton2, s.form->FlatButton3, s.form->FlatButton8, s.form->FlatButton10,
        s.form->FlatButton5, s.form->FlatButton4, s.form->FlatButton7, s.form->FlatButton1};
    s.fake.prompts.fileAnswers.enqueue(s.writeImage(16 * 1024));
    s.window->AtOnce->setValue(1);
    s.window->UpgradeButton->click();
    QVERIFY(s.window->BatchRunning());
    for (QPushButton* b : sending) {
        QVERIFY2(!b->isEnabled(), qPrintable(b->text()));
        QVERIFY2(b->toolTip().startsWith("A fleet batch is running"), qPrintable(b->text()));
    }
    // The list stays readable; the double click opens no dialog and takes no port.
    QVERIFY(s.form->FlatPanel2->isEnabled());
    QVERIFY(s.form->FleetButton->isEnabled());
    s.form->SelectedRow = 0;
    s.form->RGridDblClick();
    QVERIFY(!s.dialog->isVisible());
    QVERIFY(!s.dialog->ConfigUDP->Active());
    QVERIFY(s.waitForEnd());
    for (QPushButton* b : sending) {
        QVERIFY2(b->isEnabled(), qPrintable(b->text()));
        QVERIFY(b->toolTip().isEmpty());
    }
    QVERIFY(!s.fake.engine.PortOpen());
}

void TestFleetWindow::portHeldRefusesBatch_data() {
    QTest::addColumn<QString>("holder");
    QTest::addColumn<QString>("why");
    QTest::newRow("Search countdown") << "search"
                                      << "A Search is listening on port 2058";
    QTest::newRow("configuration dialog") << "dialog"
                                          << "The configuration dialog holds port 2058";
}

void TestFleetWindow::portHeldRefusesBatch() {
    QFETCH(QString, holder);
    QFETCH(QString, why);
    Session s;
    s.simulate("", {"--count", "3"});
    QVERIFY(s.search(kPlant));
    if (holder == "search") {
        s.form->FlatButton2->click();
    } else {
        s.form->SelectedRow = 0;
        s.form->RGridDblClick();
    }
    const int dialogs = s.fake.prompts.openDialogs.size() + s.fake.prompts.folderDialogs.size();
    s.window->BackupButton->click();
    s.window->UpgradeButton->click();
    QVERIFY2(s.window->Notice->text().startsWith(why), qPrintable(s.window->Notice->text()));
    QVERIFY(!s.window->BatchRunning());
    QCOMPARE(s.fake.prompts.openDialogs.size() + s.fake.prompts.folderDialogs.size(), dialogs);
    QVERIFY(s.form->FlatButton2->isEnabled() || holder == "search");
}

QTEST_MAIN(TestFleetWindow)
#include "tst_fleet_window.moc"
