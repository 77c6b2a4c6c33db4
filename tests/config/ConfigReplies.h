#pragma once

// Gateway replies for the dialog's tests, made from the write datagrams with the
// letter turned to lower case, as a gateway answers.

#include "config/ConfigProtocol.h"

#include <QByteArray>
#include <QString>

namespace ConfigReplies {

inline QByteArray asReply(QByteArray datagram, char letter) {
    datagram[1] = letter;
    return datagram;
}

// A gateway with `rows` serial ports and its LAN port.
inline NetworkSettings network(int rows, const QString& name = QStringLiteral("gw-one")) {
    NetworkSettings n;
    n.networkType = 0;
    n.ipAddress = QStringLiteral("198.19.0.10");
    n.gateway = QStringLiteral("198.19.0.1");
    n.subnetMask = QStringLiteral("255.254.0.0");
    n.dns = QStringLiteral("198.19.0.2");
    n.deviceName = name;
    n.varnexViewIp = QStringLiteral("198.19.0.3");
    n.varnexViewPort = QStringLiteral("5000");
    n.telnet = 1;
    n.ssh = 0;
    n.ftp = 1;
    n.web = 1;
    n.lanPortPresent = true;
    n.bridge = 1;
    n.lanIpAddress = QStringLiteral("192.168.10.1");
    n.lanSubnetMask = QStringLiteral("255.255.255.0");
    n.portCount = rows;
    n.echoByte = 5;
    return n;
}

inline QByteArray networkReply(const QString& mac, const NetworkSettings& n,
                               quint32 sourceId = 0x123456) {
    QByteArray d = asReply(BuildNetworkConfig(mac, n), 'n');
    d[80] = static_cast<char>(sourceId & 0xFF);
    d[81] = static_cast<char>((sourceId >> 8) & 0xFF);
    d[82] = static_cast<char>((sourceId >> 16) & 0xFF);
    return d;
}

inline PortRow port(int row) {
    PortRow p;
    p.alias = QStringLiteral("COM%1").arg(row + 1);
    p.operation = 9;  // RFC2217
    p.srcPort = QString::number(4001 + row);
    p.destIp = QStringLiteral("10.0.0.%1").arg(5 + row);
    p.destPort = QString::number(4001 + row);
    p.alive = QStringLiteral("0");
    p.latency = QStringLiteral("0");
    return p;
}

inline QByteArray portReply(const QString& mac, int row, const PortRow& p) {
    return asReply(BuildPortConfig(mac, row, p), 'o');
}

inline LoRaRow lora(int row) {
    LoRaRow l;
    l.channel = row;        // "1", "2", ...
    l.spreadingFactor = 5;  // "12"
    l.destinationId = QString::number(100 + row);
    l.aes = 1;
    l.protocolVersion = 1;  // "2.0"
    return l;
}

inline QByteArray loraReply(const QString& mac, int row, const LoRaRow& l) {
    return asReply(BuildLoRaConfig(mac, row, l), 'u');
}

inline QByteArray applied(const QString& mac) {
    return asReply(ConfigApply(mac), 'a');
}

}  // namespace ConfigReplies
