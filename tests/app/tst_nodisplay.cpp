// The window program where there is no graphical desktop: one line that says what
// to do instead and exit status 1, not Qt's abort. It stops before any window or
// socket exists; the harness's namespaces hold it anyway.
#include "VarnexVersion.h"

#include <QProcess>
#include <QtTest>

class TestNoDisplay : public QObject {
    Q_OBJECT
private slots:
    void start_data();
    void start();
};

void TestNoDisplay::start_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("stdoutStart");  // "" for nothing on stdout
    QTest::addColumn<QString>("stderrPart");   // "" for nothing on stderr

    const QString refusal = "graphical desktop";
    QTest::newRow("no arguments") << QStringList{} << 1 << "" << refusal;
    QTest::newRow("a Qt option passed on") << QStringList{"-style", "fusion"} << 1 << "" << refusal;
    QTest::newRow("--version") << QStringList{"--version"} << 0
                               << "varnexconfig " VARNEX_VERSION "\n"
                               << "";
    QTest::newRow("--help") << QStringList{"--help"} << 0 << "Usage: "
                            << "";
}

void TestNoDisplay::start() {
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, stdoutStart);
    QFETCH(QString, stderrPart);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(name));
    QProcess program;
    program.setProcessEnvironment(environment);
    program.start(VARNEX_BUILD_DIR "/varnexconfig", args);
    QVERIFY(program.waitForFinished(30000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);  // no abort, no core
    QCOMPARE(program.exitCode(), exitCode);

    const QString out = program.readAllStandardOutput(), err = program.readAllStandardError();
    QVERIFY2(stdoutStart.isEmpty() ? out.isEmpty() : out.startsWith(stdoutStart), qPrintable(out));
    if (stderrPart.isEmpty())
        QCOMPARE(err, QString());
    else
        QVERIFY2(err.contains(stderrPart) && err.contains("varnexctl") && err.count('\n') == 1 &&
                     err.endsWith('\n'),
                 qPrintable(err));
}

QTEST_GUILESS_MAIN(TestNoDisplay)
#include "tst_nodisplay.moc"
