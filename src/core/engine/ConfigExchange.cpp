#include "engine/ConfigExchange.h"

#include "engine/GatewayLink.h"
#include "link/Clock.h"
#include "link/VarnexError.h"

#include <QDeadlineTimer>
#include <QMap>
#include <QSet>

namespace {
constexpr int kQueryPauseMs = 10;
constexpr int kSectionPauseMs = 2;
// How long a gateway may take: for its first answer, for the next row once
// rows are coming, and for the answer to an apply request.
constexpr int kFirstAnswerMs = 3000;
constexpr int kNextRowMs = 500;
constexpr int kApplyAnswerMs = 3000;
// Rows are taken before the network reply says how many there are.
constexpr int kAnyRow = 256;
}  // namespace

void SendConfigQueries(const std::function<void(ConfigSection)>& sendQuery, Clock& clock) {
    sendQuery(ConfigSection::Network);
    clock.pause(kQueryPauseMs);
    sendQuery(ConfigSection::Operation);
    clock.pause(kQueryPauseMs);
    sendQuery(ConfigSection::LoRa);
}

void SendSectionWrites(const QList<SectionWrite>& writes,
                       const std::function<void(const QByteArray&)>& send, Clock& clock) {
    for (const SectionWrite& write : writes) {
        for (const QByteArray& datagram : write.datagrams) send(datagram);
        clock.pause(kSectionPauseMs);
    }
}

GatewayConfigRead ReadGatewayConfig(GatewayLink& link, const QString& mac, Clock& clock) {
    link.ClearConfigReplies();
    SendConfigQueries([&](ConfigSection section) { link.SendTo(mac, ConfigQuery(section, mac)); },
                      clock);

    bool haveNetwork = false;
    NetworkSettings network;
    QMap<int, PortRow> ports;
    QMap<int, LoRaRow> loras;
    const QDeadlineTimer firstAnswer(kFirstAnswerMs);
    for (;;) {
        const bool complete =
            haveNetwork && ports.size() >= network.portCount && loras.size() >= network.portCount;
        if (complete) break;
        const QDeadlineTimer deadline = haveNetwork ? QDeadlineTimer(kNextRowMs) : firstAnswer;
        const auto datagram = link.NextConfigReply(deadline);
        if (!datagram) break;
        const ConfigReply reply = ParseConfigReply(*datagram, mac, kAnyRow);
        switch (reply.kind) {
            case ConfigReply::Kind::Network:
                haveNetwork = true;
                network = reply.network;
                break;
            case ConfigReply::Kind::Port:
                ports.insert(reply.port.row, reply.port.cells);
                break;
            case ConfigReply::Kind::LoRa:
                loras.insert(reply.lora.row, reply.lora.cells);
                break;
            default:
                break;
        }
    }
    if (!haveNetwork) {
        throw VarnexError(
            QStringLiteral("gateway %1 did not answer the configuration query").arg(mac));
    }
    GatewayConfigRead read;
    read.config.network = network;
    read.config.ports.resize(network.portCount);
    read.config.loras.resize(network.portCount);
    // Rows beyond PortCount have no place in the tables, as in the dialog.
    for (auto it = ports.cbegin(); it != ports.cend(); ++it) {
        if (it.key() >= network.portCount) continue;
        read.config.ports[it.key()] = it.value();
        ++read.portRowsAnswered;
    }
    for (auto it = loras.cbegin(); it != loras.cend(); ++it) {
        if (it.key() >= network.portCount) continue;
        read.config.loras[it.key()] = it.value();
        ++read.loraRowsAnswered;
    }
    return read;
}

bool WriteGatewayConfig(GatewayLink& link, const QString& mac, const QList<SectionWrite>& writes,
                        Clock& clock) {
    link.ClearConfigReplies();
    SendSectionWrites(
        writes, [&](const QByteArray& d) { link.SendTo(mac, d); }, clock);
    PendingApply apply;
    link.SendTo(mac, ConfigApply(mac));
    apply.Sent(mac);
    const QDeadlineTimer deadline(kApplyAnswerMs);
    while (const auto datagram = link.NextConfigReply(deadline)) {
        const ConfigReply reply = ParseConfigReply(*datagram, mac, 0);
        if (reply.kind == ConfigReply::Kind::Applied && apply.Answer(mac)) return true;
    }
    return false;
}
