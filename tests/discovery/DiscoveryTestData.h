#pragma once

#include "discovery/DiscoveryReply.h"
#include "link/Codecs.h"

#include <QByteArray>

// A "g" reply laid out field by field, as a gateway sends it.
struct GatewayReply {
    QByteArray mac = QByteArray::fromHex("001A2B3C4D5E");
    QByteArray ip = QByteArray::fromHex("C0A80164");       // 192.168.1.100
    QByteArray gateway = QByteArray::fromHex("C0A80101");  // 192.168.1.1
    QByteArray mask = QByteArray::fromHex("FFFFFF00");     // 255.255.255.0
    QByteArray name = "GW-1";
    QByteArray viewIp = QByteArray::fromHex("0A000002");  // 10.0.0.2
    QByteArray version = "1.2.0";
    QByteArray model = "VX-G200";

    GatewayReply& withMac(const char* hex) {
        mac = QByteArray::fromHex(hex);
        return *this;
    }
    GatewayReply& withName(const QByteArray& n) {
        name = n;
        return *this;
    }
    GatewayReply& withVersion(const QByteArray& v) {
        version = v;
        return *this;
    }

    QByteArray datagram() const {
        QByteArray d("\x02g", 2);
        d += mac + ip + gateway + mask + padded(name, 32) + viewIp + padded(version, 8) +
             padded(model, 20);
        d += '\x03';
        return d;
    }

    static QByteArray padded(const QByteArray& text, int width) {
        QByteArray out = text.left(width);
        out.append(QByteArray(width - out.size(), '\0'));
        return out;
    }
};

// The "g" datagram a gateway sends for `r` (empty addresses read 0.0.0.0).
inline QByteArray DatagramOf(const DiscoveryReply& r) {
    const auto address = [](const QString& text) {
        return EncodeIPv4(text.isEmpty() ? QStringLiteral("0.0.0.0") : text);
    };
    GatewayReply g;
    g.mac = EncodeMac(r.Mac);
    g.ip = address(r.IpAddress);
    g.gateway = address(r.Gateway);
    g.mask = address(r.SubnetMask);
    g.name = r.DeviceName.toUtf8();
    g.viewIp = address(r.ViewIp);
    g.version = r.Version.toUtf8();
    g.model = r.Model.toUtf8();
    return g.datagram();
}
