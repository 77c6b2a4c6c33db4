#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// What one gateway reports in its "g" reply, decoded and ready for the device list.
struct DiscoveryReply {
    QString Model;
    QString Mac;
    QString Version;
    QString DeviceName;
    QString IpAddress;
    QString SubnetMask;
    QString Gateway;
    QString ViewIp;          // VarnexView IP
    int InterfaceIndex = 0;  // where the reply came in (0: not known)
};

// Decodes a datagram already recognised as a "g" reply. A reply too short to hold
// every field (84 bytes of fields plus ETX) is not a device we could list
// faithfully, so it gives nothing rather than a half-filled row. Bytes between the
// model and the final ETX are ignored. Safe on any thread.
std::optional<DiscoveryReply> DecodeDiscoveryReply(const QByteArray& datagram);

// The length of a complete reply: the fields end at offset 84, then ETX.
constexpr int DiscoveryReplyMinSize = 85;
