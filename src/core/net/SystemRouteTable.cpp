#include "net/RouteTable.h"

#include "link/NetInterfaces.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {
// A reply comes from the kernel at once; the limit only keeps a lost one from
// hanging the caller.
constexpr int kReplyWaitMs = 500;

quint32 hostOrder(const void* networkOrder) {
    quint32 v = 0;
    std::memcpy(&v, networkOrder, sizeof v);
    return ntohl(v);
}

RouteAnswer answerOf(const nlmsghdr* message) {
    RouteAnswer answer;
    const auto* route = static_cast<const rtmsg*>(NLMSG_DATA(message));
    int length = static_cast<int>(RTM_PAYLOAD(message));
    int oif = 0;
    quint32 router = 0;
    for (const rtattr* a = RTM_RTA(route); RTA_OK(a, length); a = RTA_NEXT(a, length)) {
        if (a->rta_type == RTA_OIF && RTA_PAYLOAD(a) >= sizeof(int)) {
            std::memcpy(&oif, RTA_DATA(a), sizeof oif);
        } else if (a->rta_type == RTA_GATEWAY && RTA_PAYLOAD(a) >= 4) {
            router = hostOrder(RTA_DATA(a));
        }
    }
    switch (route->rtm_type) {
        case RTN_LOCAL:
            answer.kind = RouteAnswer::Local;
            break;
        case RTN_UNICAST:
        case RTN_BROADCAST:
        case RTN_MULTICAST:
            answer.kind = router != 0 ? RouteAnswer::ViaRouter : RouteAnswer::Direct;
            break;
        default:  // unreachable, prohibit, blackhole, throw
            return answer;
    }
    answer.interfaceIndex = oif;
    answer.router = router;
    return answer;
}
}  // namespace

SystemRouteTable::SystemRouteTable() {
    fd_ = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
    if (fd_ < 0) return;
    timeval wait{kReplyWaitMs / 1000, (kReplyWaitMs % 1000) * 1000};
    ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    sockaddr_nl local{};
    local.nl_family = AF_NETLINK;
    if (::bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

SystemRouteTable::~SystemRouteTable() {
    if (fd_ >= 0) ::close(fd_);
}

RouteAnswer SystemRouteTable::RouteTo(quint32 address) {
    return RoutesTo({address}).first();
}

QVector<RouteAnswer> SystemRouteTable::RoutesTo(const QVector<quint32>& addresses) {
    QVector<RouteAnswer> answers(addresses.size());
    if (fd_ < 0) return answers;
    for (int first = 0; first < addresses.size(); first += kBatch) {
        const int count = std::min(kBatch, int(addresses.size()) - first);
        if (!askBatch(addresses.constData() + first, count, answers.data() + first)) break;
    }
    return answers;
}

bool SystemRouteTable::askBatch(const quint32* addresses, int count, RouteAnswer* answers) {
    struct Request {
        nlmsghdr header;
        rtmsg route;
        rtattr dst;
        quint32 address;  // network order
    };
    static_assert(sizeof(Request) == NLMSG_ALIGN(NLMSG_LENGTH(sizeof(rtmsg))) + RTA_LENGTH(4),
                  "one request, laid out as rtnetlink reads it");
    std::vector<Request> requests(static_cast<size_t>(count));
    const quint32 firstSeq = seq_ + 1;
    for (int i = 0; i < count; ++i) {
        Request& r = requests[static_cast<size_t>(i)];
        std::memset(&r, 0, sizeof r);
        r.header.nlmsg_len = sizeof(Request);
        r.header.nlmsg_type = RTM_GETROUTE;
        r.header.nlmsg_flags = NLM_F_REQUEST;
        r.header.nlmsg_seq = ++seq_;
        r.route.rtm_family = AF_INET;
        r.route.rtm_dst_len = 32;
        r.dst.rta_type = RTA_DST;
        r.dst.rta_len = RTA_LENGTH(4);
        r.address = htonl(addresses[i]);
    }
    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    if (::sendto(fd_, requests.data(), requests.size() * sizeof(Request), 0,
                 reinterpret_cast<sockaddr*>(&kernel), sizeof kernel) < 0) {
        return false;
    }
    int pending = count;
    alignas(nlmsghdr) static thread_local char buffer[65536];
    while (pending > 0) {
        const ssize_t got = ::recv(fd_, buffer, sizeof buffer, 0);
        if (got <= 0) return false;
        int length = static_cast<int>(got);
        for (auto* m = reinterpret_cast<nlmsghdr*>(buffer); NLMSG_OK(m, length);
             m = NLMSG_NEXT(m, length)) {
            // An answer to an earlier batch that timed out is skipped.
            const quint32 i = m->nlmsg_seq - firstSeq;
            if (i >= quint32(count)) continue;
            if (m->nlmsg_type == NLMSG_ERROR) {
                answers[i] = RouteAnswer();
            } else if (m->nlmsg_type == RTM_NEWROUTE) {
                answers[i] = answerOf(m);
            } else {
                continue;
            }
            --pending;
        }
    }
    return true;
}

QList<HostAddress> SystemRouteTable::HostAddresses() {
    QList<HostAddress> found;
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) return found;
    for (const ifaddrs* a = list; a != nullptr; a = a->ifa_next) {
        if (a->ifa_addr == nullptr || a->ifa_addr->sa_family != AF_INET) continue;
        HostAddress h;
        h.interfaceName = QString::fromLocal8Bit(a->ifa_name);
        h.interfaceIndex = static_cast<int>(::if_nametoindex(a->ifa_name));
        h.address = hostOrder(&reinterpret_cast<const sockaddr_in*>(a->ifa_addr)->sin_addr);
        if (a->ifa_netmask != nullptr) {
            const quint32 mask =
                hostOrder(&reinterpret_cast<const sockaddr_in*>(a->ifa_netmask)->sin_addr);
            h.prefix = PrefixOfMask(mask).value_or(32);
        }
        found.append(h);
    }
    ::freeifaddrs(list);
    return found;
}

QString SystemRouteTable::InterfaceName(int index) {
    return InterfaceNameOf(index);
}
