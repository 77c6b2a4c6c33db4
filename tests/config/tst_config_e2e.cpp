// Sessions at the gateways: the main window finds simulated gateways, the
// configuration dialog reads, edits, writes, exports and imports them over the
// network, and the simulator's dump tells what the gateways now hold.
#include "WhileModal.h"
#include "configform/ConfigEdit.h"
#include "configform/TConfigForm.h"
#include "engine/GatewayEngine.h"
#include "mainwindow/TFormDetect.h"
#include "support/FakeSeams.h"
#include "support/NetnsEnv.h"
#include "widgets/TRealGrid.h"

#include <QDeadlineTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <functional>

namespace {
const QString kFirst = QStringLiteral("00-1A-2B-00-00-01");   // 2 serial ports
const QString kSecond = QStringLiteral("00-1A-2B-00-00-02");  // 3 serial ports
const QString kApplied = QStringLiteral("Configuration was successfully applied");

QJsonArray gateways(QProcess& sim) {
    sim.write("dump\n");
    for (int i = 0; i < 50 && !sim.canReadLine(); ++i) sim.waitForReadyRead(100);
    return QJsonDocument::fromJson(sim.readLine()).object()[QStringLiteral("gateways")].toArray();
}

void quit(QProcess& sim) {
    sim.write("quit\n");
    sim.waitForFinished(5000);
}

QJsonObject gatewayConfig(QProcess& sim, int index) {
    return gateways(sim)[index].toObject()[QStringLiteral("config")].toObject();
}

// Processes events until `done` holds or five seconds pass.
bool waitFor(const std::function<bool()>& done) {
    QDeadlineTimer deadline(5000);
    while (!done()) {
        if (deadline.hasExpired()) return false;
        QTest::qWait(20);
    }
    return true;
}

// The dialog has all three sections of a gateway with `rows` rows.
bool filled(TConfigForm& dialog, int rows) {
    return dialog.tabPanel1->isEnabled() && dialog.tabPanel2->isEnabled() &&
           dialog.tabPanel3->isEnabled() && dialog.OpGrid->RowCount() == rows &&
           !dialog.OpGrid->Cells(1, rows - 1).GetCellText().isEmpty() &&
           !dialog.SerialGrid->Cells(1, rows - 1).GetCellText().isEmpty();
}

// The main window with its dialog, as start-up makes them.
struct Session {
    Session() : fake(10.0), form(fake.services), dialog(fake.services, &form) {
        form.SetConfigForm(&dialog);
        form.show();
    }
    // "Search", then "Stop" once both gateways are listed.
    bool search() {
        form.FlatButton2Click();
        const bool listed = waitFor([this] { return form.DeviceCount == 2; });
        form.FlatButton6Click();
        return listed;
    }
    // Makes the row of `mac` the list's current row.
    bool select(const QString& mac) {
        for (int r = 0; r < form.RGrid->RowCount(); ++r) {
            if (form.RGrid->Cells(1, r).GetCellText() != mac) continue;
            form.RGrid->SetCurrentCell(0, r);
            return form.SelectedRow == r;
        }
        return false;
    }
    void whileModal(std::function<void()> inside) { WhileModal(dialog, std::move(inside)); }
    FakeServices fake;
    TFormDetect form;
    TConfigForm dialog;
};
}  // namespace

class TestConfigE2E : public QObject {
    Q_OBJECT
private slots:
    void configureEditApplyAndReopen();
    void exportFromOneImportIntoAnother();
    void doubleClickLeavesMainWindowUsable();
    void gatewayVanishingMidDialogLeavesItUsable();
    void burstOfAnswersShowsOneMessage();
};

