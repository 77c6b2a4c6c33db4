#include "Simulator.h"

#include "SimAddress.h"
#include "SimDiscovery.h"
#include "SimSetNetwork.h"

#include "link/DeviceDatagram.h"

#include <QHostAddress>
#include <QJsonArray>

#include <exception>

Simulator::Simulator(const SimOptions& options)
    : options_(options),
      seed_(options.seed ? *options.seed : std::random_device{}()),
      random_(seed_) {
    gateways_.reserve(static_cast<size_t>(options_.count));
    for (int i = 0; i < options_.count; ++i) {
        SimGateway gw = MakeGateway(options_, i);
        InitConfig(gw, i, options_);
        byMac_.insert(gw.mac, i);
        gateways_.push_back(std::move(gw));
    }
}

SimReplies Simulator::handle(const QByteArray& datagram, const QString& senderIp,
                             quint16 senderPort, const QString& destinationIp) {
    senderIp_ = senderIp;
    senderPort_ = senderPort;
    destination_.reset();
    bool ok = false;
    const quint32 destination = QHostAddress(destinationIp).toIPv4Address(&ok);
    if (ok && destination != 0xFFFFFFFFu) destination_ = destination;

    SimReplies out;
    try {
        dispatch(datagram, out);
    } catch (const std::exception&) {
        // A request a gateway cannot parse is dropped, as on the device.
        return SimReplies();
    }
    applyFaults(out);
    return out;
}

void Simulator::dispatch(const QByteArray& datagram, SimReplies& out) {
    if (IsDiscoveryRequest(datagram)) {
        HandleDiscovery(*this, out);
        return;
    }
    // Lower-case letters are replies (ours echoed back, or other gateways'):
    // no gateway acts on them.
    const auto letter = ReplyLetter(datagram);
    if (!letter) return;
    switch (*letter) {
        case 'S':
            HandleSetNetwork(*this, datagram);
            break;
        case 'N':
        case 'O':
        case 'U':
        case 'A':
            HandleConfig(*this, *letter, datagram, out);
            break;
        case 'F':
            HandleFirmware(*this, datagram, out);
            break;
        default:
            break;
    }
}

void Simulator::applyFaults(SimReplies& replies) {
    const int delay = faults().intValue(QStringLiteral("delay"), 0);
    const int jitter = faults().intValue(QStringLiteral("jitter"), 0);
    const int loss = faults().intValue(QStringLiteral("loss"), 0);
    const int copies = faults().has(QStringLiteral("repeat"))
                           ? faults().intValue(QStringLiteral("repeat"), 1)
                       : faults().has(QStringLiteral("duplicate")) ? 2
                                                                   : 1;

    SimReplies sent;
    sent.reserve(replies.size() * static_cast<size_t>(copies));
    for (SimReply reply : replies) {
        reply.delayMs += delay;
        if (jitter > 0) reply.delayMs += random(jitter + 1);
        reply.toSender = reply.toSender || options_.replyToSender;
        // Each copy is lost on its own, as on a real network.
        for (int i = 0; i < copies; ++i) {
            if (loss > 0 && random(100) < loss) continue;
            sent.push_back(reply);
        }
    }
    replies.swap(sent);
}

SimGateway* Simulator::findByMac(const QByteArray& mac) {
    const auto it = byMac_.constFind(mac);
    return it == byMac_.constEnd() ? nullptr : &gateways_[static_cast<size_t>(*it)];
}

bool Simulator::addressedTo(const SimGateway& gw) const {
    if (!destination_) return true;
    const auto ip = static_cast<quint32>(BigEndianValue(gw.ip));
    const auto mask = static_cast<quint32>(BigEndianValue(gw.mask));
    if (*destination_ == ip) return true;
    return mask != 0xFFFFFFFFu && *destination_ == (ip | ~mask);
}

int Simulator::random(int bound) {
    if (bound <= 1) return 0;
    return std::uniform_int_distribution<int>(0, bound - 1)(random_);
}

QJsonObject Simulator::toJson() const {
    QJsonArray gateways;
    for (const SimGateway& gw : gateways_) gateways.append(GatewayToJson(gw));
    QJsonObject faults;
    for (auto it = options_.faults.all().constBegin(); it != options_.faults.all().constEnd();
         ++it) {
        faults.insert(it.key(), it.value());
    }
    return QJsonObject{{QStringLiteral("gateways"), gateways}, {QStringLiteral("faults"), faults}};
}
