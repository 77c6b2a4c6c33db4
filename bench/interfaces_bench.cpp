// From "Search" being pressed to the discovery request leaving through each of
// the PC's interfaces. The far side of every link listens with kernel receive
// timestamps, so what is measured is the program's own work plus the kernel's
// hand-over, not the listener's wake-up.
// Run inside the project's namespaces, with the links to measure:
//   tests/netns/netns-run --topology plant-only build/bench/interfaces_bench
//   tests/netns/netns-run --topology links=4 build/bench/interfaces_bench
#include "mainwindow/TFormDetect.h"
#include "support/FakeSeams.h"
#include "support/NetnsEnv.h"

#include <QApplication>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <vector>

#include <fcntl.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thread>

namespace {
qint64 nowNs() {
    timespec t{};
    clock_gettime(CLOCK_REALTIME, &t);
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}

// A listener on port 2058 in `netns` whose datagrams carry the kernel's arrival time.
int timestampedListener(const QString& netns) {
    int fd = -1;
    std::thread([&] {
        const int nsFd =
            ::open(("/run/netns/" + netns.toStdString()).c_str(), O_RDONLY | O_CLOEXEC);
        if (nsFd < 0 || ::setns(nsFd, CLONE_NEWNET) != 0) return;
        ::close(nsFd);
        fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        const int on = 1;
        ::setsockopt(fd, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_port = htons(2058);
        if (::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) fd = -1;
    }).join();
    return fd;
}

// The arrival time of the next datagram, waiting up to a second.
qint64 arrivalNs(int fd) {
    timeval limit{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    char data[64];
    iovec iov{data, sizeof data};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(timespec))];
    msghdr msg{};
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    msg.msg_control = control;
    msg.msg_controllen = sizeof control;
    if (::recvmsg(fd, &msg, 0) < 0) return -1;
    for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
        if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_TIMESTAMPNS) {
            timespec t{};
            std::memcpy(&t, CMSG_DATA(c), sizeof t);
            return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
        }
    }
    return -1;
}

void report(const char* what, std::vector<double> v) {
    std::sort(v.begin(), v.end());
    std::printf("%-52s median %7.1f us   p95 %7.1f us   max %7.1f us   (n=%zu)\n", what,
                v[v.size() / 2], v[v.size() * 95 / 100], v.back(), v.size());
}
}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (!NetnsEnv::isolated()) {
        std::fprintf(stderr, "run me through tests/netns/netns-run --topology ...\n");
        return 77;
    }
    const QStringList far =
        QStringList{qEnvironmentVariable("VARNEX_NETNS_B")} + NetnsEnv::officeNamespaces();
    std::vector<int> listeners;
    for (const QString& ns : far) listeners.push_back(timestampedListener(ns));
    if (std::count(listeners.begin(), listeners.end(), -1) > 0) {
        std::fprintf(stderr, "cannot listen on the far side of every link\n");
        return 1;
    }

    FakeServices fake;
    TFormDetect form(fake.services);
    const int rounds = 200;
    std::vector<std::vector<double>> perLink(listeners.size());
    std::vector<double> last;
    for (int round = 0; round < rounds; ++round) {
        const qint64 pressed = nowNs();
        form.FlatButton2Click();
        double latest = 0;
        for (size_t i = 0; i < listeners.size(); ++i) {
            const double us = (arrivalNs(listeners[i]) - pressed) / 1000.0;
            perLink[i].push_back(us);
            latest = std::max(latest, us);
        }
        last.push_back(latest);
        form.FlatButton6Click();
        QCoreApplication::processEvents();
    }
    std::printf("%d interface(s), %d Searches\n", int(listeners.size()), rounds);
    for (size_t i = 0; i < listeners.size(); ++i) {
        const QString what = QStringLiteral("Search -> request out of link %1 (%2)")
                                 .arg(i + 1)
                                 .arg(i == 0 ? QStringLiteral("plant") : QStringLiteral("office"));
        report(qPrintable(what), perLink[i]);
    }
    report("Search -> request out of every link", last);
    if (!fake.prompts.errors.isEmpty())
        std::printf("errors: %s\n", qPrintable(fake.prompts.errors.join("; ")));
    return 0;
}
