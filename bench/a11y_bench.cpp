// How long the accessibility interface takes to answer a screen reader while a
// flood of discovery replies fills the device list. The probe (a11y_probe.py)
// listens to every accessibility event, as a screen reader does, and asks the
// program its name every 10 ms over the accessibility bus; the figure is its
// longest wait, idle, during the flood and with the list full.
// Run inside the project's namespaces with a display and a session bus of its own:
//   tests/netns/netns-run xvfb-run -a dbus-run-session -- build/bench/a11y_bench [gateways]
//   [seconds]
#include "mainwindow/TFormDetect.h"
#include "support/FakeSeams.h"
#include "support/NetnsEnv.h"
#include "widgets/TRealGrid.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QPushButton>
#include <QTimer>

#include <cstdio>
#include <functional>

namespace {
// Runs the event loop until `done` holds or `ms` pass; false on the timeout.
bool runUntil(const std::function<bool()>& done, int ms) {
    QElapsedTimer t;
    t.start();
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done() || t.elapsed() > ms) loop.quit();
    });
    check.start(5);
    if (!done()) loop.exec();
    return done();
}

void runFor(int ms) {
    runUntil([] { return false; }, ms);
}
}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("DISPLAY") ||
        qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) {
        std::fprintf(stderr,
                     "a11y_bench needs a display and a session bus of its own: "
                     "run it under xvfb-run -a dbus-run-session --\n");
        return 77;
    }
    qputenv("QT_QPA_PLATFORM", "xcb");
    qputenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1");
    // The bridge looks for the accessibility bus once, at start: have it running.
    if (QProcess::execute(QStringLiteral("dbus-send"),
                          {QStringLiteral("--session"), QStringLiteral("--print-reply"),
                           QStringLiteral("--dest=org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                           QStringLiteral("org.a11y.Bus.GetAddress")}) != 0) {
        std::fprintf(stderr, "the accessibility bus (at-spi2-core) did not start\n");
        return 1;
    }
    QApplication app(argc, argv);
    if (!NetnsEnv::isolated()) {
        std::fprintf(stderr, "run me through tests/netns/netns-run: %s\n",
                     qPrintable(NetnsEnv::whyNotIsolated()));
        return 77;
    }
    const int gateways = argc > 1 ? QString::fromLatin1(argv[1]).toInt() : 2000;
    const int seconds = argc > 2 ? QString::fromLatin1(argv[2]).toInt() : 5;

    FakeServices fake;
    TFormDetect form(fake.services);
    form.show();
    // The operator's screen reader is in the device list.
    form.activateWindow();
    form.RGrid->setFocus();

    QProcess probe;
    probe.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    probe.start(QStringLiteral("/usr/bin/python3"),
                {QStringLiteral(VARNEX_SOURCE_DIR "/bench/a11y_probe.py"),
                 QString::number(QCoreApplication::applicationPid())});
    if (!runUntil([&] { return probe.canReadLine(); }, 20000) ||
        !probe.readLine().startsWith("ready")) {
        std::fprintf(stderr, "the probe found no accessible application\n");
        return 1;
    }
    probe.write("phase idle\n");
    runFor(1000);

    // The UI event loop's longest gap, as discovery_bench measures it.
    QElapsedTimer sinceTick;
    qint64 longestStall = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(1);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        longestStall = qMax(longestStall, sinceTick.elapsed());
        sinceTick.start();
    });

    probe.write("phase flood\n");
    QElapsedTimer flooding;
    flooding.start();
    sinceTick.start();
    ticker.start();
    form.FlatButton2->click();
    auto flood =
        NetnsEnv::startInGatewayNamespace(QStringLiteral(VARNEX_BUILD_DIR "/tests/flood_sender"),
                                          {QString::number(seconds), QString::number(gateways)});
    runUntil([&] { return flood->state() == QProcess::NotRunning; }, (seconds + 10) * 1000);
    const qint64 floodMs = flooding.elapsed();
    const QByteArray sent = flood->readAllStandardOutput().trimmed();
    runUntil([&] { return form.DeviceCount >= gateways; }, 3000);
    const qint64 allListedMs = flooding.elapsed();
    ticker.stop();
    form.FlatButton6->click();

    // A reader behind on its events catches up here, or shows that it cannot.
    probe.write("phase listed\n");
    runFor(3000);
    probe.write("quit\n");
    runUntil([&] { return probe.state() == QProcess::NotRunning; }, 120000);

    std::printf("gateways flooding            %d for %d s (%s, %lld ms)\n", gateways, seconds,
                sent.constData(), static_cast<long long>(floodMs));
    std::printf("rows listed                  %d (%lld ms after Search)\n", form.DeviceCount,
                static_cast<long long>(allListedMs));
    std::printf("longest UI event-loop stall  %lld ms\n", static_cast<long long>(longestStall));
    std::printf("accessibility answers (ms), each phase:\n%s",
                probe.readAllStandardOutput().constData());
    return 0;
}
