#pragma once

#include "ReplyQueue.h"

#include <QByteArray>
#include <QString>

#include <optional>

// The simulator's one UDP socket: bound without address reuse (like a gateway,
// it owns its port), broadcast allowed, and told each datagram's destination
// address so that a unicast request reaches only the gateway holding it.
class SimSocket {
public:
    SimSocket() = default;
    SimSocket(const SimSocket&) = delete;
    SimSocket& operator=(const SimSocket&) = delete;
    ~SimSocket();

    // False, with the reason, when the socket cannot be made or bound.
    bool open(const QString& address, quint16 port, QString& error);
    int fd() const { return fd_; }
    quint16 boundPort() const;

    struct Received {
        QByteArray data;
        quint32 sender = 0;  // host order
        quint16 senderPort = 0;
        std::optional<quint32> destination;  // host order, when the system told it
    };
    // The next waiting datagram, or none when nothing waits.
    std::optional<Received> receive();
    // False, with the reason, when the system refuses the send.
    bool send(const Outgoing& datagram, QString& error);

private:
    int fd_ = -1;
    QByteArray buffer_;  // one datagram of any size
};

// Dotted text of a host-order address.
QString AddressText(quint32 hostOrder);
