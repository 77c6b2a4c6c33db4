#pragma once

#include "net/RouteTable.h"

#include <QHash>
#include <QStringList>

// A PC's addresses and routes written as `ip` shows them, for the reachability
// rules without a network:
//   hosts:  "plant=10.0.0.5/24 office=198.51.100.5/30"
//   routes: "10.0.0.0/24 plant; default via 198.51.100.6 office; 10.9.0.0/16 unreachable"
// Interfaces are numbered from 1 in the order their names first appear. The
// longest matching route wins; a host address is Local; no match is NoRoute.
class FakeRoutes : public RouteTable {
public:
    FakeRoutes() = default;
    FakeRoutes(const QString& hosts, const QString& routes) {
        for (const QString& h : hosts.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            const QStringList nameNet = h.split(QLatin1Char('='));
            const QStringList addrPrefix = nameNet.value(1).split(QLatin1Char('/'));
            HostAddress a;
            a.interfaceName = nameNet.value(0);
            a.interfaceIndex = IndexOf(a.interfaceName);
            a.address = GatewayAddressOf(addrPrefix.value(0)).value_or(0);
            a.prefix = addrPrefix.value(1).toInt();
            hosts_.append(a);
        }
        for (const QString& r : routes.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            QStringList words = r.split(QLatin1Char(' '), Qt::SkipEmptyParts);
            Entry e;
            const QString dst = words.takeFirst();
            if (dst != QLatin1String("default")) {
                const QStringList addrPrefix = dst.split(QLatin1Char('/'));
                e.net = NetOf(GatewayAddressOf(addrPrefix.value(0)).value_or(0),
                              addrPrefix.value(1, QStringLiteral("32")).toInt());
            }
            if (words.value(0) == QLatin1String("unreachable")) {
                e.answer.kind = RouteAnswer::NoRoute;
            } else {
                e.answer.kind = RouteAnswer::Direct;
                if (words.value(0) == QLatin1String("via")) {
                    e.answer.kind = RouteAnswer::ViaRouter;
                    e.answer.router = GatewayAddressOf(words.value(1)).value_or(0);
                    words = words.mid(2);
                }
                e.answer.interfaceIndex = IndexOf(words.value(0));
            }
            routes_.append(e);
        }
    }

    // Every address on the link of interface 1, no router: the harness's
    // single-link PC, and what tests that do not look at routes get.
    static FakeRoutes AllOnLink() { return FakeRoutes(QString(), QStringLiteral("default eth0")); }

    int IndexOf(const QString& name) {
        if (name.isEmpty()) return 0;
        if (!indexes_.contains(name)) indexes_.insert(name, indexes_.size() + 1);
        return indexes_.value(name);
    }

    RouteAnswer RouteTo(quint32 address) override {
        ++lookups;
        for (const HostAddress& h : hosts_) {
            if (h.address == address) {
                RouteAnswer local;
                local.kind = RouteAnswer::Local;
                return local;
            }
        }
        const Entry* best = nullptr;
        for (const Entry& e : routes_) {
            if (e.net.contains(address) && (!best || e.net.prefix > best->net.prefix)) best = &e;
        }
        return best ? best->answer : RouteAnswer();
    }
    QList<HostAddress> HostAddresses() override { return hosts_; }
    QString InterfaceName(int index) override { return indexes_.key(index); }

    int lookups = 0;

private:
    struct Entry {
        IPv4Net net;  // 0.0.0.0/0 for "default"
        RouteAnswer answer;
    };
    QList<HostAddress> hosts_;
    QList<Entry> routes_;
    QHash<QString, int> indexes_;
};
