// Replies of a gateway, and the same layouts read from a configuration file.
// Every read goes through ByteReader after the length has been checked once, so
// a short datagram is dropped and never read past its end.
#include "config/ConfigProtocol.h"

#include "link/ByteReader.h"
#include "link/Codecs.h"
#include "link/DeviceDatagram.h"

namespace {
QString number(quint32 v) {
    return QString::number(v);
}

// The index of a code in a list whose first entry has the code `first`; -1 when
// the code is not in the list.
int listIndex(int code, int first, int count) {
    const int i = code - first;
    return i >= 0 && i < count ? i : -1;
}

// The same, or kUnset for the code a builder writes for nothing selected
// (index -1 written as `first - 1`, one byte), where that is allowed.
constexpr int kUnset = -2;
int listIndex(int code, int first, int count, ListCodes codes) {
    if (codes == ListCodes::UnsetAllowed && code == ((first - 1) & 0xFF)) return kUnset;
    return listIndex(code, first, count);
}

int selected(int index) {
    return index == kUnset ? -1 : index;
}
}  // namespace

bool ParseNetworkConfig(const QByteArray& bytes, NetworkSettings& out) {
    const ByteReader d(bytes);
    if (!d.has(0, ConfigSize::Network)) return false;
    NetworkSettings n;
    n.networkType = d.byte(8);
    n.ipAddress = d.ipv4(9);
    n.gateway = d.ipv4(13);
    n.subnetMask = d.ipv4(17);
    n.dns = d.ipv4(21);
    n.deviceName = DecodeUtf8Field(d.bytes(25, 32));
    n.varnexViewIp = d.ipv4(57);
    n.varnexViewPort = number(d.word16(61));
    n.telnet = d.byte(63);
    n.ssh = d.byte(64);
    n.ftp = d.byte(65);
    n.web = d.byte(66);
    n.lanPortPresent = d.byte(67) == 1;
    n.bridge = d.byte(68);
    n.lanIpAddress = d.ipv4(69);
    n.lanSubnetMask = d.ipv4(73);
    n.portCount = d.byte(78);
    n.echoByte = d.byte(79);
    n.sourceId = d.word24(80);
    out = n;
    return true;
}

bool ParsePortConfig(const QByteArray& bytes, int portCount, PortReply& out, ListCodes codes) {
    const ByteReader d(bytes);
    if (!d.has(0, ConfigSize::Port)) return false;
    const int row = d.byte(8);
    const int operation = listIndex(d.byte(9), 0, ConfigLists::Operation().size(), codes);
    if (row >= portCount || operation == -1) return false;
    PortReply p;
    p.row = row;
    p.cells.operation = selected(operation);
    p.cells.srcPort = number(d.word16(10));
    p.cells.aliasBytes = d.bytes(12, 16);
    p.cells.alias = DecodeFixedText(p.cells.aliasBytes);
    p.cells.destIp = d.ipv4(28);
    p.cells.destPort = number(d.word16(32));
    p.cells.alive = number(d.word16(34));
    p.cells.latency = number(d.word16(36));
    out = p;
    return true;
}

bool ParseLoRaConfig(const QByteArray& bytes, int portCount, LoRaReply& out, ListCodes codes) {
    const ByteReader d(bytes);
    if (!d.has(0, ConfigSize::LoRa)) return false;
    LoRaReply l;
    l.row = d.byte(8);
    const int channel = listIndex(d.byte(9), 1, ConfigLists::Channel().size(), codes);
    const int sf = listIndex(d.byte(10), 7, ConfigLists::SpreadingFactor().size(), codes);
    const int aes = listIndex(d.byte(14), 0, ConfigLists::Aes().size(), codes);
    const int version = listIndex(d.byte(15), 1, ConfigLists::ProtocolVersion().size(), codes);
    if (l.row >= portCount || channel == -1 || sf == -1 || aes == -1 || version == -1) return false;
    l.cells.channel = selected(channel);
    l.cells.spreadingFactor = selected(sf);
    l.cells.destinationId = number(d.word24(11));
    l.cells.aes = selected(aes);
    l.cells.protocolVersion = selected(version);
    out = l;
    return true;
}

ConfigReply ParseConfigReply(const QByteArray& datagram, const QString& mac, int portCount) {
    ConfigReply reply;
    const auto letter = ReplyLetter(datagram);
    if (!letter) return reply;
    const ByteReader d(datagram);
    // Our own queries and writes come back with our MAC and an upper-case letter;
    // they end at the letter test below.
    if (!d.has(2, 6) || d.bytes(2, 6) != TryEncodeMac(mac)) return reply;
    switch (*letter) {
        case 'n':
            if (ParseNetworkConfig(datagram, reply.network))
                reply.kind = ConfigReply::Kind::Network;
            break;
        case 'o':
            if (ParsePortConfig(datagram, portCount, reply.port))
                reply.kind = ConfigReply::Kind::Port;
            break;
        case 'u':
            if (ParseLoRaConfig(datagram, portCount, reply.lora))
                reply.kind = ConfigReply::Kind::LoRa;
            break;
        case 'a':
            if (d.size() >= ConfigSize::Query) reply.kind = ConfigReply::Kind::Applied;
            break;
        default:
            break;
    }
    return reply;
}
