// The configuration dialog offscreen: what it sends, how replies fill it, the
// change marks and its result, the operator's lists and keys, Apply, Export and
// Import. Replies go straight into ConfigUDPUDPRead; sends are recorded.
#include "ConfigReplies.h"
#include "config/ConfigFile.h"
#include "configform/ConfigEdit.h"
#include "configform/TConfigForm.h"
#include "engine/GatewayEngine.h"
#include "link/VarnexError.h"
#include "support/FakeSeams.h"
#include "widgets/TRealGrid.h"

#include <QAccessible>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using namespace ConfigReplies;

namespace {
const QString kMac = QStringLiteral("00-1A-2B-3C-4D-5E");
const QString kOtherMac = QStringLiteral("00-1A-2B-3C-4D-60");

// One dialog whose broadcasts are recorded instead of sent.
struct Dialog {
    Dialog() : fake(1000.0), form(fake.services) {
        form.BroadcastSink = [this](const QByteArray& d) { sent << d; };
    }
    void open(const QString& mac = kMac) {
        form.OpenForDevice(QStringLiteral("VX-200"), mac, QStringLiteral("1.0.4"));
    }
    // The three sections of a gateway with `rows` rows, network first.
    void answer(int rows, const QString& mac = kMac) {
        form.ConfigUDPUDPRead(networkReply(mac, network(rows)));
        for (int r = 0; r < rows; ++r) form.ConfigUDPUDPRead(portReply(mac, r, port(r)));
        for (int r = 0; r < rows; ++r) form.ConfigUDPUDPRead(loraReply(mac, r, lora(r)));
    }
    QList<char> sentLetters() const {
        QList<char> letters;
        for (const QByteArray& d : sent) letters << d.at(1);
        return letters;
    }
    FakeServices fake;
    TConfigForm form;
    QList<QByteArray> sent;
};

bool enabledPanels(const TConfigForm& f, bool p1, bool p2, bool p3) {
    return f.tabPanel1->isEnabled() == p1 && f.tabPanel2->isEnabled() == p2 &&
           f.tabPanel3->isEnabled() == p3;
}

// Closes the dialog from inside its modal loop and returns what the loop gave.
int showModalAndClose(TConfigForm& form) {
    QTimer::singleShot(0, &form, [&form] { form.FlatButton2->click(); });
    return form.ShowModal();
}
}  // namespace

class TestConfigDialog : public QObject {
    Q_OBJECT
private slots:
    void startState();
    void openingSendsThreeQueriesAndDisablesTabs();
    void identitySpeaksValueWithCaption_data();
    void identitySpeaksValueWithCaption();
    void repliesEnableTheirTabs_data();
    void repliesEnableTheirTabs();
    void networkReplyFillsTab();
    void rowRepliesFillNamedRows();
    void firstOpeningMarksAndReopeningDoesNot();
    void operatorChoicesMarkAndEnable_data();
    void operatorChoicesMarkAndEnable();
    void programSelectionsDoNotMark();
    void keyFilters_data();
    void keyFilters();
    void typedLimitDoesNotCutProgramText();
    void applyWithOnlyOperationMark();
    void applyWithoutMarksSendsNothing();
    void appliedOncePerApply_data();
    void appliedOncePerApply();
    void applyThatCannotBeBuiltSendsNothing_data();
    void applyThatCannotBeBuiltSendsNothing();
    void enabledStatesCarryOverBetweenOpenings();
    void exportWritesAllRecords();
    void failedExportKeepsOldFile();
    void importWritesToSelectedGateway();
    void shortImportChangesNothing_data();
    void shortImportChangesNothing();
};

void TestConfigDialog::startState() {
    Dialog d;
    TConfigForm& f = d.form;
    QCOMPARE(f.windowTitle(), QStringLiteral("Configure"));
    QCOMPARE(f.size(), QSize(848, 416));
    for (QLabel* l : {f.ProductLabel, f.MACLabel, f.SourceIDLabel, f.VersionLabel})
        QCOMPARE(l->text(), QStringLiteral("N/A"));
    QCOMPARE(f.NetworkTypeCombo->currentText(), QStringLiteral("Static IP"));
    QCOMPARE(f.TelnetCombo->currentText(), QStringLiteral("Disable"));
    QCOMPARE(f.BridgeCombo->currentIndex(), -1);
    QVERIFY(!f.LANPortPanel->isHidden());
    QVERIFY(f.FlatButton1->isEnabled());
    QVERIFY(!f.tabPanel1->isHidden() && f.tabPanel2->isHidden() && f.tabPanel3->isHidden());
    QCOMPARE(f.ConfigTab->count(), 3);
    QCOMPARE(f.ConfigTab->tabText(1), QStringLiteral("Operation Mode"));
    QCOMPARE(f.OpGrid->ColumnCount(), 8);
    QCOMPARE(f.SerialGrid->ColumnCount(), 6);
    QCOMPARE(f.SerialGrid->Column(3).MaxValue, QStringLiteral("16777215"));
    QCOMPARE(f.IPAddressText->accessibleName(), QStringLiteral("IP Address"));
    QCOMPARE(f.FlatButton9->accessibleName(), QStringLiteral("Export"));
    QVERIFY(!f.FlatButton1->autoDefault());
}