void TestConfigE2E::configureEditApplyAndReopen() {
    REQUIRE_NETNS();
    auto sim = NetnsEnv::startSimulator({"--count", "2", "--ports", "2,3", "--quiet"});
    Session s;
    QVERIFY(s.search());
    QVERIFY(s.select(kFirst));
    const QJsonObject before = gatewayConfig(*sim, 0);

    bool modal = false;
    s.whileModal([&] {
        TConfigForm& d = s.dialog;
        modal = d.isModal() || d.testAttribute(Qt::WA_ShowModal);
        QVERIFY(s.dialog.ConfigUDP->Active());
        QVERIFY(!s.form.UDPServer->Active());
        QVERIFY(waitFor([&] { return filled(d, 2); }));
        // All three tabs show the gateway.
        QCOMPARE(d.MACLabel->text(), kFirst);
        QCOMPARE(d.DeviceNameText->text(), gateways(*sim)[0].toObject()["name"].toString());
        QCOMPARE(d.HalvarisPortText->text(),
                 QString::number(before["network"].toObject()["viewPort"].toInt()));
        QCOMPARE(d.SourceIDLabel->text(),
                 QString::number(before["network"].toObject()["sourceId"].toInt()));
        QCOMPARE(d.OpGrid->Cells(1, 1).GetCellText(), QStringLiteral("COM2"));
        QCOMPARE(d.SerialGrid->Cells(3, 1).GetCellText(), QStringLiteral("1001"));

        // The operator changes row 1 of each table.
        d.OpGrid->Cells(2, 1).SetCellText(QStringLiteral("UDP_Client"));
        d.OpGridValueChanged(2, 1);
        d.OpGrid->Cells(1, 1).SetCellText(QStringLiteral("Scale"));
        d.OpGridValueChanged(1, 1);
        d.SerialGrid->Cells(3, 1).SetCellText(QStringLiteral("4242"));
        d.SerialGridValueChanged(3, 1);
        d.SerialGrid->Cells(4, 1).SetCellText(QStringLiteral("Enable"));
        d.SerialGridValueChanged(4, 1);
        d.FlatButton1Click();
        QVERIFY(waitFor([&] { return s.fake.prompts.messages.contains(kApplied); }));
        QVERIFY(d.FlatButton1->isEnabled());
    });
    s.form.FlatButton8Click();
    QVERIFY(modal);
    QVERIFY(s.fake.prompts.errors.isEmpty());

    // Result 1: the list is cleared and a new search runs.
    QVERIFY(!s.dialog.ConfigUDP->Active());
    QCOMPARE(s.form.RowsBeforeSearch, -1);
    QVERIFY(s.form.PnlTime->isVisible());
    QVERIFY(s.form.UDPServer->Active());
    QVERIFY(waitFor([&] { return s.form.DeviceCount == 2; }));
    s.form.FlatButton6Click();

    const QJsonObject after = gatewayConfig(*sim, 0);
    const QJsonObject port1 = after["ports"].toArray()[1].toObject();
    QCOMPARE(port1["operation"].toInt(), 7);
    QCOMPARE(port1["alias"].toString(), QStringLiteral("Scale"));
    const QJsonObject lora1 = after["lora"].toArray()[1].toObject();
    QCOMPARE(lora1["destinationId"].toInt(), 4242);
    QCOMPARE(lora1["aes"].toInt(), 1);
    QCOMPARE(after["ports"].toArray()[0], before["ports"].toArray()[0]);
    QCOMPARE(after["writes"].toString(), QStringLiteral("NOOUUA"));

    // Reopened, the gateway reports the new values, and with nothing changed
    // the dialog gives result 2: no new search.
    QVERIFY(s.select(kFirst));
    s.whileModal([&] {
        TConfigForm& d = s.dialog;
        QVERIFY(waitFor([&] { return filled(d, 2); }));
        QCOMPARE(d.OpGrid->Cells(2, 1).GetCellText(), QStringLiteral("UDP_Client"));
        QCOMPARE(d.OpGrid->Cells(1, 1).GetCellText(), QStringLiteral("Scale"));
        QCOMPARE(d.SerialGrid->Cells(3, 1).GetCellText(), QStringLiteral("4242"));
        QCOMPARE(d.SerialGrid->Cells(4, 1).GetCellText(), QStringLiteral("Enable"));
        QVERIFY(!d.Marks.any());
    });
    s.form.FlatButton8Click();
    QVERIFY(!s.form.PnlTime->isVisible());
    QVERIFY(!s.form.UDPServer->Active());
    QVERIFY(s.fake.prompts.errors.isEmpty());
    quit(*sim);
}

