#pragma once

#include "discovery/DiscoveryReply.h"
#include "link/GatewayInterfaces.h"
#include "link/ReplySlot.h"
#include "link/UdpEndpoint.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QList>
#include <QString>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>

// Port 2058 for a program without a window: one endpoint bound to
// 0.0.0.0:2058 whose receiving thread sorts every datagram into an inbox
// ("g" replies, firmware acknowledgements, configuration replies) and wakes the
// thread that waits for it at once. The waiting thread owns the link.
class GatewayLink {
public:
    // `interfaceName`: only that interface, or every one when empty.
    explicit GatewayLink(const QString& interfaceName = QString());
    ~GatewayLink();
    GatewayLink(const GatewayLink&) = delete;
    GatewayLink& operator=(const GatewayLink&) = delete;

    // Binds the port; raises VarnexError as the endpoint does (the port is held
    // by another program, say).
    void Open();

    // One discovery: the request through every interface, then the replies, one
    // per MAC in arrival order, until the time is up or every MAC of
    // `untilMacs` has answered. Each gateway's interface is recorded.
    QList<DiscoveryReply> Discover(int timeoutMs, const QStringList& untilMacs = QStringList());

    // A datagram for one gateway, through the interface it answered on.
    void SendTo(const QString& mac, const QByteArray& datagram);

    // Configuration replies ("n", "o", "u", "a") in arrival order.
    void ClearConfigReplies();
    std::optional<QByteArray> NextConfigReply(const QDeadlineTimer& deadline);

    UdpEndpoint& Endpoint() { return endpoint_; }
    ReplySlot& AckSlot() { return ackSlot_; }
    int InterfaceOf(const QString& mac) const { return routes_.Of(mac); }

private:
    void received(const QByteArray& datagram, int interfaceIndex);  // receiving thread

    UdpEndpoint endpoint_;
    ReplySlot ackSlot_;
    GatewayInterfaces routes_;

    std::mutex mutex_;
    std::condition_variable arrived_;
    std::deque<DiscoveryReply> discovered_;
    std::deque<QByteArray> configReplies_;
};

// A MAC as the list shows it ("00-1A-2B-00-00-01") from what an operator types
// (dashes, colons or none, either case); empty when it is not six hex bytes.
QString NormalizedMac(const QString& text);
