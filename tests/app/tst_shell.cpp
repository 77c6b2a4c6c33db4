// The main window's start state, busy state and error display, offscreen.
#include "app/ErrorDisplay.h"
#include "discovery/DiscoveryReply.h"
#include "engine/GatewayEngine.h"
#include "link/VarnexError.h"
#include "mainwindow/FirmwareScreen.h"
#include "mainwindow/TFormDetect.h"
#include "support/FakeSeams.h"
#include "support/NetnsEnv.h"

#include <QAccessible>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

class TestShell : public QObject {
    Q_OBJECT
private slots:
    void startState();
    void toolBarLayout_data();
    void toolBarLayout();
    void busyStateBothWays();
    void valueLabelsSpeakTheirValues_data();
    void valueLabelsSpeakTheirValues();
    void errorDisplayText_data();
    void errorDisplayText();
    void escapedErrorIsShownAndProgramGoesOn();
};

void TestShell::startState() {
    FakeServices fake;
    TFormDetect form(fake.services);
    form.show();
    QCOMPARE(form.windowTitle(), QStringLiteral("VarnexConfig v1.0"));
    QCOMPARE(form.size(), QSize(977, 538));
    QVERIFY(!(form.windowFlags() & Qt::WindowMaximizeButtonHint));
    QCOMPARE(form.DeviceCount, 0);
    QCOMPARE(form.SelectedRow, 0);
    QCOMPARE(form.lblcount->text(), QString());
    QVERIFY(form.PnlTime->isHidden());
    QVERIFY(form.FlatPanel3->isHidden());
    QVERIFY(!form.TimerFIND->isActive());
    QVERIFY(!form.UDPServer->Active());
    QCOMPARE(form.FUWait->text(), QStringLiteral("Waiting For Complete..."));
    QCOMPARE(form.FlatButton5->property("Tag").toInt(), 12);
    QCOMPARE(form.FlatButton4->property("Tag").toInt(), 11);
}

void TestShell::toolBarLayout_data() {
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<bool>("onToolBar");
    QTest::newRow("Search") << "Search" << QRect(11, 8, 73, 25) << true;
    QTest::newRow("Search IP") << "Search IP" << QRect(91, 8, 94, 25) << true;
    QTest::newRow("Configure") << "Configure" << QRect(222, 8, 89, 25) << true;
    QTest::newRow("Import") << "Import" << QRect(318, 8, 89, 25) << true;
    QTest::newRow("Telnet") << "Telnet" << QRect(470, 8, 89, 25) << true;
    QTest::newRow("Web") << "Web" << QRect(568, 8, 89, 25) << true;
    QTest::newRow("Upgrade Firmware") << "Upgrade Firmware" << QRect(712, 8, 105, 25) << true;
    QTest::newRow("Apply (on the window)") << "Apply" << QRect(891, 24, 73, 25) << false;
}

void TestShell::toolBarLayout() {
    QFETCH(QString, caption);
    QFETCH(QRect, geometry);
    QFETCH(bool, onToolBar);
    FakeServices fake;
    TFormDetect form(fake.services);
    QPushButton* found = nullptr;
    for (auto* b : form.findChildren<QPushButton*>()) {
        if (b->text() == caption) found = b;
    }
    QVERIFY(found);
    QCOMPARE(found->geometry(), geometry);
    QCOMPARE(found->parentWidget() == form.FlatPanel1, onToolBar);
    QCOMPARE(found->accessibleName(), caption);
}

