// Measures the endpoint's deactivation time and the latency from a reply's
// arrival to the code that waits for it resuming.
// Run inside the project's namespaces: tests/netns/netns-run build/bench/link_bench
#include "engine/GatewayEngine.h"
#include "link/Clock.h"
#include "link/Codecs.h"
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

double micros(Clk::duration d) {
    return std::chrono::duration<double, std::micro>(d).count();
}

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

    // Reply to resume: a peer sends a configuration reply; the engine's
    // receiving thread queues it for the waiting exchange, which sleeps on the
    // engine's one condition and resumes.
    SystemClock clock;
    GatewayEngine engine(clock);
    engine.Hold();
    const QString mac = QStringLiteral("00-1A-2B-00-00-01");
    auto claim = engine.Begin(mac, QStringLiteral("bench"));
    engine.CollectConfigReplies(mac, true);
    UdpEndpoint peer;
    peer.AddBinding(QStringLiteral("0.0.0.0"), 2059);
    peer.SetActive(true);
    const QByteArray reply = QByteArray("\x02n", 2) + EncodeMac(mac) + QByteArray("\x03", 1);
    std::vector<double> fromSend;
    for (int i = 0; i < rounds; ++i) {
        const auto t0 = Clk::now();
        peer.SendToHost(QStringLiteral("198.18.0.1"), 2058, reply);
        const auto got = engine.NextConfigReply(mac, QDeadlineTimer(3000));
        const auto t1 = Clk::now();
        if (got) fromSend.push_back(micros(t1 - t0));
    }
    report("send -> arrival -> waiting code resumes", fromSend);

    // CPU while a wait has nothing to wake it (2 s).
    const auto cpu0 = std::clock();
    engine.NextConfigReply(mac, QDeadlineTimer(2000));
    const double cpuMs = 1000.0 * double(std::clock() - cpu0) / CLOCKS_PER_SEC;
    std::printf("%-44s %.1f ms CPU over 2 s (%.2f %% of a core)\n", "idle wait", cpuMs,
                cpuMs / 20.0);
    return 0;
}
