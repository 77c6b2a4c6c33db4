#include "net/Reachability.h"

#include <QSet>

#include <algorithm>
#include <climits>
#include <optional>
#include <utility>
#include <vector>

namespace {
// How far to look for a free address in one network before giving up on
// naming one: a /16 full of gateways is not worth a long pause.
constexpr int kFreeAddressTries = 65536;

// Hands out addresses nobody uses, each once.
class FreeAddresses {
public:
    void Take(quint32 address) { used_.insert(address); }

    std::optional<quint32> Next(const IPv4Net& net) {
        const quint32 first = net.hasEnds() ? net.base + 1 : net.base;
        const quint32 last = net.hasEnds() ? net.broadcast() - 1 : net.broadcast();
        const quint64 key = (quint64(net.base) << 8) | quint64(net.prefix);
        quint32 candidate = cursor_.value(key, first);
        for (int tries = 0; tries < kFreeAddressTries && candidate >= first && candidate <= last;
             ++tries) {
            if (!used_.contains(candidate)) {
                used_.insert(candidate);
                cursor_.insert(key, candidate + 1);
                return candidate;
            }
            if (candidate == last) break;
            ++candidate;
        }
        cursor_.insert(key, last);
        return std::nullopt;
    }

private:
    QSet<quint32> used_;
    QHash<quint64, quint32> cursor_;
};

QString macList(const QStringList& macs) {
    if (macs.size() == 1) return macs.first();
    if (macs.size() <= 3) {
        return QStringList(macs.mid(0, macs.size() - 1)).join(QStringLiteral(", ")) +
               QStringLiteral(" and ") + macs.last();
    }
    return QStringLiteral("%1 other gateways").arg(macs.size());
}

// Everything one judgement needs to know about this PC and the whole list.
class Judge {
public:
    Judge(const QVector<ReachGateway>& gateways, RouteTable& routes, const AddressesByMac& heard)
        : gateways_(gateways), routes_(routes) {
        hosts_ = routes.HostAddresses();
        for (const HostAddress& h : hosts_) free_.Take(h.address);
        addresses_.resize(gateways.size());
        QVector<quint32> toRoute;
        for (int i = 0; i < gateways.size(); ++i) {
            addresses_[i] = GatewayAddressOf(gateways[i].ip);
            if (addresses_[i]) {
                const quint32 a = *addresses_[i];
                free_.Take(a);
                holders_.push_back({a, i});
                if (a != 0 && !hostWith(a) && !routeCache_.contains(a)) {
                    routeCache_.insert(a, RouteAnswer());
                    toRoute.append(a);
                }
            }
            if (gateways[i].typedIp != gateways[i].ip) {
                if (const auto typed = GatewayAddressOf(gateways[i].typedIp)) free_.Take(*typed);
            }
        }
        std::sort(holders_.begin(), holders_.end());
        // Every route at once: the system answers a batch faster than each alone.
        const QVector<RouteAnswer> answers = routes.RoutesTo(toRoute);
        for (int i = 0; i < toRoute.size(); ++i) routeCache_[toRoute[i]] = answers.value(i);
        for (auto it = heard.begin(); it != heard.end(); ++it) {
            QList<quint32>& list = heard_[it.key().toUpper()];
            for (const QString& text : it.value()) {
                const auto a = GatewayAddressOf(text);
                if (a && !list.contains(*a)) list.append(*a);
            }
        }
    }

    ReachVerdict Of(int i) {
        ReachVerdict v;
        if (!addresses_[i]) return v;
        row_ = i;
        address_ = *addresses_[i];
        ip_ = AddressText(address_);
        suggestion_.reset();
        suggested_ = false;
        const ReachGateway& g = gateways_[i];
        const std::optional<int> prefix = prefixOf(g.mask);
        ownNet_ = prefix ? std::optional<IPv4Net>(NetOf(address_, *prefix)) : std::nullopt;
        link_ = firstAddressOn(g.interfaceIndex);

        auto add = [&v](ReachProblem p, const QString& reason) {
            v.problems << p;
            v.reasons << reason;
        };
        if (const QString why = unsetReason(); !why.isEmpty()) add(ReachProblem::UnsetIp, why);
        const HostAddress* own = hostWith(address_);
        if (own) add(ReachProblem::OwnIp, ownReason(*own));
        if (address_ != 0 && holdersOf(address_).size() > 1)
            add(ReachProblem::DuplicateIp, duplicateReason());
        if (address_ != 0 && !own) {
            if (const QString why = routeReason(); !why.isEmpty())
                add(ReachProblem::OtherSubnet, why);
        }
        if (const QString why = duplicateMacReason(g.mac); !why.isEmpty())
            add(ReachProblem::DuplicateMac, why);
        return v;
    }

private:
    // Most gateways share a mask or two: each text is read once.
    std::optional<int> prefixOf(const QString& mask) {
        const auto known = prefixes_.constFind(mask);
        if (known != prefixes_.constEnd()) return *known;
        return *prefixes_.insert(mask, PrefixOfMaskText(mask));
    }

