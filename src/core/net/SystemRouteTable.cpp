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

#include <cstring>

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
    if (fd_ < 0) return RouteAnswer();
    struct {
        nlmsghdr header;
        rtmsg route;
        char attributes[RTA_SPACE(4)];
    } request{};
    request.header.nlmsg_len = NLMSG_LENGTH(sizeof(rtmsg));
    request.header.nlmsg_type = RTM_GETROUTE;
    request.header.nlmsg_flags = NLM_F_REQUEST;
    request.header.nlmsg_seq = ++seq_;
    request.route.rtm_family = AF_INET;
    request.route.rtm_dst_len = 32;
    auto* dst = reinterpret_cast<rtattr*>(reinterpret_cast<char*>(&request) +
                                          NLMSG_ALIGN(request.header.nlmsg_len));
    dst->rta_type = RTA_DST;
    dst->rta_len = RTA_LENGTH(4);
    const quint32 networkOrder = htonl(address);
    std::memcpy(RTA_DATA(dst), &networkOrder, 4);
    request.header.nlmsg_len = NLMSG_ALIGN(request.header.nlmsg_len) + RTA_LENGTH(4);

    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    if (::sendto(fd_, &request, request.header.nlmsg_len, 0, reinterpret_cast<sockaddr*>(&kernel),
                 sizeof kernel) < 0) {
        return RouteAnswer();
    }
    alignas(nlmsghdr) char buffer[8192];
    for (;;) {
        const ssize_t got = ::recv(fd_, buffer, sizeof buffer, 0);
        if (got <= 0) return RouteAnswer();
        int length = static_cast<int>(got);
        for (auto* m = reinterpret_cast<nlmsghdr*>(buffer); NLMSG_OK(m, length);
             m = NLMSG_NEXT(m, length)) {
            // An answer to an earlier request that timed out is skipped.
            if (m->nlmsg_seq != seq_) continue;
            if (m->nlmsg_type == NLMSG_ERROR) return RouteAnswer();
            if (m->nlmsg_type == RTM_NEWROUTE) return answerOf(m);
        }
    }
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
