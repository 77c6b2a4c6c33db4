// Measures the endpoint's deactivation time and the latency from an
// acknowledgement's arrival to the waiting UI code resuming.
// Run inside the project's namespaces: tests/netns/netns-run build/bench/link_bench
#include "link/Clock.h"
#include "link/ReplySlot.h"
#include "link/UdpEndpoint.h"

#include <QCoreApplication>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {
using Clk = std::chrono::steady_clock;

double micros(Clk::duration d) { return std::chrono::duration<double, std::micro>(d).count(); }

void report(const char* what, std::vector<double> v) {
    std::sort(v.begin(), v.end());
    std::printf("%-44s median %8.1f us   p95 %8.1f us   max %8.1f us   (n=%zu)\n", what,
                v[v.size() / 2], v[v.size() * 95 / 100], v.back(), v.size());
}
}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsEmpty("VARNEX_NETNS_B")) {
        std::fprintf(stderr, "run me through tests/netns/netns-run\n");
        return 77;
    }
    const int rounds = 200;

    // Deactivation of an active, idle endpoint (its thread parked in its wait).
    std::vector<double> deactivate;
    for (int i = 0; i < rounds; ++i) {
        UdpEndpoint ep;
        ep.AddBinding(QStringLiteral("0.0.0.0"), 2058);
        ep.SetActive(true);
        QThread::msleep(2);
        const auto t0 = Clk::now();
        ep.SetActive(false);
        deactivate.push_back(micros(Clk::now() - t0));
    }
    report("deactivation of an idle active endpoint", deactivate);

    // Reply to resume: a peer sends an 'f' datagram; the receiving thread stores it
    // in the slot; the UI thread sleeps in WaitForReply and resumes.
    UdpEndpoint server;
    ReplySlot slot;
    std::atomic<qint64> storedAt{0};
    server.AddBinding(QStringLiteral("0.0.0.0"), 2058);
    server.SetThreadedEvent(true);
    server.SetOnUDPRead([&](UdpEndpoint&, const QByteArray& d, const UdpEndpoint::Binding&) {
        storedAt.store(Clk::now().time_since_epoch().count());
        slot.Store(d);
    });
    server.SetActive(true);
    UdpEndpoint peer;
    peer.AddBinding(QStringLiteral("0.0.0.0"), 2059);
    peer.SetActive(true);
    SystemClock clock;
    std::vector<double> fromStore, fromSend;
    for (int i = 0; i < rounds; ++i) {
        slot.Clear();
        const auto t0 = Clk::now();
        peer.SendToHost(QStringLiteral("198.18.0.1"), 2058, QByteArray("\x02" "f0000\x03", 7));
        const QByteArray reply = WaitForReply(slot, 3, clock);
        const auto t1 = Clk::now();
        if (reply.isEmpty()) continue;
        fromSend.push_back(micros(t1 - t0));
        fromStore.push_back(micros(t1 - Clk::time_point(Clk::duration(storedAt.load()))));
    }
    report("reply stored -> waiting UI code resumes", fromStore);
    report("send -> arrival -> waiting UI code resumes", fromSend);

    // CPU while a wait has nothing to wake it (3 s).
    slot.Clear();
    const auto cpu0 = std::clock();
    WaitForReply(slot, 2, clock);
    const double cpuMs = 1000.0 * double(std::clock() - cpu0) / CLOCKS_PER_SEC;
    std::printf("%-44s %.1f ms CPU over 3 s (%.2f %% of a core)\n", "idle wait (limit 2)", cpuMs,
                cpuMs / 30.0);
    return 0;
}
