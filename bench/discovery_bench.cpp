// 2,000 simulated gateways answer one "Search" in a burst. Measures how many are
// listed, whether in the order their replies arrived, how long listing takes,
// and the longest stall of the UI event loop meanwhile (a 1 ms timer's gaps).
// Run inside the project's namespaces:
//   tests/netns/netns-run build/bench/discovery_bench [gateways]
#include "engine/GatewayEngine.h"
#include "link/DeviceDatagram.h"
#include "mainwindow/TFormDetect.h"
#include "support/FakeSeams.h"
#include "support/NetnsEnv.h"
#include "widgets/TRealGrid.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QSet>
#include <QTimer>

#include <sys/resource.h>
#include <cstdio>
#include <mutex>

namespace {
// CPU time of the calling thread, to tell work from waiting for a core.
qint64 threadCpuMs() {
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    const auto ms = [](const timeval& t) {
        return static_cast<qint64>(t.tv_sec) * 1000 + t.tv_usec / 1000;
    };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
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
    const int gateways = argc > 1 ? QString::fromLatin1(argv[1]).toInt() : 2000;
    auto sim = NetnsEnv::startSimulator(
        {QStringLiteral("--count"), QString::number(gateways), QStringLiteral("--quiet")});

    FakeServices fake;
    TFormDetect form(fake.services);
    if (!qEnvironmentVariableIsSet("VARNEX_BENCH_HIDDEN")) form.show();

    // The MACs in the order the receiving thread got them, to compare with the list.
    std::mutex arrivedMutex;
    QStringList arrived;
    form.UDPServer->SetOnRead([&](const QByteArray& datagram, int interfaceIndex) {
        if (datagram.size() >= 8 && datagram.at(1) == 'g') {
            std::lock_guard<std::mutex> lock(arrivedMutex);
            arrived << QString::fromLatin1(datagram.mid(2, 6).toHex('-').toUpper());
        }
        form.UDPServerUDPRead(datagram, interfaceIndex);
    });

    QElapsedTimer sinceSearch;
    QElapsedTimer sinceTick;
    qint64 longestStall = 0;
    qint64 longestStallCpu = 0;  // UI thread's own CPU time during that stall
    qint64 mostCpuInOneGap = 0;
    qint64 cpuAtTick = threadCpuMs();
    qint64 allListedAt = -1;
    QEventLoop loop;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(1);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 gap = sinceTick.elapsed();
        const qint64 cpuNow = threadCpuMs();
        const qint64 cpu = cpuNow - cpuAtTick;
        cpuAtTick = cpuNow;
        mostCpuInOneGap = qMax(mostCpuInOneGap, cpu);
        if (gap > longestStall) longestStallCpu = cpu;
        if (gap > 20 && qEnvironmentVariableIsSet("VARNEX_BENCH_VERBOSE")) {
            std::printf("  stall %lld ms (%lld ms of CPU) ending at %lld ms, %d rows\n",
                        static_cast<long long>(gap), static_cast<long long>(cpu),
                        static_cast<long long>(sinceSearch.elapsed()), form.DeviceCount);
        }
        longestStall = qMax(longestStall, gap);
        sinceTick.start();
        if (allListedAt < 0 && form.DeviceCount == gateways) allListedAt = sinceSearch.elapsed();
        // Done when every gateway is listed (plus a moment for stragglers), or
        // when the countdown has closed the window.
        if ((allListedAt >= 0 && sinceSearch.elapsed() > allListedAt + 200) ||
            form.PnlTime->isHidden()) {
            loop.quit();
        }
    });

    sinceSearch.start();
    sinceTick.start();
    ticker.start();
    form.FlatButton2->click();
    loop.exec();
    ticker.stop();
    form.FlatButton6->click();

    QStringList listed;
    for (int row = 0; row < form.RGrid->RowCount(); ++row) {
        listed << form.RGrid->Cells(1, row).GetCellText();
    }
    QStringList firstArrivals;
    {
        std::lock_guard<std::mutex> lock(arrivedMutex);
        QSet<QString> seen;
        for (const QString& mac : arrived) {
            if (!seen.contains(mac)) firstArrivals << mac;
            seen.insert(mac);
        }
    }
    std::printf("gateways answering           %d\n", gateways);
    std::printf("replies received             %lld\n", static_cast<long long>(arrived.size()));
    std::printf("rows listed                  %d\n", form.DeviceCount);
    std::printf("listed in arrival order      %s\n", listed == firstArrivals ? "yes" : "NO");
    std::printf("all listed after             %lld ms\n", static_cast<long long>(allListedAt));
    std::printf("longest UI event-loop stall  %lld ms (UI thread busy %lld ms of it)\n",
                static_cast<long long>(longestStall), static_cast<long long>(longestStallCpu));
    std::printf("most UI CPU between ticks    %lld ms\n", static_cast<long long>(mostCpuInOneGap));
    sim->write("quit\n");
    sim->waitForFinished(3000);
    return 0;
}