void TestConfigE2E::exportFromOneImportIntoAnother() {
    REQUIRE_NETNS();
    auto sim = NetnsEnv::startSimulator({"--count", "2", "--ports", "2,3", "--quiet"});
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("first.vxc"));
    Session s;
    QVERIFY(s.search());

    // Export from the first gateway.
    QVERIFY(s.select(kFirst));
    s.fake.prompts.fileAnswers.enqueue(path);
    s.whileModal([&] {
        QVERIFY(waitFor([&] { return filled(s.dialog, 2); }));
        s.dialog.FlatButton9Click();
    });
    s.form.FlatButton8Click();
    QVERIFY(s.fake.prompts.errors.isEmpty());
    QCOMPARE(QFileInfo(path).size(), 84 + 56 * 2);
    QVERIFY(waitFor([&] { return s.form.DeviceCount == 2; }));
    s.form.FlatButton6Click();

    // Import into the second, which has three rows, and write it.
    QVERIFY(s.select(kSecond));
    s.fake.prompts.fileAnswers.enqueue(path);
    int sentBeforeApply = -1;
    s.whileModal([&] {
        TConfigForm& d = s.dialog;
        QCOMPARE(d.MACLabel->text(), kSecond);
        QCOMPARE(d.SourceIDLabel->text(), QStringLiteral("0"));
        QCOMPARE(d.OpGrid->RowCount(), 2);
        QVERIFY(!d.ConfigUDP->Active());  // the file, not the gateway
        sentBeforeApply = gatewayConfig(*sim, 1)["queries"].toString().size();
        d.FlatButton1Click();
        QVERIFY(waitFor([&] { return s.fake.prompts.messages.contains(kApplied); }));
    });
    s.form.FlatButton10Click();
    QVERIFY(s.fake.prompts.errors.isEmpty());
    QCOMPARE(s.fake.prompts.openDialogs.last().title,
             QStringLiteral("Import Configuration from file"));
    QCOMPARE(sentBeforeApply, 0);
    QVERIFY(s.form.PnlTime->isVisible());  // result 1: a new search
    s.form.FlatButton6Click();

    const QJsonArray all = gateways(*sim);
    const QJsonObject first = all[0].toObject()["config"].toObject();
    const QJsonObject second = all[1].toObject()["config"].toObject();
    QCOMPARE(all[1].toObject()["mac"].toString(), kSecond);
    QCOMPARE(second["writes"].toString(), QStringLiteral("NOOUUA"));
    QJsonObject firstNet = first["network"].toObject();
    QJsonObject secondNet = second["network"].toObject();
    QCOMPARE(secondNet["portCount"].toInt(), 3);  // a gateway keeps its own row count
    QCOMPARE(secondNet["echo"], firstNet["echo"]);
    for (const char* key : {"portCount", "sourceId"}) {
        firstNet.remove(QLatin1String(key));
        secondNet.remove(QLatin1String(key));
    }
    QCOMPARE(secondNet, firstNet);
    QCOMPARE(all[1].toObject()["name"], all[0].toObject()["name"]);
    for (int r = 0; r < 2; ++r) {
        QCOMPARE(second["ports"].toArray()[r], first["ports"].toArray()[r]);
        QCOMPARE(second["lora"].toArray()[r], first["lora"].toArray()[r]);
    }
    QCOMPARE(second["ports"].toArray()[2].toObject()["alias"].toString(), QStringLiteral("COM3"));
    QCOMPARE(first["writes"].toString(), QString());
    quit(*sim);
}

void TestConfigE2E::doubleClickLeavesMainWindowUsable() {
    REQUIRE_NETNS();
    auto sim = NetnsEnv::startSimulator({"--count", "2", "--ports", "2,3", "--quiet"});
    Session s;
    QVERIFY(s.search());
    QVERIFY(s.select(kFirst));
    s.form.RGridDblClick();  // returns at once
    TConfigForm& d = s.dialog;
    QVERIFY(d.isVisible());
    QVERIFY(!d.testAttribute(Qt::WA_ShowModal));
    QVERIFY(waitFor([&] { return filled(d, 2); }));

    // "Configure" on another row: the dialog turns to that gateway, and the
    // modal showing fails.
    QVERIFY(s.select(kSecond));
    s.form.FlatButton8Click();
    QCOMPARE(s.fake.prompts.errors,
             QStringList{QStringLiteral("Cannot make a visible window modal.")});
    QVERIFY(d.isVisible());
    QCOMPARE(d.MACLabel->text(), kSecond);
    QVERIFY(waitFor([&] { return filled(d, 3); }));

    // The dialog holds the port: "Search" fails to bind.
    s.form.FlatButton2Click();
    QCOMPARE(s.fake.prompts.errors.size(), 2);
    QVERIFY(s.fake.prompts.errors.last().startsWith(QStringLiteral("Could not bind socket")));
    s.form.FlatButton6Click();

    // Closing it starts no search.
    d.FlatButton2Click();
    QVERIFY(!d.isVisible());
    QVERIFY(!d.ConfigUDP->Active());
    QVERIFY(!s.form.UDPServer->Active());
    QVERIFY(!s.form.PnlTime->isVisible());
    quit(*sim);
}