    // The rows that hold an address.
    struct Holders {
        const std::pair<quint32, int>* first;
        const std::pair<quint32, int>* last;
        const std::pair<quint32, int>* begin() const { return first; }
        const std::pair<quint32, int>* end() const { return last; }
        int size() const { return static_cast<int>(last - first); }
    };
    Holders holdersOf(quint32 a) const {
        const auto lower =
            std::lower_bound(holders_.begin(), holders_.end(), std::make_pair(a, INT_MIN));
        const auto upper = std::upper_bound(lower, holders_.end(), std::make_pair(a, INT_MAX));
        return {holders_.data() + (lower - holders_.begin()),
                holders_.data() + (upper - holders_.begin())};
    }

    const HostAddress* hostWith(quint32 address) const {
        for (const HostAddress& h : hosts_)
            if (h.address == address) return &h;
        return nullptr;
    }

    std::optional<HostAddress> firstAddressOn(int interfaceIndex) const {
        if (interfaceIndex <= 0) return std::nullopt;
        for (const HostAddress& h : hosts_)
            if (h.interfaceIndex == interfaceIndex) return h;
        return std::nullopt;
    }

    QString interfaceName(int index) {
        for (const HostAddress& h : hosts_)
            if (h.interfaceIndex == index && !h.interfaceName.isEmpty()) return h.interfaceName;
        const QString name = routes_.InterfaceName(index);
        return name.isEmpty() ? QStringLiteral("interface %1").arg(index) : name;
    }

    RouteAnswer routeTo(quint32 address) {
        const auto cached = routeCache_.constFind(address);
        if (cached != routeCache_.constEnd()) return *cached;
        const RouteAnswer answer = routes_.RouteTo(address);
        routeCache_.insert(address, answer);
        return answer;
    }

    // The network this gateway belongs in: that of the link it answered on,
    // else the one its own address already shares with this PC.
    std::optional<IPv4Net> homeNet() const {
        if (link_) return link_->net();
        for (const HostAddress& h : hosts_)
            if (h.net().contains(address_) && h.prefix < 32) return h.net();
        return std::nullopt;
    }

    // " such as 10.0.0.2", or nothing when no free address can be named.
    QString suchAs() {
        if (!suggested_) {
            suggested_ = true;
            if (const auto net = homeNet()) suggestion_ = free_.Next(*net);
        }
        return suggestion_ ? QStringLiteral(" such as %1").arg(AddressText(*suggestion_))
                           : QString();
    }

    QString inHomeNet() const {
        const auto net = homeNet();
        return net ? QStringLiteral(" in %1").arg(NetText(*net)) : QString();
    }

    QString unsetReason() {
        QString what;
        if (address_ == 0) {
            what = QStringLiteral("The gateway has no address (0.0.0.0)");
        } else if (ownNet_ && ownNet_->hasEnds() && address_ == ownNet_->base) {
            what = QStringLiteral("%1 is the network address of %2, not a gateway's")
                       .arg(ip_, NetText(*ownNet_));
        } else if (ownNet_ && ownNet_->hasEnds() && address_ == ownNet_->broadcast()) {
            what = QStringLiteral("%1 is the broadcast address of %2, not a gateway's")
                       .arg(ip_, NetText(*ownNet_));
        } else {
            return QString();
        }
        const QString fix = inHomeNet();
        return QStringLiteral(
                   "%1, so this PC cannot reach it. Give the gateway an address%2%3 "
                   "(edit its row and Apply).")
            .arg(what, fix, suchAs());
    }

    QString ownReason(const HostAddress& own) {
        return QStringLiteral(
                   "%1 is this PC's own address (on %2), so this PC cannot reach the "
                   "gateway at it. Give the gateway another address%3 (edit its row "
                   "and Apply).")
            .arg(ip_, own.interfaceName, suchAs());
    }

    QString duplicateReason() {
        QStringList others;
        for (const auto& [address, j] : holdersOf(address_))
            if (j != row_) others << gateways_[j].mac;
        return QStringLiteral(
                   "%1 is also the address of %2, so only one of them can be reached "
                   "at it. Give each gateway an address of its own%3 (edit its row "
                   "and Apply).")
            .arg(ip_, macList(others), suchAs());
    }

