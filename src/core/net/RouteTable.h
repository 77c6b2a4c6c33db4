#pragma once

#include "net/AddressMath.h"

#include <QList>
#include <QString>
#include <QVector>

// One IPv4 address of this PC, on an interface.
struct HostAddress {
    int interfaceIndex = 0;
    QString interfaceName;
    quint32 address = 0;
    int prefix = 32;

    IPv4Net net() const { return NetOf(address, prefix); }
};

// Where the kernel would send a datagram for one address.
struct RouteAnswer {
    enum Kind {
        NoRoute,    // unreachable: no route at all, or one that refuses
        Direct,     // on the link of `interfaceIndex`, no router on the way
        ViaRouter,  // through `router`, on the link of `interfaceIndex`
        Local,      // the address is this PC's own
    };
    Kind kind = NoRoute;
    int interfaceIndex = 0;
    quint32 router = 0;
};

// What the reachability rules ask of the PC's network set-up. The program asks
// the system; tests answer from a table.
class RouteTable {
public:
    virtual ~RouteTable() = default;
    // The route the kernel would pick for `address` (what `ip route get` shows).
    virtual RouteAnswer RouteTo(quint32 address) = 0;
    // The same for many addresses, answers in their order.
    virtual QVector<RouteAnswer> RoutesTo(const QVector<quint32>& addresses) {
        QVector<RouteAnswer> answers;
        answers.reserve(addresses.size());
        for (quint32 a : addresses) answers.append(RouteTo(a));
        return answers;
    }
    // Every IPv4 address of this PC with its prefix, on any interface.
    virtual QList<HostAddress> HostAddresses() = 0;
    // The name of an interface index ("enp3s0"), or an empty text.
    virtual QString InterfaceName(int index) = 0;
};

// The system's own answers: rtnetlink RTM_GETROUTE for routes (no privilege
// needed), getifaddrs for the addresses. Owner thread only.
class SystemRouteTable : public RouteTable {
public:
    SystemRouteTable();
    ~SystemRouteTable() override;
    SystemRouteTable(const SystemRouteTable&) = delete;
    SystemRouteTable& operator=(const SystemRouteTable&) = delete;

    RouteAnswer RouteTo(quint32 address) override;
    // Many questions go to the kernel in one datagram, which it answers one
    // by one: a list of thousands is judged without a system call each.
    QVector<RouteAnswer> RoutesTo(const QVector<quint32>& addresses) override;
    QList<HostAddress> HostAddresses() override;
    QString InterfaceName(int index) override;

private:
    // Questions per datagram: their answers (about 100 bytes each) fit the
    // socket's receive buffer with room to spare.
    static constexpr int kBatch = 256;
    bool askBatch(const quint32* addresses, int count, RouteAnswer* answers);

    int fd_ = -1;  // the netlink socket, opened once
    quint32 seq_ = 0;
};
