#include "discovery/DiscoveryReply.h"

#include "link/ByteReader.h"
#include "link/Codecs.h"

std::optional<DiscoveryReply> DecodeDiscoveryReply(const QByteArray& datagram) {
    if (datagram.size() < DiscoveryReplyMinSize) return std::nullopt;
    const ByteReader r(datagram);
    DiscoveryReply reply;
    reply.Mac = r.mac(2);
    reply.IpAddress = r.ipv4(8);
    // On the wire the gateway comes before the mask.
    reply.Gateway = r.ipv4(12);
    reply.SubnetMask = r.ipv4(16);
    reply.DeviceName = DecodeDeviceName(r.bytes(20, 32));
    reply.ViewIp = r.ipv4(52);
    reply.Version = r.text(56, 8);
    reply.Model = r.text(64, 20);
    return reply;
}