void TestConfigDialog::openingSendsThreeQueriesAndDisablesTabs() {
    Dialog d;
    d.form.ConfigTab->setCurrentIndex(2);
    d.open();
    const QByteArray mac = QByteArray::fromHex("001A2B3C4D5E");
    QCOMPARE(d.sent, (QList<QByteArray>{"\x02N" + mac + "\x03", "\x02O" + mac + "\x03",
                                        "\x02U" + mac + "\x03"}));
    QVERIFY(enabledPanels(d.form, false, false, false));
    QCOMPARE(d.form.ConfigTab->currentIndex(), 0);
    QVERIFY(!d.form.tabPanel1->isHidden() && d.form.tabPanel3->isHidden());
    QCOMPARE(d.form.MACLabel->text(), kMac);
    QCOMPARE(d.form.ProductLabel->text(), QStringLiteral("VX-200"));
    QCOMPARE(d.form.VersionLabel->text(), QStringLiteral("1.0.4"));
    QVERIFY(!d.form.ConfigUDP->Active());  // the recorder took the queries
}

void TestConfigDialog::identitySpeaksValueWithCaption_data() {
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("caption");
    QTest::newRow("model") << "ProductLabel"
                           << "VX-200"
                           << "Model :";
    QTest::newRow("MAC") << "MACLabel" << kMac << "MAC Address :";
    QTest::newRow("source ID") << "SourceIDLabel"
                               << "1193046"
                               << "LoRa Source ID:";
    QTest::newRow("version") << "VersionLabel"
                             << "1.0.4"
                             << "Firmware Version :";
}

void TestConfigDialog::identitySpeaksValueWithCaption() {
    QFETCH(QString, label);
    QFETCH(QString, value);
    QFETCH(QString, caption);
    Dialog d;
    d.open();
    d.answer(1);  // source ID 0x123456
    TConfigForm& f = d.form;
    QLabel* shown = label == QLatin1String("ProductLabel")    ? f.ProductLabel
                    : label == QLatin1String("MACLabel")      ? f.MACLabel
                    : label == QLatin1String("SourceIDLabel") ? f.SourceIDLabel
                                                              : f.VersionLabel;
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(shown);
    QVERIFY(iface);
    QCOMPARE(iface->text(QAccessible::Name), value);
    QStringList labelledBy;
    for (const auto& relation : iface->relations(QAccessible::Label))
        labelledBy << relation.first->text(QAccessible::Name);
    QCOMPARE(labelledBy, QStringList{caption});
}

void TestConfigDialog::repliesEnableTheirTabs_data() {
    QTest::addColumn<QList<QByteArray>>("replies");
    QTest::addColumn<QList<bool>>("panels");
    QTest::addColumn<bool>("apply");
    QTest::addColumn<QStringList>("messages");
    const QByteArray n = networkReply(kMac, network(2));
    const QByteArray o = portReply(kMac, 1, port(1));
    const QByteArray u = loraReply(kMac, 0, lora(0));
    const QByteArray a = applied(kMac);
    const QStringList none;
    QTest::newRow("n") << QList<QByteArray>{n} << QList<bool>{true, false, false} << true << none;
    QTest::newRow("n o") << QList<QByteArray>{n, o} << QList<bool>{true, true, false} << true
                         << none;
    QTest::newRow("n u") << QList<QByteArray>{n, u} << QList<bool>{true, false, true} << true
                         << none;
    QTest::newRow("o before n: no such row")
        << QList<QByteArray>{o} << QList<bool>{false, false, false} << false << none;
    QTest::newRow("o row out of range") << QList<QByteArray>{n, portReply(kMac, 2, port(0))}
                                        << QList<bool>{true, false, false} << true << none;
    QTest::newRow("another gateway") << QList<QByteArray>{networkReply(kOtherMac, network(2))}
                                     << QList<bool>{false, false, false} << false << none;
    QTest::newRow("own query echoed")
        << QList<QByteArray>{ConfigQuery(ConfigSection::Network, kMac)}
        << QList<bool>{false, false, false} << false << none;
    QTest::newRow("n cut short") << QList<QByteArray>{n.left(40) + "\x03"}
                                 << QList<bool>{false, false, false} << false << none;
    QTest::newRow("a without an Apply")
        << QList<QByteArray>{a} << QList<bool>{false, false, false} << false << none;
    QTest::newRow("a without ETX") << QList<QByteArray>{a.left(8) + "\x04"}
                                   << QList<bool>{false, false, false} << false << none;
    QTest::newRow("3 bytes") << QList<QByteArray>{QByteArray("\x02n\x03", 3)}
                             << QList<bool>{false, false, false} << false << none;
}

