#pragma once

#include "SimGateway.h"
#include "SimOptions.h"
#include "SimReply.h"

#include <QByteArray>
#include <QHash>
#include <QJsonObject>
#include <QString>

#include <optional>
#include <random>
#include <vector>

// Any number of gateways answering datagrams, without sockets: the caller hands
// in what arrived and sends what comes back. Single-threaded.
class Simulator {
public:
    explicit Simulator(const SimOptions& options);

    // What the gateways do with one received datagram. `destinationIp` is the
    // address the datagram was sent to; empty means a broadcast. Anything the
    // gateways would not take (their own replies echoed back, other gateways'
    // replies, short or malformed requests) gives no reply and changes nothing.
    SimReplies handle(const QByteArray& datagram, const QString& senderIp, quint16 senderPort,
                      const QString& destinationIp = QString());

    const SimOptions& options() const { return options_; }
    SimFaults& faults() { return options_.faults; }
    const SimFaults& faults() const { return options_.faults; }

    // The gateways, in MAC order. Modules change their members but never add or
    // remove gateways (the MAC index would go stale).
    std::vector<SimGateway>& gateways() { return gateways_; }
    const std::vector<SimGateway>& gateways() const { return gateways_; }

    // The gateway holding these 6 MAC bytes, or nullptr.
    SimGateway* findByMac(const QByteArray& mac);

    // Whether the datagram being handled reaches this gateway: a limited
    // broadcast, the gateway's own address, or its subnet's broadcast address.
    bool addressedTo(const SimGateway& gw) const;

    // The source of the datagram being handled.
    const QString& senderIp() const { return senderIp_; }
    quint16 senderPort() const { return senderPort_; }

    // The seed of the random faults, to repeat a run with --seed.
    quint32 seed() const { return seed_; }
    // A random number from 0 to bound - 1, from the seeded generator.
    int random(int bound);

    // Every gateway's state, as the "dump" command prints it.
    QJsonObject toJson() const;

private:
    void dispatch(const QByteArray& datagram, SimReplies& out);
    void applyFaults(SimReplies& replies);

    SimOptions options_;
    std::vector<SimGateway> gateways_;
    QHash<QByteArray, int> byMac_;
    quint32 seed_ = 0;
    std::mt19937 random_;
    QString senderIp_;
    quint16 senderPort_ = 0;
    std::optional<quint32> destination_;  // none: a broadcast
};
