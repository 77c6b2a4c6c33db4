#pragma once

#include <QHash>
#include <QString>

// Where each gateway last answered: the interface its latest reply came in on,
// by MAC text. A datagram for one gateway goes out through that interface
// alone, so it does not reach the other links of the PC; a gateway not yet
// heard from (0) is reached through every interface. Not thread-safe: the
// engine keeps it under its lock.
class GatewayInterfaces {
public:
    void Record(const QString& mac, int interfaceIndex) {
        if (interfaceIndex > 0) byMac_.insert(mac.toUpper(), interfaceIndex);
    }
    int Of(const QString& mac) const { return byMac_.value(mac.toUpper(), 0); }

private:
    QHash<QString, int> byMac_;
};