void TestConfigDialog::repliesEnableTheirTabs() {
    QFETCH(QList<QByteArray>, replies);
    QFETCH(QList<bool>, panels);
    QFETCH(bool, apply);
    QFETCH(QStringList, messages);
    Dialog d;
    d.open();
    d.form.FlatButton1->setEnabled(false);  // as after an Apply
    for (const QByteArray& r : replies) d.form.ConfigUDPUDPRead(r);
    QVERIFY(enabledPanels(d.form, panels[0], panels[1], panels[2]));
    QCOMPARE(d.form.FlatButton1->isEnabled(), apply);
    QCOMPARE(d.fake.prompts.messages, messages);
    QVERIFY(d.fake.prompts.errors.isEmpty());
}

void TestConfigDialog::networkReplyFillsTab() {
    Dialog d;
    d.open();
    NetworkSettings n = network(3, QStringLiteral("a name much longer than fifteen"));
    n.networkType = 1;
    n.bridge = 0;
    n.lanPortPresent = false;
    d.form.ConfigUDPUDPRead(networkReply(kMac, n, 0x123456));
    TConfigForm& f = d.form;
    QCOMPARE(f.DeviceNameText->text(), n.deviceName);  // longer than the typing limit, whole
    QCOMPARE(f.IPAddressText->text(), n.ipAddress);
    QCOMPARE(f.GatewayText->text(), n.gateway);
    QCOMPARE(f.SubnetMaskText->text(), n.subnetMask);
    QCOMPARE(f.DNSText->text(), n.dns);
    QCOMPARE(f.HalvarisIPText->text(), n.varnexViewIp);
    QCOMPARE(f.HalvarisPortText->text(), QStringLiteral("5000"));
    QCOMPARE(f.TelnetCombo->currentIndex(), 1);
    QCOMPARE(f.SSHCombo->currentIndex(), 0);
    QCOMPARE(f.NetworkTypeCombo->currentText(), QStringLiteral("DHCP"));
    QVERIFY(!f.IPAddressText->isEnabled() && !f.DNSCaption->isEnabled());
    QCOMPARE(f.BridgeCombo->currentText(), QStringLiteral("Enable"));
    QVERIFY(!f.IPAddressText2->isEnabled() && !f.SubnetMaskCaption2->isEnabled());
    QVERIFY(f.LANPortPanel->isHidden());
    QCOMPARE(f.SourceIDLabel->text(), QStringLiteral("1193046"));
    QCOMPARE(f.PortCount, quint8(3));
    QCOMPARE(f.EchoByte, quint8(5));
    QCOMPARE(f.OpGrid->RowCount(), 3);
    QCOMPARE(f.SerialGrid->RowCount(), 3);
    QCOMPARE(f.OpGrid->Cells(1, 0).GetCellText(), QString());  // new, empty rows

    // The write carries what was received, the source ID excepted, and the
    // LAN port that is hidden.
    const QByteArray write = BuildNetworkConfig(kMac, f.CurrentConfig().network);
    QCOMPARE(write.mid(77, 6), QByteArray::fromHex("000305000000"));
    QCOMPARE(quint8(write[67]), quint8(0));
    QCOMPARE(quint8(write[8]), quint8(1));
}

