// gateway-sim: plays Varnex gateways on UDP so that the program can be tried
// and tested without hardware. See SimOptions.cpp for the command line.

#include "SimLoop.h"
#include "SimOptions.h"
#include "SimSocket.h"
#include "Simulator.h"

#include <QCoreApplication>

#include <sys/signalfd.h>
#include <unistd.h>
#include <csignal>
#include <cstdio>

namespace {
// SIGINT and SIGTERM are taken through a descriptor that poll() watches, so
// that the loop ends between two datagrams, never in the middle of one.
int exitSignalsFd() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    if (sigprocmask(SIG_BLOCK, &set, nullptr) != 0) return -1;
    return signalfd(-1, &set, SFD_CLOEXEC);
}
}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("gateway-sim"));
    const SimOptionsParse parsed = ParseSimOptions(QCoreApplication::arguments());
    if (!parsed.options) {
        std::fputs(parsed.message.toLocal8Bit().constData(),
                   parsed.exitCode == 0 ? stdout : stderr);
        return parsed.exitCode;
    }
    const SimOptions& options = *parsed.options;

    std::signal(SIGPIPE, SIG_IGN);
    const int signalFd = exitSignalsFd();
    if (signalFd < 0) {
        std::perror("gateway-sim: signalfd");
        return 1;
    }

    SimSocket socket;
    QString error;
    if (!socket.open(options.bind, options.port, error)) {
        std::fprintf(stderr, "gateway-sim: cannot listen on %s:%u: %s\n", qPrintable(options.bind),
                     options.port, qPrintable(error));
        return 1;
    }

    Simulator sim(options);
    std::printf("gateway-sim: listening on %s:%u with %d gateways\n", qPrintable(options.bind),
                socket.boundPort(), options.count);
    std::fflush(stdout);
    if (!options.quiet) {
        std::fprintf(stderr, "gateway-sim: random faults seeded with %u\n", sim.seed());
    }

    const int code = SimLoop(sim, socket, signalFd).run();
    ::close(signalFd);
    return code;
}