void TestConfigE2E::gatewayVanishingMidDialogLeavesItUsable() {
    REQUIRE_NETNS();
    auto sim = NetnsEnv::startSimulator({"--count", "2", "--ports", "2,3", "--quiet"});
    Session s;
    QVERIFY(s.search());
    QVERIFY(s.select(kFirst));
    s.form.RGridDblClick();
    TConfigForm& d = s.dialog;
    QVERIFY(waitFor([&] { return filled(d, 2); }));

    sim->kill();  // the gateway is gone
    sim->waitForFinished(5000);
    d.OpGrid->Cells(1, 0).SetCellText(QStringLiteral("gone"));
    d.Marks.operation = true;
    d.FlatButton1Click();  // Apply: sent into the void, no reply ever comes
    QTest::qWait(300);
    QVERIFY(s.fake.prompts.errors.isEmpty());
    QVERIFY(!s.fake.prompts.messages.contains(
        QStringLiteral("Configuration was successfully applied")));
    QVERIFY(d.isVisible());

    // The dialog still closes normally and the main window can search again.
    d.FlatButton2Click();
    QVERIFY(!d.isVisible());
    QVERIFY(!d.ConfigUDP->Active());
    s.form.FlatButton2Click();
    QVERIFY(s.form.PnlTime->isVisible());
    s.form.FlatButton6Click();
    QCOMPARE(s.form.DeviceCount, 0);
}

void TestConfigE2E::burstOfAnswersShowsOneMessage() {
    REQUIRE_NETNS();
    auto sim = NetnsEnv::startSimulator({"--count", "2", "--ports", "2,3", "--quiet"});
    Session s;
    QVERIFY(s.search());
    QVERIFY(s.select(kFirst));
    TConfigForm& d = s.dialog;
    int answers = 0;  // the "a" datagrams handed to the dialog
    d.ConfigUDP->SetOnRead([&](const QByteArray& datagram, int) {
        if (datagram.size() > 1 && datagram.at(1) == 'a') ++answers;
        d.ConfigUDPUDPRead(datagram);
    });
    s.form.RGridDblClick();
    QVERIFY(waitFor([&] { return filled(d, 2); }));

    // The gateway answers Apply 300 times; the operator takes a moment over
    // each box, while the rest of the burst waits in the socket.
    sim->write("fault repeat=300\n");
    sim->waitForBytesWritten(1000);
    QTest::qWait(200);
    s.fake.prompts.whileMessageOpen = [] { QTest::qWait(50); };
    d.OpGrid->Cells(1, 0).SetCellText(QStringLiteral("burst"));
    d.Marks.operation = true;
    d.FlatButton1Click();
    QVERIFY(waitFor([&] { return answers > 0; }));
    for (int seen = -1; seen != answers;) {
        seen = answers;
        QTest::qWait(300);
    }
    QVERIFY2(answers >= 100, qPrintable(QString::number(answers)));
    QCOMPARE(s.fake.prompts.messages, QStringList{kApplied});
    QVERIFY(s.fake.prompts.errors.isEmpty());
    QVERIFY(d.FlatButton1->isEnabled());
    QCOMPARE(gatewayConfig(*sim, 0)["ports"].toArray()[0].toObject()["alias"].toString(),
             QStringLiteral("burst"));
    d.FlatButton2Click();
    QVERIFY(!d.isVisible());
    quit(*sim);
}

QTEST_MAIN(TestConfigE2E)
#include "tst_config_e2e.moc"