void TestConfigDialog::rowRepliesFillNamedRows() {
    Dialog d;
    d.open();
    d.form.ConfigUDPUDPRead(networkReply(kMac, network(2)));
    d.form.ConfigUDPUDPRead(portReply(kMac, 1, port(1)));
    d.form.ConfigUDPUDPRead(portReply(kMac, 0, port(0)));
    d.form.ConfigUDPUDPRead(loraReply(kMac, 1, lora(1)));
    TRealGrid* op = d.form.OpGrid;
    QCOMPARE(op->Cells(0, 0).GetCellText(), QStringLiteral("1"));
    QCOMPARE(op->Cells(0, 1).GetCellText(), QStringLiteral("2"));
    QCOMPARE(op->Cells(1, 1).GetCellText(), QStringLiteral("COM2"));
    QCOMPARE(op->Cells(2, 0).GetCellText(), QStringLiteral("RFC2217"));
    QCOMPARE(op->Cells(3, 1).GetCellText(), QStringLiteral("4002"));
    QCOMPARE(op->Cells(4, 0).GetCellText(), QStringLiteral("10.0.0.5"));
    TRealGrid* lr = d.form.SerialGrid;
    QCOMPARE(lr->Cells(0, 1).GetCellText(), QStringLiteral("2"));
    QCOMPARE(lr->Cells(1, 1).GetCellText(), QStringLiteral("2"));
    QCOMPARE(lr->Cells(2, 1).GetCellText(), QStringLiteral("12"));
    QCOMPARE(lr->Cells(3, 1).GetCellText(), QStringLiteral("101"));
    QCOMPARE(lr->Cells(4, 1).GetCellText(), QStringLiteral("Enable"));
    QCOMPARE(lr->Cells(5, 1).GetCellText(), QStringLiteral("2.0"));
    QCOMPARE(lr->Cells(1, 0).GetCellText(), QString());  // row 0 never answered
    // Filling the tables is not the operator's change.
    QVERIFY(!d.form.Marks.operation && !d.form.Marks.lora);

    // A second network reply starts the tables afresh.
    d.form.ConfigUDPUDPRead(networkReply(kMac, network(1)));
    QCOMPARE(op->RowCount(), 1);
    QCOMPARE(op->Cells(1, 0).GetCellText(), QString());
}

void TestConfigDialog::firstOpeningMarksAndReopeningDoesNot() {
    Dialog d;
    d.open();
    d.answer(2);
    QVERIFY(d.form.Marks.network);  // the fill changed the edits' texts
    QVERIFY(!d.form.Marks.operation && !d.form.Marks.lora);
    QCOMPARE(showModalAndClose(d.form), 1);
    QVERIFY(!d.form.isVisible());

    d.open();
    QVERIFY(!d.form.Marks.any());
    d.answer(2);
    QVERIFY(!d.form.Marks.any());  // the same texts: no change event
    QCOMPARE(showModalAndClose(d.form), 2);

    // Without modality the result is kept the same way.
    d.open();
    d.form.show();
    d.form.FlatButton2Click();
    QVERIFY(!d.form.isVisible());
    QCOMPARE(d.form.result(), 2);
}

void TestConfigDialog::operatorChoicesMarkAndEnable_data() {
    QTest::addColumn<QString>("list");
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<bool>("fieldsEnabled");
    // From Static IP / Disable (the fill below): one key down or up.
    QTest::newRow("DHCP disables WAN addresses")
        << "NetworkType" << int(Qt::Key_Down) << "DHCP" << false;
    QTest::newRow("bridge Enable disables LAN addresses")
        << "Bridge" << int(Qt::Key_Up) << "Enable" << false;
}

void TestConfigDialog::operatorChoicesMarkAndEnable() {
    QFETCH(QString, list);
    QFETCH(int, key);
    QFETCH(QString, chosen);
    QFETCH(bool, fieldsEnabled);
    Dialog d;
    TConfigForm& f = d.form;
    d.open();
    f.ConfigUDPUDPRead(networkReply(kMac, network(1)));
    d.open();  // reopened with the same texts: no mark
    f.ConfigUDPUDPRead(networkReply(kMac, network(1)));
    QVERIFY(!f.Marks.any());

    const bool wan = list == QLatin1String("NetworkType");
    QComboBox* combo = wan ? f.NetworkTypeCombo : f.BridgeCombo;
    const QList<QWidget*> fields =
        wan ? QList<QWidget*>{f.IPAddressText,  f.SubnetMaskText,   f.GatewayText,
                              f.DNSText,        f.IPAddressCaption, f.SubnetMaskCaption,
                              f.GatewayCaption, f.DNSCaption}
            : QList<QWidget*>{f.IPAddressText2, f.SubnetMaskText2, f.IPAddressCaption2,
                              f.SubnetMaskCaption2};
    QTest::keyClick(combo, Qt::Key(key));
    QCOMPARE(combo->currentText(), chosen);
    QVERIFY(f.Marks.network);
    for (QWidget* w : fields) QCOMPARE(w->isEnabled(), fieldsEnabled);

    // And back: the fields are usable again; their texts were kept throughout.
    QTest::keyClick(combo, key == Qt::Key_Down ? Qt::Key_Up : Qt::Key_Down);
    for (QWidget* w : fields) QVERIFY(w->isEnabled());
    QCOMPARE(f.IPAddressText->text(), QStringLiteral("198.19.0.10"));
}

