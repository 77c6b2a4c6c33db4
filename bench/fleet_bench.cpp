// The fleet window upgrading 32 simulated gateways at once: how long the UI
// thread's event loop goes without turning (a 1 ms timer's gaps) while the
// batch runs, as the 99th percentile and the worst, with the UI thread's own
// CPU time in the worst gap (a gap without it is a wait for a core). Run
// inside the project's namespaces:
//   tests/netns/netns-run build/bench/fleet_bench [gateways] [image KiB] [reply delay ms]
#include "engine/GatewayEngine.h"
#include "fleet/TFormFleet.h"
#include "mainwindow/TFormDetect.h"
#include "support/FakeSeams.h"
#include "support/NetnsEnv.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
qint64 threadCpuUs() {
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    const auto us = [](const timeval& t) {
        return static_cast<qint64>(t.tv_sec) * 1000000 + t.tv_usec;
    };
    return us(usage.ru_utime) + us(usage.ru_stime);
}

double percentile(std::vector<qint64> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const size_t i = std::min(v.size() - 1, static_cast<size_t>(p * (v.size() - 1) + 0.5));
    return v[i] / 1000.0;
}
}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (!NetnsEnv::isolated()) {
        std::fprintf(stderr, "run me through tests/netns/netns-run: %s\n",
                     qPrintable(NetnsEnv::whyNotIsolated()));
        return 77;
    }
    const int gateways = argc > 1 ? QString::fromLatin1(argv[1]).toInt() : 32;
    const int imageKiB = argc > 2 ? QString::fromLatin1(argv[2]).toInt() : 64;
    const int delayMs = argc > 3 ? QString::fromLatin1(argv[3]).toInt() : 2;
    QStringList simArgs{"--count", QString::number(gateways), "--quiet", "--reply-to", "sender"};
    if (delayMs > 0) simArgs << "--fault" << QStringLiteral("delay=%1").arg(delayMs);
    auto sim = NetnsEnv::startSimulator(simArgs);

    QTemporaryDir dir;
    const QString image = dir.filePath("image.bin");
    {
        QFile f(image);
        f.open(QIODevice::WriteOnly);
        f.write(QByteArray(imageKiB * 1024, '\x5a'));
    }

    FakeServices fake;
    TFormDetect form(fake.services);
    form.show();
    fake.engine.Hold();
    const QList<DiscoveryReply> found = fake.engine.Discover(3000);
    fake.engine.Release();
    form.AddDevices(QVector<DiscoveryReply>(found.begin(), found.end()));
    form.FleetButton->click();
    TFormFleet& fleet = *form.FleetForm;
    fleet.AtOnce->setValue(qMin(32, gateways));
    fake.prompts.fileAnswers.enqueue(image);

    std::vector<qint64> gapsUs;
    qint64 worstCpuUs = 0;
    qint64 worstGapUs = 0;
    qint64 cpuAtTick = threadCpuUs();
    qint64 upgradesEndedMs = -1;
    QElapsedTimer sinceStart;
    QElapsedTimer sinceTick;
    QEventLoop loop;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(1);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 gap = sinceTick.nsecsElapsed() / 1000;
        sinceTick.start();
        const qint64 cpuNow = threadCpuUs();
        if (gap > worstGapUs) {
            worstGapUs = gap;
            worstCpuUs = cpuNow - cpuAtTick;
        }
        cpuAtTick = cpuNow;
        gapsUs.push_back(gap);
        if (upgradesEndedMs < 0 && fleet.Summary->text().contains("searching again")) {
            upgradesEndedMs = sinceStart.elapsed();
        }
        if (!fleet.BatchRunning()) loop.quit();
    });
    sinceStart.start();
    sinceTick.start();
    fleet.UpgradeButton->click();
    ticker.start();
    loop.exec();
    ticker.stop();
    const qint64 totalMs = sinceStart.elapsed();

    std::printf("gateways upgraded at once     %d of %d listed, %d KiB image, replies %d ms late\n",
                fleet.AtOnce->value(), static_cast<int>(found.size()), imageKiB, delayMs);
    std::printf("result                        %s\n", qPrintable(fleet.Summary->text()));
    std::printf("upgrades                      %lld ms; with the Search after %lld ms\n",
                static_cast<long long>(upgradesEndedMs), static_cast<long long>(totalMs));
    std::printf(
        "UI event-loop gaps (1 ms timer, %zu ticks): median %.1f ms, p99 %.1f ms, "
        "worst %.1f ms (UI thread busy %.1f ms of it)\n",
        gapsUs.size(), percentile(gapsUs, 0.5), percentile(gapsUs, 0.99), worstGapUs / 1000.0,
        worstCpuUs / 1000.0);
    sim->write("quit\n");
    sim->waitForFinished(3000);
    return 0;
}
