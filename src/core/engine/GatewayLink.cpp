#include "engine/GatewayLink.h"

#include "link/Codecs.h"
#include "link/DeviceDatagram.h"

#include <QRegularExpression>
#include <QSet>

GatewayLink::GatewayLink(const QString& interfaceName) {
    endpoint_.SetInterfaceName(interfaceName);
    endpoint_.AddBinding(QStringLiteral("0.0.0.0"), DeviceDatagram::Port);
    endpoint_.SetDefaultPort(DeviceDatagram::Port);
    endpoint_.SetBroadcastEnabled(true);
    endpoint_.SetBufferSize(8192);
    endpoint_.SetThreadedEvent(true);
    endpoint_.SetDropRequests(true);
    endpoint_.SetOnUDPRead(
        [this](UdpEndpoint&, const QByteArray& datagram, const UdpEndpoint::Binding& binding) {
            received(datagram, binding.interfaceIndex);
        });
}

GatewayLink::~GatewayLink() {
    endpoint_.SetActive(false);
}

void GatewayLink::Open() {
    endpoint_.SetActive(true);
}

void GatewayLink::received(const QByteArray& datagram, int interfaceIndex) {
    const auto letter = ReplyLetter(datagram);
    if (!letter) return;  // our own requests come back too; this drops them
    if (*letter == 'f') {
        ackSlot_.Store(datagram, interfaceIndex);
        return;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (*letter == 'g') {
            auto reply = DecodeDiscoveryReply(datagram);
            if (!reply) return;
            reply->InterfaceIndex = interfaceIndex;
            discovered_.push_back(*reply);
        } else if (QByteArrayLiteral("noua").contains(*letter)) {
            // Bounded: a flood cannot grow the queue without end while nobody reads.
            if (configReplies_.size() >= 100000) return;
            configReplies_.push_back(datagram);
        } else {
            return;
        }
    }
    arrived_.notify_all();
}

QList<DiscoveryReply> GatewayLink::Discover(int timeoutMs, const QStringList& untilMacs) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        discovered_.clear();
    }
    endpoint_.SendBroadcast(DeviceDatagram::DiscoveryRequest(), DeviceDatagram::Port);
    QSet<QString> waitingFor;
    for (const QString& mac : untilMacs) waitingFor.insert(mac.toUpper());
    const QDeadlineTimer deadline(timeoutMs);
    QList<DiscoveryReply> found;
    QSet<QString> seen;
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        while (!discovered_.empty()) {
            DiscoveryReply reply = std::move(discovered_.front());
            discovered_.pop_front();
            routes_.Record(reply.Mac, reply.InterfaceIndex);
            const QString key = reply.Mac.toUpper();
            if (seen.contains(key)) continue;  // a second copy, or the same gateway on two links
            seen.insert(key);
            waitingFor.remove(key);
            found.append(reply);
        }
        if ((!untilMacs.isEmpty() && waitingFor.isEmpty()) || deadline.hasExpired()) break;
        arrived_.wait_for(lock,
                          std::chrono::milliseconds(qMax<qint64>(1, deadline.remainingTime())));
    }
    return found;
}

void GatewayLink::SendTo(const QString& mac, const QByteArray& datagram) {
    endpoint_.SendBroadcast(datagram, DeviceDatagram::Port, routes_.Of(mac));
}

void GatewayLink::ClearConfigReplies() {
    std::lock_guard<std::mutex> lock(mutex_);
    configReplies_.clear();
}

std::optional<QByteArray> GatewayLink::NextConfigReply(const QDeadlineTimer& deadline) {
    std::unique_lock<std::mutex> lock(mutex_);
    while (configReplies_.empty()) {
        if (deadline.hasExpired()) return std::nullopt;
        arrived_.wait_for(lock,
                          std::chrono::milliseconds(qMax<qint64>(1, deadline.remainingTime())));
    }
    QByteArray d = std::move(configReplies_.front());
    configReplies_.pop_front();
    return d;
}

QString NormalizedMac(const QString& text) {
    QString hex = text.trimmed().toUpper();
    hex.remove(QLatin1Char('-'));
    hex.remove(QLatin1Char(':'));
    static const QRegularExpression sixBytes(QStringLiteral("^[0-9A-F]{12}$"));
    if (!sixBytes.match(hex).hasMatch()) return QString();
    QStringList pairs;
    for (int i = 0; i < 12; i += 2) pairs << hex.mid(i, 2);
    return pairs.join(QLatin1Char('-'));
}
