#include "net/SearchReport.h"

#include "net/AddressMath.h"

#include <QFile>

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include <cstring>

namespace {
// IFF_LOWER_UP lives in <linux/if.h>, which clashes with <net/if.h>.
constexpr unsigned kLowerUp = 1u << 16;

quint32 hostOrder(const sockaddr* address) {
    quint32 v = 0;
    std::memcpy(&v, &reinterpret_cast<const sockaddr_in*>(address)->sin_addr, sizeof v);
    return ntohl(v);
}

bool sysfsCarrier(const QString& name) {
    // Reading fails while the interface is down; that is no carrier either.
    QFile f(QStringLiteral("/sys/class/net/%1/carrier").arg(name));
    return f.open(QIODevice::ReadOnly) && f.read(1) == "1";
}

QString counted(int n, const char* one, const char* many) {
    return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : many));
}

QString conclusionFor(const InterfaceSearch& i, bool countersKnown) {
    const InterfaceFacts& f = i.facts;
    const InterfaceCounters& c = i.counters;
    if (!f.carrier) return QStringLiteral("%1 has no carrier: check its cable.").arg(f.name);
    if (!f.hasAddress) {
        return QStringLiteral("%1 has no IPv4 address, so no request went out on it: give it one.")
            .arg(f.name);
    }
    if (!f.broadcast) {
        return QStringLiteral("%1 cannot broadcast, so no request went out on it.").arg(f.name);
    }
    if (!countersKnown) {
        return QStringLiteral("%1 is up with a carrier and an address, so requests go out on it.")
            .arg(f.name);
    }
    if (c.requestsSent == 0) {
        return c.sendError.isEmpty()
                   ? QStringLiteral("No request went out on %1.").arg(f.name)
                   : QStringLiteral("Requests could not go out on %1: %2").arg(f.name, c.sendError);
    }
    if (c.gatewayReplies > 0) {
        // Replies, not gateways: a gateway answers each repeat of the request.
        return QStringLiteral("%1 came in on %2.")
            .arg(counted(c.gatewayReplies, "gateway reply", "gateway replies"), f.name);
    }
    if (c.echoesHeard == 0) {
        return QStringLiteral(
                   "Requests went out on %1, but this PC did not hear them come back: "
                   "a firewall on this PC may be dropping UDP port 2058.")
            .arg(f.name);
    }
    if (c.otherDatagrams > 0) {
        return QStringLiteral(
                   "Requests went out on %1, but what came back (%2) was no gateway's "
                   "reply: another device on that link may use port 2058.")
            .arg(f.name, counted(c.otherDatagrams, "datagram", "datagrams"));
    }
    return QStringLiteral(
               "Requests went out on %1, but no gateway answered: check the cable, the "
               "switch port and the gateways' power.")
        .arg(f.name);
}

QString block(const InterfaceSearch& i, bool countersKnown) {
    const InterfaceFacts& f = i.facts;
    const QString address = f.hasAddress
                                ? QStringLiteral("%1/%2").arg(AddressText(f.address)).arg(f.prefix)
                                : QStringLiteral("no IPv4 address");
    QStringList state{f.up ? QStringLiteral("up") : QStringLiteral("down"),
                      f.running ? QStringLiteral("running") : QStringLiteral("not running"),
                      f.broadcast ? QStringLiteral("broadcast") : QStringLiteral("no broadcast"),
                      f.carrier ? QStringLiteral("carrier") : QStringLiteral("no carrier")};
    QString text =
        QStringLiteral("%1: %2; %3\n").arg(f.name, address, state.join(QStringLiteral(", ")));
    if (countersKnown) {
        const InterfaceCounters& c = i.counters;
        text += QStringLiteral("  %1, %2 heard back, %3, %4\n")
                    .arg(counted(c.requestsSent, "request sent", "requests sent"))
                    .arg(c.echoesHeard)
                    .arg(counted(c.gatewayReplies, "gateway reply", "gateway replies"),
                         counted(c.otherDatagrams, "other datagram", "other datagrams"));
        if (!c.sendError.isEmpty()) text += QStringLiteral("  send error: %1\n").arg(c.sendError);
    }
    return text;
}
}  // namespace

QList<InterfaceFacts> CollectInterfaceFacts() {
    QList<InterfaceFacts> found;
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) return found;
    for (const ifaddrs* a = list; a != nullptr; a = a->ifa_next) {
        const unsigned flags = a->ifa_flags;
        if (flags & IFF_LOOPBACK) continue;
        const QString name = QString::fromLocal8Bit(a->ifa_name);
        InterfaceFacts* facts = nullptr;
        for (InterfaceFacts& f : found)
            if (f.name == name) facts = &f;
        if (!facts) {
            InterfaceFacts f;
            f.name = name;
            f.index = static_cast<int>(::if_nametoindex(a->ifa_name));
            f.up = flags & IFF_UP;
            f.running = flags & IFF_RUNNING;
            f.broadcast = flags & IFF_BROADCAST;
            f.carrier = f.up && ((flags & kLowerUp) || sysfsCarrier(name));
            found.append(f);
            facts = &found.last();
        }
        if (!facts->hasAddress && a->ifa_addr != nullptr && a->ifa_addr->sa_family == AF_INET) {
            facts->hasAddress = true;
            facts->address = hostOrder(a->ifa_addr);
            facts->prefix =
                a->ifa_netmask ? PrefixOfMask(hostOrder(a->ifa_netmask)).value_or(32) : 32;
        }
    }
    ::freeifaddrs(list);
    return found;
}

QStringList SearchConclusions(const SearchReportData& data) {
    if (data.portHeldElsewhere) {
        return {
            QStringLiteral("Port 2058 is held by another program. Close it (another "
                           "VarnexConfig window, or varnexctl) and Search again.")};
    }
    QStringList out;
    for (const InterfaceSearch& i : data.interfaces) {
        if (i.facts.up) out << conclusionFor(i, data.counted);
    }
    if (out.isEmpty()) return {QStringLiteral("No network interface is up.")};
    // A link switched off may be the plant's: named last, after those in use.
    for (const InterfaceSearch& i : data.interfaces) {
        if (!i.facts.up)
            out << QStringLiteral("%1 is down, so no request went out on it.").arg(i.facts.name);
    }
    return out;
}

QString SearchReportText(const SearchReportData& data) {
    QString text;
    for (const InterfaceSearch& i : data.interfaces) text += block(i, data.counted);
    if (!text.isEmpty()) text += QLatin1Char('\n');
    for (const QString& line : SearchConclusions(data)) text += line + QLatin1Char('\n');
    return text;
}