void TestConfigDialog::programSelectionsDoNotMark() {
    Dialog d;
    d.form.SetNetworkType(1);
    d.form.SetBridge(0);
    d.form.SetNetworkType(7);  // a code outside the list selects nothing
    QCOMPARE(d.form.NetworkTypeCombo->currentIndex(), -1);
    QVERIFY(d.form.IPAddressText->isEnabled());
    // The service lists have no change handler: the operator's choice marks nothing.
    QTest::keyClick(d.form.TelnetCombo, Qt::Key_Down);
    QCOMPARE(d.form.TelnetCombo->currentIndex(), 1);
    QVERIFY(!d.form.Marks.any());
}

void TestConfigDialog::keyFilters_data() {
    QTest::addColumn<QString>("editName");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::newRow("address takes digits and dots") << "IPAddressText"
                                                   << "10.0.0.5"
                                                   << "10.0.0.5";
    QTest::newRow("address refuses letters") << "SubnetMaskText"
                                             << "2a5x5"
                                             << "255";
    QTest::newRow("address takes % and '") << "DNSText"
                                           << "1%'"
                                           << "1%'";
    QTest::newRow("address refuses space and minus") << "IPAddressText2"
                                                     << "1 -2"
                                                     << "12";
    QTest::newRow("address stops at 15") << "GatewayText"
                                         << "1234567890123456789"
                                         << "123456789012345";
    QTest::newRow("port refuses dots") << "HalvarisPortText"
                                       << "50.01"
                                       << "5001";
    QTest::newRow("port takes %") << "HalvarisPortText"
                                  << "5%"
                                  << "5%";
    QTest::newRow("port stops at 5") << "HalvarisPortText"
                                     << "1234567"
                                     << "12345";
    QTest::newRow("name takes anything up to 15") << "DeviceNameText"
                                                  << "Gate way-1 .x%abcdefgh"
                                                  << "Gate way-1 .x%a";
}

void TestConfigDialog::keyFilters() {
    QFETCH(QString, editName);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    Dialog d;
    const QHash<QString, ConfigEdit*> edits{
        {"IPAddressText", d.form.IPAddressText},   {"SubnetMaskText", d.form.SubnetMaskText},
        {"GatewayText", d.form.GatewayText},       {"DNSText", d.form.DNSText},
        {"IPAddressText2", d.form.IPAddressText2}, {"HalvarisPortText", d.form.HalvarisPortText},
        {"DeviceNameText", d.form.DeviceNameText}};
    ConfigEdit* edit = edits.value(editName);
    QVERIFY(edit);
    QTest::keyClicks(edit, typed);
    QCOMPARE(edit->text(), shown);
    QTest::keyClick(edit, Qt::Key_Backspace);  // backspace passes every filter
    QCOMPARE(edit->text(), shown.chopped(1));
    QVERIFY(d.form.Marks.network);
}

void TestConfigDialog::typedLimitDoesNotCutProgramText() {
    Dialog d;
    ConfigEdit* name = d.form.DeviceNameText;
    name->setText(QStringLiteral("a name of twenty-six chars"));
    QTest::keyClick(name, Qt::Key_End);
    QTest::keyClick(name, 'x');  // full: nothing more is typed
    QCOMPARE(name->text(), QStringLiteral("a name of twenty-six chars"));
    QTest::keyClick(name, Qt::Key_Backspace);  // but it can be shortened
    QCOMPARE(name->text(), QStringLiteral("a name of twenty-six char"));
    name->selectAll();
    QTest::keyClick(name, 'y');  // typing over a selection replaces it
    QCOMPARE(name->text(), QStringLiteral("y"));
}

