#pragma once

#include "ReplyQueue.h"
#include "SimReply.h"
#include "SimSocket.h"

#include <QByteArray>

class Simulator;

// The simulator's single thread: waits with poll() on the socket, stdin and
// the exit signals, and sends held-back replies when they fall due.
class SimLoop {
public:
    SimLoop(Simulator& sim, SimSocket& socket, int signalFd);
    // Runs until "quit" or SIGINT/SIGTERM; gives the exit code.
    int run();

private:
    int pollTimeoutMs() const;
    void receiveWaiting();
    void answer(const SimSocket::Received& request, const SimReplies& replies);
    void send(const Outgoing& datagram);
    void readStdin();
    void runCommands(bool atEnd);
    void log(const QString& line) const;

    Simulator& sim_;
    SimSocket& socket_;
    int signalFd_;
    bool quiet_;
    quint16 port_;
    ReplyQueue queue_;
    QByteArray stdinBuffer_;
    bool stdinOpen_ = true;
    bool quit_ = false;
};
