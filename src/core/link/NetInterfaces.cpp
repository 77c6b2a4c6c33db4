#include "link/NetInterfaces.h"

#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

QList<NetInterface> BroadcastInterfaces(const QString& onlyName) {
    QList<NetInterface> found;
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) return found;
    for (const ifaddrs* a = list; a != nullptr; a = a->ifa_next) {
        if (a->ifa_addr == nullptr || a->ifa_addr->sa_family != AF_INET) continue;
        const unsigned flags = a->ifa_flags;
        // IFF_RUNNING: a link whose cable is out (or whose peer is down) takes
        // nothing, so it is not worth a copy.
        if (!(flags & IFF_UP) || !(flags & IFF_RUNNING) || !(flags & IFF_BROADCAST) ||
            (flags & IFF_LOOPBACK)) {
            continue;
        }
        const QString name = QString::fromLocal8Bit(a->ifa_name);
        if (!onlyName.isEmpty() && name != onlyName) continue;
        const int index = static_cast<int>(::if_nametoindex(a->ifa_name));
        if (index == 0) continue;
        // An interface with several IPv4 addresses is listed once.
        bool seen = false;
        for (const NetInterface& i : found) seen = seen || i.index == index;
        if (!seen) found.append(NetInterface{index, name});
    }
    ::freeifaddrs(list);
    return found;
}

QString InterfaceNameOf(int index) {
    char name[IF_NAMESIZE] = {0};
    if (index <= 0 || ::if_indextoname(static_cast<unsigned>(index), name) == nullptr)
        return QString();
    return QString::fromLocal8Bit(name);
}

int InterfaceIndexOf(const QString& name) {
    if (name.isEmpty()) return 0;
    return static_cast<int>(::if_nametoindex(name.toLocal8Bit().constData()));
}