void TestConfigDialog::applyWithOnlyOperationMark() {
    Dialog d;
    TConfigForm& f = d.form;
    f.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f));
    d.open();
    d.answer(2);
    f.Marks = ChangeMarks();  // as when the fill changed no text
    d.sent.clear();

    // The operator types an alias into row 1; Apply stores the open editor.
    f.ConfigTab->setCurrentIndex(1);
    f.OpGrid->setFocus();
    f.OpGrid->SetCurrentCell(1, 1);
    // The editor is open on the current cell: the keys go to it.
    QWidget* editor = QApplication::focusWidget();
    QVERIFY(editor && f.OpGrid->isAncestorOf(editor));
    QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(editor, 'X');
    QVERIFY(f.OpGrid->IsEditing());
    QTest::mouseClick(f.FlatButton1, Qt::LeftButton);
    QVERIFY(f.Marks.operation && !f.Marks.network && !f.Marks.lora);
    QCOMPARE(d.sentLetters(), (QList<char>{'O', 'O', 'A'}));
    QCOMPARE(quint8(d.sent[0][8]), quint8(0));
    QCOMPARE(quint8(d.sent[1][8]), quint8(1));
    QCOMPARE(d.sent[1].mid(12, 16), QByteArray("X").leftJustified(16, '\0'));
    QCOMPARE(d.sent[0].mid(12, 16), QByteArray("COM1").leftJustified(16, '\0'));
    QVERIFY(!f.FlatButton1->isEnabled());

    // A second press before any reply does nothing.
    QTest::mouseClick(f.FlatButton1, Qt::LeftButton);
    QCOMPARE(d.sent.size(), 3);

    f.ConfigUDPUDPRead(applied(kMac));
    QVERIFY(f.FlatButton1->isEnabled());
    QCOMPARE(d.fake.prompts.messages,
             QStringList{QStringLiteral("Configuration was successfully applied")});
    QVERIFY(f.Marks.operation);  // Apply leaves the marks
}

void TestConfigDialog::applyWithoutMarksSendsNothing() {
    Dialog d;
    d.open();
    d.sent.clear();
    d.form.FlatButton1Click();
    QVERIFY(d.sent.isEmpty());
    QVERIFY(d.form.FlatButton1->isEnabled());
}

void TestConfigDialog::appliedOncePerApply_data() {
    // Steps: "A" the dialog sends Apply, "a" the gateway's answer, "a*300" a
    // burst of answers, "a other" an answer from another gateway, "open other"
    // the dialog turned to another gateway.
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<int>("messages");
    QTest::newRow("answer") << QStringList{"A", "a"} << 1;
    QTest::newRow("two answers, one Apply") << QStringList{"A", "a", "a"} << 1;
    QTest::newRow("answer without Apply") << QStringList{"a"} << 0;
    QTest::newRow("burst after one Apply") << QStringList{"A", "a*300"} << 1;
    QTest::newRow("burst without Apply") << QStringList{"a*300"} << 0;
    QTest::newRow("each Apply answered") << QStringList{"A", "a", "a", "A", "a", "a"} << 2;
    QTest::newRow("Apply twice, one answer") << QStringList{"A", "A", "a", "a"} << 1;
    QTest::newRow("Apply was for another gateway")
        << QStringList{"A", "open other", "a other"} << 0;
    QTest::newRow("another gateway's answer") << QStringList{"A", "a other", "a"} << 1;
}

void TestConfigDialog::appliedOncePerApply() {
    QFETCH(QStringList, steps);
    QFETCH(int, messages);
    Dialog d;
    d.open();
    d.answer(2);
    for (const QString& step : steps) {
        if (step == QLatin1String("A")) {
            d.form.SendConfigApply();
            d.form.FlatButton1->setEnabled(false);
        } else if (step == QLatin1String("a")) {
            d.form.ConfigUDPUDPRead(applied(kMac));
        } else if (step == QLatin1String("a*300")) {
            for (int i = 0; i < 300; ++i) d.form.ConfigUDPUDPRead(applied(kMac));
        } else if (step == QLatin1String("a other")) {
            d.form.ConfigUDPUDPRead(applied(kOtherMac));
        } else if (step == QLatin1String("open other")) {
            d.open(kOtherMac);
        }
    }
    QCOMPARE(d.fake.prompts.messages.size(), messages);
    for (const QString& m : d.fake.prompts.messages)
        QCOMPARE(m, QStringLiteral("Configuration was successfully applied"));
    QCOMPARE(d.form.ApplyWait.Waiting(),
             steps.last() == QLatin1String("A") || steps.last() == QLatin1String("a other"));
}

