// How many of 200 gateways one Search lists when replies are lost on the way,
// with the request repeated (as the program does) and without. The simulator
// drops each reply with the given chance; each figure is over several seeds.
// Run: tests/netns/netns-run build/bench/search_loss_bench
#include "engine/GatewayEngine.h"
#include "link/Clock.h"
#include "support/NetnsEnv.h"

#include <QCoreApplication>
#include <QProcess>

#include <algorithm>
#include <cstdio>
#include <vector>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (!NetnsEnv::isolated()) {
        std::fprintf(stderr, "run me through tests/netns/netns-run: %s\n",
                     qPrintable(NetnsEnv::whyNotIsolated()));
        return 77;
    }
    const int gateways = 200;
    const int seeds = 3;
    std::printf(
        "%d gateways, 3 s Search, %d seeds each: listed without repeats / with repeats "
        "(min-max)\n",
        gateways, seeds);
    for (int loss : {5, 20, 50}) {
        std::vector<int> once, repeated;
        for (int seed = 1; seed <= seeds; ++seed) {
            auto sim = NetnsEnv::startSimulator(
                {QStringLiteral("--count"), QString::number(gateways), QStringLiteral("--quiet"),
                 QStringLiteral("--seed"), QString::number(seed), QStringLiteral("--fault"),
                 QStringLiteral("loss=%1").arg(loss)});
            SystemClock clock;
            GatewayEngine engine(clock);
            engine.Hold();
            once.push_back(engine.Discover(3000, {}, false).size());
            repeated.push_back(engine.Discover(3000, {}, true).size());
            sim->write("quit\n");
            sim->waitForFinished(3000);
        }
        const auto span = [](const std::vector<int>& v) {
            return QStringLiteral("%1-%2")
                .arg(*std::min_element(v.begin(), v.end()))
                .arg(*std::max_element(v.begin(), v.end()));
        };
        std::printf("loss %2d %%: %s without repeats, %s with repeats\n", loss,
                    qPrintable(span(once)), qPrintable(span(repeated)));
    }
    return 0;
}
