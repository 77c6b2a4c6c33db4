#pragma once

#include <QList>
#include <QString>

// The PC's network interfaces as the endpoint sees them. A plant PC often has
// several links (a plant NIC without a default route beside Wi-Fi or an office
// link), and a limited broadcast sent the plain way leaves only through the
// default route's interface, so every broadcast is sent once through each of these.
struct NetInterface {
    int index = 0;  // the system's interface index
    QString name;   // "eth0", "enp3s0", ...
};

// The IPv4 interfaces that are up with a link, can broadcast, are not loopback
// and hold an IPv4 address, in the system's order, listed afresh at each call so
// that a cable plugged in or a link gone down since the last call counts. With
// `onlyName` set, that interface alone when it qualifies.
QList<NetInterface> BroadcastInterfaces(const QString& onlyName = QString());

// The name of an interface index, or an empty text when there is none.
QString InterfaceNameOf(int index);
// The index of an interface name, or 0 when there is none.
int InterfaceIndexOf(const QString& name);
