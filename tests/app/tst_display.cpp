// Which platform the window program asks Qt for, and the command line it hands
// the application object.
#include "app/DisplayChoice.h"

#include <QtTest>

Q_DECLARE_METATYPE(DisplayChoice)

class TestDisplay : public QObject {
    Q_OBJECT
private slots:
    void choice_data();
    void choice();
    void applicationArguments_data();
    void applicationArguments();
};

void TestDisplay::choice_data() {
    QTest::addColumn<QByteArray>("display");
    QTest::addColumn<QByteArray>("waylandDisplay");
    QTest::addColumn<QByteArray>("qpaPlatform");
    QTest::addColumn<bool>("waylandPlugin");
    QTest::addColumn<QStringList>("arguments");  // after the program's name
    QTest::addColumn<DisplayChoice>("expected");

    using C = DisplayChoice;
    QTest::newRow("no display at all")
        << QByteArray() << QByteArray() << QByteArray() << true << QStringList{} << C::NoDisplay;
    QTest::newRow("empty variables are unset") << QByteArray("") << QByteArray("") << QByteArray("")
                                               << true << QStringList{} << C::NoDisplay;
    QTest::newRow("X11") << QByteArray(":0") << QByteArray() << QByteArray() << false
                         << QStringList{} << C::X11;
    QTest::newRow("Wayland desktop with X11 beside: X11")
        << QByteArray(":0") << QByteArray("wayland-0") << QByteArray() << true << QStringList{}
        << C::X11;
    QTest::newRow("Wayland only") << QByteArray() << QByteArray("wayland-0") << QByteArray() << true
                                  << QStringList{} << C::Wayland;
    QTest::newRow("Wayland only, no plugin")
        << QByteArray() << QByteArray("wayland-0") << QByteArray() << false << QStringList{}
        << C::NoWaylandPlugin;
    QTest::newRow("QT_QPA_PLATFORM without a display")
        << QByteArray() << QByteArray() << QByteArray("offscreen") << false << QStringList{}
        << C::AsGiven;
    QTest::newRow("QT_QPA_PLATFORM beats DISPLAY")
        << QByteArray(":0") << QByteArray() << QByteArray("wayland") << true << QStringList{}
        << C::AsGiven;
    QTest::newRow("-platform without a display")
        << QByteArray() << QByteArray() << QByteArray() << false << QStringList{"-platform", "vnc"}
        << C::AsGiven;
    QTest::newRow("--platform after other options beats DISPLAY")
        << QByteArray(":0") << QByteArray() << QByteArray() << false
        << QStringList{"-style", "fusion", "--platform", "wayland"} << C::AsGiven;
    QTest::newRow("-platform with no name chooses nothing")
        << QByteArray() << QByteArray() << QByteArray() << false << QStringList{"-platform"}
        << C::NoDisplay;
    QTest::newRow("a value spelled -platform is not the option")
        << QByteArray(":0") << QByteArray() << QByteArray() << false
        << QStringList{"-platformpluginpath", "/x", "-platform=vnc"} << C::X11;
}

void TestDisplay::choice() {
    QFETCH(QByteArray, display);
    QFETCH(QByteArray, waylandDisplay);
    QFETCH(QByteArray, qpaPlatform);
    QFETCH(bool, waylandPlugin);
    QFETCH(QStringList, arguments);
    QFETCH(DisplayChoice, expected);
    const DisplayEnvironment environment{display, waylandDisplay, qpaPlatform, waylandPlugin};
    const DisplayChoice choice =
        ChooseDisplay(environment, QStringList{QStringLiteral("varnexconfig")} + arguments);
    QCOMPARE(choice, expected);
    // The program stops exactly where it could not show a window.
    const bool refused =
        expected == DisplayChoice::NoDisplay || expected == DisplayChoice::NoWaylandPlugin;
    const std::optional<QString> refusal = RefusalText(choice);
    QCOMPARE(refusal.has_value(), refused);
    if (refusal) {
        QVERIFY(!refusal->contains(QLatin1Char('\n')));
        QVERIFY(refusal->contains(QLatin1String("varnexctl")));
    }
}

void TestDisplay::applicationArguments_data() {
    QTest::addColumn<DisplayChoice>("choice");
    QTest::addColumn<QStringList>("given");
    QTest::addColumn<QStringList>("expected");

    const QStringList given{"varnexconfig", "-style", "fusion"};
    QTest::newRow("X11: xcb before the user's options")
        << DisplayChoice::X11 << given
        << QStringList{"varnexconfig", "-platform", "xcb", "-style", "fusion"};
    QTest::newRow("Wayland") << DisplayChoice::Wayland << given
                             << QStringList{"varnexconfig", "-platform", "wayland", "-style",
                                            "fusion"};
    QTest::newRow("the user's choice: unchanged") << DisplayChoice::AsGiven << given << given;
    QTest::newRow("program name alone") << DisplayChoice::X11 << QStringList{"varnexconfig"}
                                        << QStringList{"varnexconfig", "-platform", "xcb"};
}

void TestDisplay::applicationArguments() {
    QFETCH(DisplayChoice, choice);
    QFETCH(QStringList, given);
    QFETCH(QStringList, expected);
    std::vector<QByteArray> storage;
    std::vector<char*> argv;
    for (const QString& argument : given) storage.push_back(argument.toLocal8Bit());
    for (QByteArray& argument : storage) argv.push_back(argument.data());

    ApplicationArguments arguments(static_cast<int>(argv.size()), argv.data(), choice);
    QStringList handed;
    for (int i = 0; i < arguments.argc(); ++i)
        handed << QString::fromLocal8Bit(arguments.argv()[i]);
    QCOMPARE(handed, expected);
    QCOMPARE(arguments.argv()[arguments.argc()], nullptr);  // argv's end, as main() gets it
}

QTEST_GUILESS_MAIN(TestDisplay)
#include "tst_display.moc"