void TestConfigDialog::applyThatCannotBeBuiltSendsNothing_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text");
    QTest::newRow("% in an address") << "IPAddressText2"
                                     << "192.168.1.%";
    QTest::newRow("three-part address") << "GatewayText"
                                        << "10.0.1";
    QTest::newRow("port with a quote") << "HalvarisPortText"
                                       << "50'0";
    QTest::newRow("empty port") << "HalvarisPortText"
                                << "";
}

void TestConfigDialog::applyThatCannotBeBuiltSendsNothing() {
    QFETCH(QString, field);
    QFETCH(QString, text);
    Dialog d;
    d.open();
    d.answer(2);
    // The operation rows are marked too: the network section fails and stops
    // the rows that would have followed it as well.
    d.form.Marks.operation = true;
    ConfigEdit* edit = field == QLatin1String("IPAddressText2") ? d.form.IPAddressText2
                       : field == QLatin1String("GatewayText")  ? d.form.GatewayText
                                                                : d.form.HalvarisPortText;
    edit->setText(text);
    d.sent.clear();
    d.form.FlatButton1Click();
    QVERIFY(d.sent.isEmpty());
    QCOMPARE(d.fake.prompts.errors.size(), 1);
    QVERIFY(d.form.FlatButton1->isEnabled());
}

void TestConfigDialog::enabledStatesCarryOverBetweenOpenings() {
    Dialog d;
    d.open();
    d.form.ConfigUDPUDPRead(networkReply(kMac, network(1)));  // "o" and "u" never come
    d.form.Marks.lora = true;
    d.form.SerialGrid->Cells(3, 0).SetCellText(QStringLiteral("1"));
    d.form.FlatButton1Click();
    QVERIFY(!d.form.FlatButton1->isEnabled());  // no reply yet
    d.form.close();

    d.open();
    QVERIFY(!d.form.FlatButton1->isEnabled());
    QVERIFY(enabledPanels(d.form, false, false, false));
    d.form.ConfigUDPUDPRead(networkReply(kMac, network(1)));
    QVERIFY(enabledPanels(d.form, true, false, false));
    QVERIFY(d.form.FlatButton1->isEnabled());
}

void TestConfigDialog::exportWritesAllRecords() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("gw.vxc"));
    Dialog d;
    d.open();
    d.answer(2);
    d.sent.clear();
    const ChangeMarks before = d.form.Marks;
    d.fake.prompts.fileAnswers.enqueue(path);
    d.form.FlatButton9Click();
    QVERIFY(d.fake.prompts.errors.isEmpty());
    QCOMPARE(d.fake.prompts.saveDialogs.size(), 1);
    const Prompts::FileDialog& dialog = d.fake.prompts.saveDialogs.first();
    QCOMPARE(dialog.title, QStringLiteral("Export configuration to file"));
    QCOMPARE(dialog.fileName, QStringLiteral("default.vxc"));
    QCOMPARE(dialog.defaultSuffix, QStringLiteral("vxc"));
    QVERIFY(dialog.filter.startsWith(QStringLiteral("All files")));

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QCOMPARE(bytes.size(), 196);
    QCOMPARE(bytes.mid(0, 2), QByteArray("\x02N"));
    QCOMPARE(bytes.mid(77, 6), QByteArray::fromHex("000205000000"));
    QCOMPARE(bytes.mid(84, 2), QByteArray("\x02O"));
    QCOMPARE(quint8(bytes[84 + 8]), quint8(0));
    QCOMPARE(quint8(bytes[123 + 8]), quint8(1));
    QCOMPARE(bytes.mid(162, 2), QByteArray("\x02U"));
    QCOMPARE(quint8(bytes[179 + 8]), quint8(1));
    QVERIFY(d.sent.isEmpty());  // nothing sent, no mark changed, no message
    QCOMPARE(d.form.Marks.network, before.network);
    QVERIFY(!d.form.Marks.operation);
    QVERIFY(d.fake.prompts.messages.isEmpty());

    // Cancelled: nothing written.
    d.form.FlatButton9Click();
    QCOMPARE(d.fake.prompts.saveDialogs.size(), 2);
}

