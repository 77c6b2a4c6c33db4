#include "fleet/AddressPlan.h"

#include "fleet/FleetText.h"
#include "link/VarnexError.h"

#include <QHash>
#include <QSet>

namespace {
struct Subnet {
    quint32 network = 0;
    quint32 broadcast = 0;
    int prefix = 0;
    bool contains(quint32 a) const { return a >= network && a <= broadcast; }
    QString text() const { return QStringLiteral("%1/%2").arg(DottedIPv4(network)).arg(prefix); }
};

// The subnet of an address and mask, or a reason why they give none worth
// planning in: a /31 or /32 leaves no address for a gateway beside the PC.
QString subnetOf(quint32 address, const QString& mask, Subnet& out) {
    const int prefix = MaskPrefixLength(mask);
    if (prefix < 0) return QStringLiteral("mask %1 is not a subnet mask").arg(mask);
    if (prefix == 0 || prefix > 30) {
        return QStringLiteral("mask %1 leaves no room for gateways").arg(mask);
    }
    const quint32 bits = 0xFFFFFFFFu << (32 - prefix);
    out.prefix = prefix;
    out.network = address & bits;
    out.broadcast = out.network | ~bits;
    return QString();
}

QString notAnAddress(const char* what, const QString& text) {
    return QStringLiteral("%1 \"%2\" is not an IPv4 address")
        .arg(QLatin1String(what), text.left(40));
}

// Why an address cannot be a gateway's own in its subnet; empty when it can.
QString reservedIn(quint32 a, const Subnet& subnet) {
    if (a == subnet.network) {
        return QStringLiteral("%1 is the network address of %2").arg(DottedIPv4(a), subnet.text());
    }
    if (a == subnet.broadcast) {
        return QStringLiteral("%1 is the broadcast address of %2")
            .arg(DottedIPv4(a), subnet.text());
    }
    return QString();
}

// The settings of one line that read, or why they do not.
struct LineSettings {
    quint32 ip = 0, gateway = 0, viewIp = 0;
    Subnet subnet;
};

QString readLine(const PlannedGateway& line, LineSettings& out) {
    if (!ParseIPv4(line.ip, out.ip)) return notAnAddress("ip", line.ip);
    const QString badMask = subnetOf(out.ip, line.mask, out.subnet);
    if (!badMask.isEmpty()) return badMask;
    if (!ParseIPv4(line.gateway, out.gateway)) return notAnAddress("gateway", line.gateway);
    if (!ParseIPv4(line.viewIp, out.viewIp)) return notAnAddress("view_ip", line.viewIp);
    const QString reserved = reservedIn(out.ip, out.subnet);
    if (!reserved.isEmpty()) return reserved;
    if (out.gateway != 0 && !out.subnet.contains(out.gateway)) {
        return QStringLiteral("the gateway %1 is outside %2")
            .arg(DottedIPv4(out.gateway), out.subnet.text());
    }
    return QString();
}

QString gatewayText(const ListedGateway& g) {
    return g.name.isEmpty() ? g.mac : QStringLiteral("%1 (%2)").arg(g.mac, g.name);
}

// Who holds each address once the plan is carried out, apart from the
// accepted lines' own new addresses.
QHash<quint32, QString> holdersAfter(const QVector<PlannedGateway>& plan,
                                     const QVector<LineSettings>& settings,
                                     const AddressHolders& holders) {
    QSet<QString> planned;
    for (const PlannedGateway& line : plan) planned.insert(CanonicalMac(line.now.mac));
    // The first holder named for an address is the one a refusal names.
    QHash<quint32, QString> held;
    const auto hold = [&held](quint32 a, const QString& why) {
        if (!held.contains(a)) held.insert(a, why);
    };
    quint32 a = 0;
    for (const QString& own : holders.ownAddresses) {
        if (ParseIPv4(own, a)) hold(a, QStringLiteral("is this PC's address"));
    }
    for (const ListedGateway& g : holders.unplanned) {
        if (planned.contains(CanonicalMac(g.mac)) || !ParseIPv4(g.ip, a)) continue;
        hold(a, QStringLiteral("stays with %1, which is not in the plan").arg(gatewayText(g)));
    }
    for (int i = 0; i < plan.size(); ++i) {
        const PlannedGateway& line = plan[i];
        if (line.refused()) {
            if (ParseIPv4(line.now.ip, a)) {
                hold(a, QStringLiteral("stays with %1, whose line is refused")
                            .arg(gatewayText(line.now)));
            }
            continue;
        }
        if (settings[i].gateway != 0) {
            hold(settings[i].gateway, QStringLiteral("is a gateway address of the plan"));
        }
        if (settings[i].viewIp != 0) {
            hold(settings[i].viewIp, QStringLiteral("is a VarnexView address of the plan"));
        }
    }
    return held;
}
}  // namespace

