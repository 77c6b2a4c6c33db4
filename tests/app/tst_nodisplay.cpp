// The window program started where there is no graphical desktop: one line that
// says what to do instead, and exit status 1 rather than Qt's abort. It stops
// before any window or socket exists; the harness's namespaces hold it anyway.
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
    QTest::addColumn<QString>("stdoutStart");  // "" for nothing at all
    QTest::addColumn<bool>("refused");         // the one line on stderr

    QTest::newRow("no arguments") << QStringList{} << 1 << "" << true;
    QTest::newRow("a Qt option the program passes on")
        << QStringList{"-style", "fusion"} << 1 << "" << true;
    QTest::newRow("--version still answers")
        << QStringList{"--version"} << 0 << "varnexconfig " VARNEX_VERSION "\n"
        << false;
    QTest::newRow("--help still answers") << QStringList{"--help"} << 0 << "Usage: " << false;
}

void TestNoDisplay::start() {
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, stdoutStart);
    QFETCH(bool, refused);

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(name));
    QProcess program;
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(VARNEX_BUILD_DIR "/varnexconfig"), args);
    QVERIFY2(program.waitForFinished(30000), "the program did not end by itself");
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);  // no abort, no core
    QCOMPARE(program.exitCode(), exitCode);

    const QString out = QString::fromLocal8Bit(program.readAllStandardOutput());
    const QString err = QString::fromLocal8Bit(program.readAllStandardError());
    if (stdoutStart.isEmpty())
        QCOMPARE(out, QString());
    else
        QVERIFY2(out.startsWith(stdoutStart), qPrintable(out));
    if (refused) {
        QVERIFY2(err.endsWith(QLatin1Char('\n')) && err.count(QLatin1Char('\n')) == 1,
                 qPrintable(err));
        QVERIFY2(err.contains(QLatin1String("graphical desktop")) &&
                     err.contains(QLatin1String("varnexctl")),
                 qPrintable(err));
    } else {
        QCOMPARE(err, QString());
    }
}

QTEST_GUILESS_MAIN(TestNoDisplay)
#include "tst_nodisplay.moc"