void TestShell::busyStateBothWays() {
    REQUIRE_NETNS();  // the busy state binds port 2058
    FakeServices fake;
    TFormDetect form(fake.services);
    form.show();
    for (bool on : {true, false, true, false}) {
        form.CountdownSeconds = 3;
        form.SetSearching(on);
        QCOMPARE(form.CountdownSeconds, 10);
        QCOMPARE(form.PnlTime->Caption(), QStringLiteral("        Remain timeout = 10sec"));
        QCOMPARE(form.PnlTime->isVisible(), on);
        QCOMPARE(form.TimerFIND->isActive(), on);
        QCOMPARE(form.FlatPanel1->isEnabled(), !on);
        QCOMPARE(form.FlatPanel2->isEnabled(), !on);
        QCOMPARE(form.UDPServer->Active(), on);
        QVERIFY(form.FlatButton1->isEnabled());  // Apply stays usable
        QVERIFY(form.FlatButton6->isEnabled());  // so does Stop
    }
}

void TestShell::valueLabelsSpeakTheirValues_data() {
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("description");
    QTest::newRow("count") << "lblcount"
                           << "Current : 1"
                           << "Gateways listed";
    QTest::newRow("countdown") << "countdown"
                               << "        Remain timeout = 9sec"
                               << "Search countdown";
    QTest::newRow("firmware wait") << "FUWait"
                                   << "Waiting For Complete"
                                   << "Firmware upgrade";
}

void TestShell::valueLabelsSpeakTheirValues() {
    QFETCH(QString, label);
    QFETCH(QString, value);
    QFETCH(QString, description);
    FakeServices fake;
    TFormDetect form(fake.services);
    DiscoveryReply gateway;
    gateway.Mac = QStringLiteral("00-1A-2B-00-00-01");
    form.AddDevice(gateway);
    form.CountdownSeconds = 10;
    form.TimerFINDTimer();
    form.FUWait->setText(QStringLiteral("Sending"));
    FirmwareScreen screen(form, fake.clock);
    screen.CompletionWaitStarted();
    QLabel* shown = label == QLatin1String("lblcount")    ? form.lblcount
                    : label == QLatin1String("countdown") ? form.PnlTime->CaptionLabel()
                                                          : form.FUWait;
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(shown);
    QVERIFY(iface);
    QCOMPARE(iface->text(QAccessible::Name), value);
    QCOMPARE(iface->text(QAccessible::Description), description);
    // The countdown panel keeps one name; the changing text is its label's.
    QCOMPARE(QAccessible::queryAccessibleInterface(form.PnlTime)->text(QAccessible::Name),
             QStringLiteral("Search"));
}

void TestShell::errorDisplayText_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");
    QTest::newRow("letter gets a dot") << "No Hex-Number"
                                       << "No Hex-Number.";
    QTest::newRow("already a dot") << "Package Size Too Big."
                                   << "Package Size Too Big.";
    QTest::newRow("bracket sorts after dot") << "Cells row bounds error[3]"
                                             << "Cells row bounds error[3].";
    QTest::newRow("digit sorts after dot") << "Socket Error # 13"
                                           << "Socket Error # 13.";
    QTest::newRow("quote sorts before dot") << "'x' is"
                                            << "'x' is.";
    QTest::newRow("exclamation sorts before dot") << "Stop!"
                                                  << "Stop!";
    QTest::newRow("comma sorts before dot") << "a,"
                                            << "a,";
    QTest::newRow("empty") << ""
                           << "";
}

void TestShell::errorDisplayText() {
    QFETCH(QString, text);
    QFETCH(QString, shown);
    QCOMPARE(ErrorDisplayText(text), shown);
}

void TestShell::escapedErrorIsShownAndProgramGoesOn() {
    FakeServices fake;
    int after = 0;
    RunHandler(fake.prompts, nullptr, [&] {
        after = 1;
        throw VarnexError(QStringLiteral("No Hex-Number"));
        after = 2;
    });
    QCOMPARE(after, 1);  // what was done before stays done, the rest does not run
    QCOMPARE(fake.prompts.errors, QStringList{QStringLiteral("No Hex-Number.")});
    RunHandler(fake.prompts, nullptr, [] { throw std::runtime_error("boom"); });
    QCOMPARE(fake.prompts.errors.last(), QStringLiteral("boom."));
}

QTEST_MAIN(TestShell)
#include "tst_shell.moc"
