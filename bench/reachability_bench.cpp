// How long judging the device list's reachability holds the UI thread when a
// Search of many gateways ends: the rules alone over the system's routes, and
// the window's whole judgement (reading the rows, marking, counting). Run in
// the harness (netns-run --topology two-links), offscreen.
#include "discovery/DiscoveryReply.h"
#include "mainwindow/TFormDetect.h"
#include "net/Reachability.h"
#include "support/FakeSeams.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>

#include <algorithm>
#include <cstdio>

namespace {
// Every other gateway on the plant network, the rest outside every network.
DiscoveryReply gateway(int i) {
    DiscoveryReply r;
    r.Model = QStringLiteral("VX-G200");
    r.Mac = QStringLiteral("00-1A-2B-%1-%2-%3")
                .arg((i >> 16) & 0xFF, 2, 16, QLatin1Char('0'))
                .arg((i >> 8) & 0xFF, 2, 16, QLatin1Char('0'))
                .arg(i & 0xFF, 2, 16, QLatin1Char('0'))
                .toUpper();
    r.IpAddress = AddressText((i % 2 ? 0xCB000000u : 0xC6130000u) + 10 + i);  // 203.x / 198.19.x
    r.SubnetMask = QStringLiteral("255.255.0.0");
    r.Gateway = QStringLiteral("198.19.0.1");
    r.ViewIp = QStringLiteral("0.0.0.0");
    return r;
}

double median(QVector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}
}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    for (int count : {2000, 20000}) {
        QVector<DiscoveryReply> replies;
        QVector<ReachGateway> listed;
        for (int i = 0; i < count; ++i) {
            replies << gateway(i);
            listed << ReachGateway{replies.last().Mac, replies.last().IpAddress,
                                   replies.last().SubnetMask, QString(), 0};
        }
        QVector<double> rules, window;
        int marked = 0;
        for (int run = 0; run < 5; ++run) {
            SystemRouteTable routes;
            QElapsedTimer t;
            t.start();
            JudgeReachability(listed, routes);
            rules << t.nsecsElapsed() / 1e6;

            FakeServices fake;
            fake.services.routes = nullptr;
            TFormDetect form(fake.services);
            form.AddDevices(replies);
            t.restart();
            form.JudgeReachability();
            window << t.nsecsElapsed() / 1e6;
            marked = form.lblreach->text().section(QLatin1Char(' '), 0, 0).toInt();
        }
        std::printf(
            "%d gateways (%d marked): rules median %.1f ms, window median %.1f ms "
            "(max %.1f)\n",
            count, marked, median(rules), median(window),
            *std::max_element(window.begin(), window.end()));
    }
    return 0;
}
