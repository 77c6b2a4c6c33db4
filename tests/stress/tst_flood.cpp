// A flood of junk, truncated and valid datagrams at port 2058 during a Search.
#include "mainwindow/TFormDetect.h"
#include "support/FakeSeams.h"
#include "support/NetnsEnv.h"
#include "widgets/TRealGrid.h"

#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QSet>
#include <QTimer>
#include <QtTest>

namespace {
// Peak resident memory of this process, in MiB.
double peakRssMiB() {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024;
    }
    return -1;
}
}  // namespace

class TestFlood : public QObject {
    Q_OBJECT
private slots:
    void init() { REQUIRE_NETNS(); }
    void searchSurvivesFlood();
};

void TestFlood::searchSurvivesFlood() {
    const int macs = 3000;
    const double seconds = qEnvironmentVariableIntValue("VARNEX_FLOOD_SECONDS") > 0
                               ? qEnvironmentVariableIntValue("VARNEX_FLOOD_SECONDS")
                               : 8;
    FakeServices fake;
    TFormDetect form(fake.services);
    form.show();

    // The UI loop's longest stall, measured by a 5 ms timer.
    QElapsedTimer gap;
    qint64 longestStallMs = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout,
                     [&] { longestStallMs = qMax(longestStallMs, gap.restart()); });

    QTest::mouseClick(form.FlatButton2, Qt::LeftButton);  // Search
    gap.start();
    ticker.start(5);
    auto flood =
        NetnsEnv::startInGatewayNamespace(QStringLiteral(VARNEX_BUILD_DIR "/tests/flood_sender"),
                                          {QString::number(seconds), QString::number(macs)});
    QVERIFY(flood->waitForStarted(5000));
    QTRY_VERIFY_WITH_TIMEOUT(flood->state() == QProcess::NotRunning, int(seconds * 1000) + 20000);
    const QByteArray summary = flood->readAllStandardOutput().trimmed();
    // Let the last replies in the queue reach the list, then stop the window.
    QTRY_COMPARE_WITH_TIMEOUT(form.DeviceCount, macs, 10000);
    QTest::mouseClick(form.FlatButton6, Qt::LeftButton);
    ticker.stop();

    // Every valid gateway listed once, nothing else.
    QSet<QString> seen;
    for (int row = 0; row < form.RGrid->RowCount(); ++row) {
        const QString mac = form.RGrid->Cells(1, row).GetCellText();
        QVERIFY2(!seen.contains(mac), qPrintable(mac));
        seen.insert(mac);
        QVERIFY(mac.startsWith(QStringLiteral("02-00-00-")));
    }
    QCOMPARE(form.RGrid->RowCount(), macs);
    const double rate = summary.split(' ').value(1).toDouble() / seconds;
    qInfo("flood: %s in %.0f s (%.0f datagrams/s); peak memory %.0f MiB; longest UI stall %lld ms",
          summary.constData(), seconds, rate, peakRssMiB(), longestStallMs);
    QVERIFY(peakRssMiB() < 1024);  // bounded: the queue never holds more than a burst
}

QTEST_MAIN(TestFlood)
#include "tst_flood.moc"