void CheckAddressPlan(QVector<PlannedGateway>& plan, const AddressHolders& holders) {
    QVector<LineSettings> settings(plan.size());
    for (int i = 0; i < plan.size(); ++i) {
        if (!plan[i].refused()) plan[i].refusal = readLine(plan[i], settings[i]);
    }
    // Each round refuses at least one more line, or ends.
    for (bool refusedMore = true; refusedMore;) {
        refusedMore = false;
        const QHash<quint32, QString> held = holdersAfter(plan, settings, holders);
        QHash<quint32, QStringList> givenTo;
        for (int i = 0; i < plan.size(); ++i) {
            if (!plan[i].refused()) givenTo[settings[i].ip].append(plan[i].now.mac);
        }
        QVector<QString> refusals(plan.size());
        for (int i = 0; i < plan.size(); ++i) {
            if (plan[i].refused()) continue;
            const quint32 ip = settings[i].ip;
            QStringList others = givenTo.value(ip);
            others.removeOne(plan[i].now.mac);
            if (!others.isEmpty()) {
                refusals[i] = QStringLiteral("%1 is also given to %2")
                                  .arg(DottedIPv4(ip), others.join(QStringLiteral(", ")));
            } else if (held.contains(ip)) {
                refusals[i] = DottedIPv4(ip) + QLatin1Char(' ') + held.value(ip);
            }
        }
        for (int i = 0; i < plan.size(); ++i) {
            if (refusals[i].isEmpty()) continue;
            plan[i].refusal = refusals[i];
            refusedMore = true;
        }
    }
}

QVector<PlannedGateway> PlanAddressRange(const QVector<ListedGateway>& gateways,
                                         const AddressRange& range, const AddressHolders& holders) {
    quint32 start = 0, gateway = 0, viewIp = 0;
    if (!ParseIPv4(range.start, start)) throw VarnexError(notAnAddress("start", range.start));
    if (!ParseIPv4(range.gateway, gateway)) {
        throw VarnexError(notAnAddress("gateway", range.gateway));
    }
    if (!ParseIPv4(range.viewIp, viewIp)) throw VarnexError(notAnAddress("view_ip", range.viewIp));
    Subnet subnet;
    const QString badMask = subnetOf(start, range.mask, subnet);
    if (!badMask.isEmpty()) throw VarnexError(badMask);
    const QString reserved = reservedIn(start, subnet);
    if (!reserved.isEmpty()) throw VarnexError(QStringLiteral("the start ") + reserved);
    if (gateway != 0 && !subnet.contains(gateway)) {
        throw VarnexError(
            QStringLiteral("the gateway %1 is outside %2").arg(range.gateway, subnet.text()));
    }
    QSet<QString> macs;
    for (const ListedGateway& g : gateways) {
        const QString mac = CanonicalMac(g.mac);
        if (macs.contains(mac))
            throw VarnexError(QStringLiteral("%1 is in the plan twice").arg(g.mac));
        macs.insert(mac);
    }

    // What stays held whatever the plan gives; the planned gateways' present
    // addresses are not among them.
    QSet<quint32> held{gateway, viewIp};
    quint32 a = 0;
    for (const QString& own : holders.ownAddresses) {
        if (ParseIPv4(own, a)) held.insert(a);
    }
    for (const ListedGateway& g : holders.unplanned) {
        if (!macs.contains(CanonicalMac(g.mac)) && ParseIPv4(g.ip, a)) held.insert(a);
    }

    QVector<PlannedGateway> plan;
    quint64 next = start;  // 64 bits: the subnet may end at 255.255.255.255
    int placed = 0;
    for (const ListedGateway& g : gateways) {
        while (next < subnet.broadcast && held.contains(static_cast<quint32>(next))) ++next;
        PlannedGateway line{g,      QString(), range.mask, range.gateway, range.viewIp,
                            g.name, QString()};
        if (next < subnet.broadcast) {
            line.ip = DottedIPv4(static_cast<quint32>(next++));
            ++placed;
        }
        plan.append(line);
    }
    if (placed < gateways.size()) {
        const QString why =
            QStringLiteral(
                "the range runs past the end of %1: from %2 it has room for %3 of the %4 gateways")
                .arg(subnet.text(), range.start)
                .arg(placed)
                .arg(gateways.size());
        for (PlannedGateway& line : plan) line.refusal = why;
        return plan;
    }
    CheckAddressPlan(plan, holders);
    return plan;
}

QVector<PlannedGateway> PlanFromRows(const QVector<CsvPlanRow>& rows,
                                     const QVector<ListedGateway>& listed,
                                     const QStringList& ownAddresses) {
    QHash<QString, ListedGateway> byMac;
    for (const ListedGateway& g : listed) byMac.insert(CanonicalMac(g.mac), g);
    QVector<PlannedGateway> plan;
    QSet<QString> planned;
    for (const CsvPlanRow& row : rows) {
        const QString mac = CanonicalMac(row.mac);
        planned.insert(mac);
        const auto it = byMac.constFind(mac);
        if (it == byMac.constEnd()) {
            PlannedGateway line;
            line.now.mac = row.mac;
            line.refusal = QStringLiteral("line %1: %2 was not listed by the Search")
                               .arg(row.line)
                               .arg(row.mac);
            plan.append(line);
            continue;
        }
        const ListedGateway& now = *it;
        const auto pick = [](const QString& cell, const QString& reported) {
            return cell.isEmpty() ? reported : cell;
        };
        plan.append(PlannedGateway{now, pick(row.ip, now.ip), pick(row.mask, now.mask),
                                   pick(row.gateway, now.gateway), pick(row.viewIp, now.viewIp),
                                   pick(row.name, now.name), QString()});
    }
    AddressHolders holders{ownAddresses, {}};
    for (const ListedGateway& g : listed) {
        if (!planned.contains(CanonicalMac(g.mac))) holders.unplanned.append(g);
    }
    CheckAddressPlan(plan, holders);
    return plan;
}

QString AddressPlanNote() {
    return QStringLiteral(
        "Only gateways that answer a Search are known here: PLCs, PCs and other devices that do "
        "not answer it cannot be seen, so make sure none of them already uses these addresses.");
}
