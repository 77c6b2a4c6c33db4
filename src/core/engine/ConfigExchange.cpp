#include "engine/ConfigExchange.h"

#include "engine/GatewayEngine.h"
#include "link/Clock.h"
#include "link/VarnexError.h"

#include <QDeadlineTimer>

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

ConfigReply DialogConfigReply(const QByteArray& datagram, const QString& mac, int tableRows) {
    return ParseConfigReply(datagram, mac, tableRows);
}

void CompleteConfigRead::Take(const QByteArray& datagram) {
    const ConfigReply reply = ParseConfigReply(datagram, mac_, kAnyRow);
    switch (reply.kind) {
        case ConfigReply::Kind::Network:
            haveNetwork_ = true;
            network_ = reply.network;
            break;
        case ConfigReply::Kind::Port:
            ports_.insert(reply.port.row, reply.port.cells);
            break;
        case ConfigReply::Kind::LoRa:
            loras_.insert(reply.lora.row, reply.lora.cells);
            break;
        default:
            break;
    }
}

int CompleteConfigRead::rowsBelowCount(const QList<int>& rows) const {
    int n = 0;
    for (int row : rows) n += row < network_.portCount ? 1 : 0;
    return n;
}

bool CompleteConfigRead::Complete() const {
    return haveNetwork_ && rowsBelowCount(ports_.keys()) >= network_.portCount &&
           rowsBelowCount(loras_.keys()) >= network_.portCount;
}

CompleteConfigRead::Result CompleteConfigRead::Finish() const {
    Result read;
    read.config.network = network_;
    read.config.ports.resize(network_.portCount);
    read.config.loras.resize(network_.portCount);
    // Rows beyond PortCount have no place in the tables, as in the dialog.
    for (auto it = ports_.cbegin(); it != ports_.cend(); ++it) {
        if (it.key() >= network_.portCount) continue;
        read.config.ports[it.key()] = it.value();
        ++read.portRowsAnswered;
    }
    for (auto it = loras_.cbegin(); it != loras_.cend(); ++it) {
        if (it.key() >= network_.portCount) continue;
        read.config.loras[it.key()] = it.value();
        ++read.loraRowsAnswered;
    }
    return read;
}

GatewayConfigRead ReadGatewayConfig(GatewayEngine& engine, const QString& mac) {
    auto claim = engine.Begin(mac, QStringLiteral("its configuration is being read"));
    engine.CollectConfigReplies(mac, true);
    SendConfigQueries([&](ConfigSection section) { engine.SendTo(mac, ConfigQuery(section, mac)); },
                      engine.clock());
    CompleteConfigRead read(mac);
    const QDeadlineTimer firstAnswer(kFirstAnswerMs);
    while (!read.Complete()) {
        const QDeadlineTimer deadline =
            read.HaveNetwork() ? QDeadlineTimer(kNextRowMs) : firstAnswer;
        const auto datagram = engine.NextConfigReply(mac, deadline);
        if (!datagram) break;
        read.Take(*datagram);
    }
    if (!read.HaveNetwork()) {
        throw VarnexError(
            QStringLiteral("gateway %1 did not answer the configuration query").arg(mac));
    }
    return read.Finish();
}

bool WriteGatewayConfig(GatewayEngine& engine, const QString& mac,
                        const QList<SectionWrite>& writes) {
    auto claim = engine.Begin(mac, QStringLiteral("its configuration is being written"));
    engine.CollectConfigReplies(mac, true);
    SendSectionWrites(
        writes, [&](const QByteArray& d) { engine.SendTo(mac, d); }, engine.clock());
    PendingApply apply;
    engine.SendTo(mac, ConfigApply(mac));
    apply.Sent(mac);
    const QDeadlineTimer deadline(kApplyAnswerMs);
    while (const auto datagram = engine.NextConfigReply(mac, deadline)) {
        const ConfigReply reply = ParseConfigReply(*datagram, mac, 0);
        if (reply.kind == ConfigReply::Kind::Applied && apply.Answer(mac)) return true;
    }
    return false;
}