void TestConfigDialog::failedExportKeepsOldFile() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("keep.vxc"));
    {
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("the old configuration");
    }
    Dialog d;
    d.open();
    d.answer(2);
    d.form.OpGrid->Cells(4, 1).SetCellText(QStringLiteral("10.0.0"));  // a row that cannot be built
    d.fake.prompts.fileAnswers.enqueue(path);
    d.form.FlatButton9Click();
    QCOMPARE(d.fake.prompts.errors.size(), 1);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("the old configuration"));

    d.fake.prompts.fileAnswers.enqueue(dir.filePath(QStringLiteral("no/such/dir/x.vxc")));
    d.form.OpGrid->Cells(4, 1).SetCellText(QStringLiteral("10.0.0.1"));
    d.form.FlatButton9Click();
    QCOMPARE(d.fake.prompts.errors.size(), 2);
}

void TestConfigDialog::importWritesToSelectedGateway() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("default.vxc"));
    {
        Dialog source;
        source.open();
        source.answer(2);
        source.fake.prompts.fileAnswers.enqueue(path);
        source.form.FlatButton9Click();
        QVERIFY(source.fake.prompts.errors.isEmpty());
    }
    Dialog d;
    d.open(kOtherMac);
    d.form.ConfigUDPUDPRead(networkReply(kOtherMac, network(4, QStringLiteral("other"))));
    d.sent.clear();
    d.form.LoadConfigFile(path, QStringLiteral("VX-100"), kOtherMac, QStringLiteral("2.0"));
    QVERIFY(d.sent.isEmpty());  // the file, not the gateway: no query
    QVERIFY(d.form.Marks.network && d.form.Marks.operation && d.form.Marks.lora);
    QCOMPARE(d.form.MACLabel->text(), kOtherMac);
    QCOMPARE(d.form.ProductLabel->text(), QStringLiteral("VX-100"));
    QCOMPARE(d.form.SourceIDLabel->text(), QStringLiteral("0"));
    QCOMPARE(d.form.DeviceNameText->text(), QStringLiteral("gw-one"));
    QCOMPARE(d.form.OpGrid->RowCount(), 2);
    QCOMPARE(d.form.OpGrid->Cells(1, 1).GetCellText(), QStringLiteral("COM2"));
    QCOMPARE(d.form.SerialGrid->Cells(3, 1).GetCellText(), QStringLiteral("101"));

    d.form.FlatButton1Click();
    QCOMPARE(d.sentLetters(), (QList<char>{'N', 'O', 'O', 'U', 'U', 'A'}));
    const QByteArray mac = QByteArray::fromHex("001A2B3C4D60");
    for (const QByteArray& datagram : d.sent) QCOMPARE(datagram.mid(2, 6), mac);
    QCOMPARE(quint8(d.sent[0][79]), quint8(5));  // EchoByte as loaded
    QCOMPARE(showModalAndClose(d.form), 1);
}

void TestConfigDialog::shortImportChangesNothing_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("says");
    const QByteArray full = [] {
        DeviceConfig c;
        c.network = network(2);
        c.ports = {port(0), port(1)};
        c.loras = {lora(0), lora(1)};
        return BuildConfigRecords(kMac, c);
    }();
    QTest::newRow("empty") << QByteArray() << "0 bytes";
    QTest::newRow("network record cut") << full.left(60) << "60 bytes";
    QTest::newRow("last LoRa record cut") << full.left(195) << "195 bytes";
    QByteArray badRow = full;
    badRow[84 + 39 + 8] = 7;  // the second operation record names row 8 of 2
    QTest::newRow("row out of range") << badRow << "row 8";
}

void TestConfigDialog::shortImportChangesNothing() {
    QFETCH(QByteArray, content);
    QFETCH(QString, says);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("broken.vxc"));
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    Dialog d;
    d.open();
    d.answer(1);
    d.form.Marks = ChangeMarks();
    QString error;
    try {
        d.form.LoadConfigFile(path, QStringLiteral("VX-100"), kOtherMac, QStringLiteral("2.0"));
    } catch (const VarnexError& e) {
        error = e.text();
    }
    QVERIFY2(error.contains(QStringLiteral("broken.vxc")), qPrintable(error));
    QVERIFY2(error.contains(says), qPrintable(error));
    QVERIFY(!d.form.Marks.any());
    QCOMPARE(d.form.MACLabel->text(), kMac);
    QCOMPARE(d.form.OpGrid->RowCount(), 1);
    QCOMPARE(d.form.OpGrid->Cells(1, 0).GetCellText(), QStringLiteral("COM1"));
}

QTEST_MAIN(TestConfigDialog)
#include "tst_config_dialog.moc"
