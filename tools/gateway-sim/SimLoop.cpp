#include "SimLoop.h"

#include "SimConsole.h"
#include "Simulator.h"

#include <poll.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>

namespace {
using SteadyClock = std::chrono::steady_clock;

constexpr quint32 kBroadcast = 0xFFFFFFFFu;
// Datagrams taken per wake-up, so that stdin and due replies are not starved
// by a flood.
constexpr int kReceiveBatch = 256;

QString letterText(const QByteArray& datagram) {
    if (datagram.size() < 2) return QStringLiteral("-");
    const auto c = static_cast<unsigned char>(datagram.at(1));
    return c > 0x20 && c < 0x7F ? QStringLiteral("'%1'").arg(QLatin1Char(static_cast<char>(c)))
                                : QStringLiteral("0x%1").arg(c, 2, 16, QLatin1Char('0'));
}

// Replies from gateways (ours echoed back by the broadcast, or others') are
// not worth a log line each.
bool isReply(const QByteArray& datagram) {
    return datagram.size() > 3 && datagram.at(1) >= 'a' && datagram.at(1) <= 'z';
}

void writeAll(int fd, const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n =
            ::write(fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;  // the reader went away; nothing more to say to it
        done += n;
    }
}
}  // namespace

SimLoop::SimLoop(Simulator& sim, SimSocket& socket, int signalFd)
    : sim_(sim),
      socket_(socket),
      signalFd_(signalFd),
      quiet_(sim.options().quiet),
      port_(socket.boundPort()) {}

int SimLoop::run() {
    while (!quit_) {
        pollfd fds[3] = {
            {socket_.fd(), POLLIN, 0}, {signalFd_, POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
        const nfds_t count = stdinOpen_ ? 3 : 2;
        const int ready = ::poll(fds, count, pollTimeoutMs());
        if (ready < 0 && errno != EINTR) {
            log(QStringLiteral("poll failed"));
            return 1;
        }
        if (ready > 0) {
            if (fds[1].revents != 0) break;  // SIGINT or SIGTERM: leave cleanly
            if (fds[0].revents != 0) receiveWaiting();
            if (stdinOpen_ && fds[2].revents != 0) readStdin();
        }
        for (const Outgoing& datagram : queue_.takeDue(SteadyClock::now())) send(datagram);
    }
    return 0;
}

int SimLoop::pollTimeoutMs() const {
    if (queue_.empty()) return -1;
    const auto wait = queue_.nextDue() - SteadyClock::now();
    if (wait <= SteadyClock::duration::zero()) return 0;
    // Rounded up, so that the wake-up never comes before the reply is due.
    return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(wait).count());
}

void SimLoop::receiveWaiting() {
    for (int i = 0; i < kReceiveBatch; ++i) {
        const auto request = socket_.receive();
        if (!request) return;
        const QString sender = AddressText(request->sender);
        const QString destination =
            request->destination ? AddressText(*request->destination) : QString();
        const SimReplies replies =
            sim_.handle(request->data, sender, request->senderPort, destination);
        if (!isReply(request->data)) {
            log(QStringLiteral("%1 %2 bytes from %3:%4 to %5, replies: %6")
                    .arg(letterText(request->data))
                    .arg(request->data.size())
                    .arg(sender)
                    .arg(request->senderPort)
                    .arg(destination.isEmpty() ? QStringLiteral("?") : destination)
                    .arg(replies.size()));
        }
        answer(*request, replies);
    }
}

void SimLoop::answer(const SimSocket::Received& request, const SimReplies& replies) {
    const auto now = SteadyClock::now();
    for (const SimReply& reply : replies) {
        Outgoing datagram;
        datagram.data = reply.data;
        datagram.address = reply.toSender ? request.sender : kBroadcast;
        datagram.port = reply.toSender ? request.senderPort : port_;
        if (reply.delayMs <= 0) {
            send(datagram);
        } else {
            queue_.push(now + std::chrono::milliseconds(reply.delayMs), std::move(datagram));
        }
    }
}

void SimLoop::send(const Outgoing& datagram) {
    QString error;
    if (!socket_.send(datagram, error)) {
        log(QStringLiteral("cannot send %1 to %2:%3: %4")
                .arg(letterText(datagram.data), AddressText(datagram.address))
                .arg(datagram.port)
                .arg(error));
        return;
    }
    log(QStringLiteral("sent %1 %2 bytes to %3:%4")
            .arg(letterText(datagram.data))
            .arg(datagram.data.size())
            .arg(AddressText(datagram.address))
            .arg(datagram.port));
}

void SimLoop::readStdin() {
    char chunk[4096];
    const ssize_t n = ::read(STDIN_FILENO, chunk, sizeof chunk);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) return;
    if (n <= 0) {
        // End of input does not end the simulator: it may run in the background.
        stdinOpen_ = false;
        runCommands(true);
        return;
    }
    stdinBuffer_.append(chunk, static_cast<int>(n));
    runCommands(false);
}

void SimLoop::runCommands(bool atEnd) {
    for (;;) {
        int end = stdinBuffer_.indexOf('\n');
        if (end < 0 && atEnd && !stdinBuffer_.isEmpty()) end = stdinBuffer_.size();
        if (end < 0 || quit_) return;
        const QString line = QString::fromUtf8(stdinBuffer_.left(end));
        stdinBuffer_.remove(0, end + 1);
        const ConsoleOutcome outcome = RunConsoleCommand(sim_, line);
        writeAll(STDOUT_FILENO, outcome.out);
        if (!quiet_) writeAll(STDERR_FILENO, outcome.err);
        quit_ = outcome.quit;
    }
}

void SimLoop::log(const QString& line) const {
    if (quiet_) return;
    writeAll(STDERR_FILENO, QStringLiteral("gateway-sim: %1\n").arg(line).toUtf8());
}
