// Which platform the window program asks Qt for, and the command line it hands
// the application object.
#include "app/DisplayChoice.h"

#include <QtTest>

Q_DECLARE_METATYPE(DisplayChoice)
using C = DisplayChoice;

class TestDisplay : public QObject {
    Q_OBJECT
private slots:
    void choice_data();
    void choice();
    void applicationArguments();
};

void TestDisplay::choice_data() {
    // environment: DISPLAY, WAYLAND_DISPLAY, QT_QPA_PLATFORM, then whether Qt's
    // Wayland plugin is installed.
    QTest::addColumn<QStringList>("environment");
    QTest::addColumn<QStringList>("arguments");  // after the program's name
    QTest::addColumn<DisplayChoice>("expected");

    using L = QStringList;
    QTest::newRow("nothing") << L{"", "", "", "plugin"} << L{} << C::NoDisplay;
    QTest::newRow("X11") << L{":0", "", "", ""} << L{} << C::X11;
    QTest::newRow("X11 beside Wayland") << L{":0", "wayland-0", "", "plugin"} << L{} << C::X11;
    QTest::newRow("Wayland only") << L{"", "wayland-0", "", "plugin"} << L{} << C::Wayland;
    QTest::newRow("Wayland, no plugin") << L{"", "wayland-0", "", ""} << L{} << C::NoWaylandPlugin;
    QTest::newRow("QT_QPA_PLATFORM") << L{"", "", "offscreen", ""} << L{} << C::AsGiven;
    QTest::newRow("-platform") << L{"", "", "", ""} << L{"-platform", "vnc"} << C::AsGiven;
    QTest::newRow("--platform beats DISPLAY")
        << L{":0", "", "", ""} << L{"-style", "fusion", "--platform", "wayland"} << C::AsGiven;
    QTest::newRow("-platform with no name") << L{"", "", "", ""} << L{"-platform"} << C::NoDisplay;
    QTest::newRow("-platform=NAME is not Qt's")
        << L{":0", "", "", ""} << L{"-platform=vnc"} << C::X11;
}

void TestDisplay::choice() {
    QFETCH(QStringList, environment);
    QFETCH(QStringList, arguments);
    QFETCH(DisplayChoice, expected);
    const DisplayEnvironment given{environment[0].toLatin1(), environment[1].toLatin1(),
                                   environment[2].toLatin1(), !environment[3].isEmpty()};
    const DisplayChoice choice = ChooseDisplay(given, QStringList{"varnexconfig"} + arguments);
    QCOMPARE(choice, expected);
    // The program stops exactly where no window could open, with one line.
    const std::optional<QString> refusal = RefusalText(choice);
    QCOMPARE(refusal.has_value(), expected == C::NoDisplay || expected == C::NoWaylandPlugin);
    if (refusal) QVERIFY(!refusal->contains('\n') && refusal->contains("varnexctl"));
}

void TestDisplay::applicationArguments() {
    QByteArray name("varnexconfig"), style("-style"), fusion("fusion");
    char* argv[] = {name.data(), style.data(), fusion.data(), nullptr};
    for (const DisplayChoice choice : {DisplayChoice::X11, DisplayChoice::AsGiven}) {
        ApplicationArguments arguments(3, argv, choice);
        QStringList handed;
        for (int i = 0; i < arguments.argc(); ++i) handed << arguments.argv()[i];
        QCOMPARE(arguments.argv()[arguments.argc()], nullptr);
        if (choice == DisplayChoice::X11)
            QCOMPARE(handed, (QStringList{"varnexconfig", "-platform", "xcb", "-style", "fusion"}));
        else
            QCOMPARE(handed, (QStringList{"varnexconfig", "-style", "fusion"}));
    }
}

QTEST_GUILESS_MAIN(TestDisplay)
#include "tst_display.moc"