    QString routeReason() {
        const RouteAnswer route = routeTo(address_);
        const int answered = gateways_[row_].interfaceIndex;
        const bool direct = route.kind == RouteAnswer::Direct &&
                            (answered <= 0 || route.interfaceIndex == answered);
        if (direct || route.kind == RouteAnswer::Local) return QString();

        const QString gatewayNet = ownNet_ ? NetText(*ownNet_) : QStringLiteral("its network");
        if (answered <= 0) {
            const QString why =
                route.kind == RouteAnswer::NoRoute
                    ? QStringLiteral("This PC has no route to %1.").arg(ip_)
                    : QStringLiteral(
                          "%1 is on none of this PC's networks, so this PC would send "
                          "to it through the router %2 on %3.")
                          .arg(ip_, AddressText(route.router), interfaceName(route.interfaceIndex));
            return why + QStringLiteral(
                             " Give the gateway an address in the network of the link "
                             "it is on (edit its row and Apply), or add an address in "
                             "%1 to that link.")
                             .arg(gatewayNet);
        }

        const QString link = interfaceName(answered);
        if (!link_) {
            return QStringLiteral(
                       "%1 has no IPv4 address, so this PC cannot reach %2 through it. "
                       "Add an address in %3 to %1.")
                .arg(link, ip_, gatewayNet);
        }
        const QString linkNet = NetText(link_->net());
        QString why =
            QStringLiteral("%1 is outside %2's network %3, so this PC ").arg(ip_, link, linkNet);
        if (route.kind == RouteAnswer::NoRoute) {
            why += QStringLiteral("cannot reach it.");
        } else if (route.kind == RouteAnswer::ViaRouter) {
            why += QStringLiteral(
                       "would send to it through the router %1 on %2 instead of "
                       "directly.")
                       .arg(AddressText(route.router), interfaceName(route.interfaceIndex));
        } else {
            why += QStringLiteral("would send to it through %1 instead.")
                       .arg(interfaceName(route.interfaceIndex));
        }
        return why + QStringLiteral(
                         " Give the gateway an address in %1%2 (edit its row and "
                         "Apply), or add an address in %3 to %4.")
                         .arg(linkNet, suchAs(), gatewayNet, link);
    }

    QString duplicateMacReason(const QString& mac) {
        const QList<quint32> from = heard_.value(mac.toUpper());
        if (from.size() < 2) return QString();
        QStringList texts;
        for (quint32 a : from) texts << AddressText(a);
        return QStringLiteral(
                   "%1 answered from %2, so two gateways may share this MAC, and what "
                   "is sent to one reaches both. Take one of them off the network and "
                   "Search again.")
            .arg(mac, macList(texts));
    }

    const QVector<ReachGateway>& gateways_;
    RouteTable& routes_;
    QList<HostAddress> hosts_;
    QVector<std::optional<quint32>> addresses_;
    std::vector<std::pair<quint32, int>> holders_;  // (address, row), by address
    QHash<QString, QList<quint32>> heard_;
    QHash<quint32, RouteAnswer> routeCache_;
    QHash<QString, std::optional<int>> prefixes_;
    FreeAddresses free_;

    // The gateway being judged.
    int row_ = 0;
    quint32 address_ = 0;
    QString ip_;
    std::optional<IPv4Net> ownNet_;    // its address under its own mask
    std::optional<HostAddress> link_;  // this PC's address on the link it answered on
    std::optional<quint32> suggestion_;
    bool suggested_ = false;
};
}  // namespace

QString ReachProblemCode(ReachProblem problem) {
    switch (problem) {
        case ReachProblem::UnsetIp:
            return QStringLiteral("unset-ip");
        case ReachProblem::OwnIp:
            return QStringLiteral("own-ip");
        case ReachProblem::DuplicateIp:
            return QStringLiteral("duplicate-ip");
        case ReachProblem::OtherSubnet:
            return QStringLiteral("other-subnet");
        case ReachProblem::DuplicateMac:
            return QStringLiteral("duplicate-mac");
    }
    return QString();
}

QStringList ReachVerdict::codes() const {
    QStringList out;
    for (ReachProblem p : problems) out << ReachProblemCode(p);
    return out;
}

QVector<ReachVerdict> JudgeReachability(const QVector<ReachGateway>& gateways, RouteTable& routes,
                                        const AddressesByMac& heard) {
    QVector<ReachVerdict> verdicts;
    verdicts.reserve(gateways.size());
    Judge judge(gateways, routes, heard);
    for (int i = 0; i < gateways.size(); ++i) verdicts.append(judge.Of(i));
    return verdicts;
}
