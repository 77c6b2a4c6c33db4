#include "SimConfig.h"

#include "SimGateway.h"
#include "SimOptions.h"
#include "Simulator.h"

#include "link/ByteReader.h"
#include "link/Codecs.h"
#include "link/DeviceDatagram.h"

#include <QJsonArray>

namespace {
constexpr int kQuerySize = 9;
constexpr int kNetworkSize = 84;
constexpr int kPortSize = 39;
constexpr int kLoRaSize = 17;
constexpr int kKeptLetters = 1000;  // so that a long run does not grow without bound

QByteArray frame(char letter, const QByteArray& mac, const QByteArray& body, int size) {
    QByteArray d = FrameDatagram(letter, mac + body);
    Q_ASSERT(d.size() == size);
    Q_UNUSED(size);
    return d;
}

// Numbers of the configuration datagrams travel low byte first.
QByteArray lowFirst(quint32 v, int width) {
    QByteArray out(width, '\0');
    for (int i = 0; i < width; ++i) out[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    return out;
}
QByteArray word16(int v) {
    return lowFirst(static_cast<quint32>(v), 2);
}
QByteArray word24(quint32 v) {
    return lowFirst(v, 3);
}

void remember(QByteArray& letters, char letter) {
    letters.append(letter);
    if (letters.size() > kKeptLetters) letters.remove(0, letters.size() - kKeptLetters);
}

QByteArray networkReply(const SimGateway& gw) {
    QByteArray d = gw.config.network;
    d.replace(9, 4, gw.ip);
    d.replace(13, 4, gw.gateway);
    d.replace(17, 4, gw.mask);
    d.replace(25, 32, EncodeDeviceName(gw.name));
    d.replace(57, 4, gw.viewIp);
    return d;
}

// What a gateway keeps of a network write: all of it but its own PortCount
// (its hardware), its LoRa source ID and the unused byte 77.
void takeNetworkWrite(SimGateway& gw, const QByteArray& write) {
    const ByteReader in(write);
    QByteArray& kept = gw.config.network;
    const QByteArray own = kept;
    kept = write;
    kept[1] = 'n';
    kept[77] = own[77];
    kept[78] = own[78];
    kept.replace(80, 3, own.mid(80, 3));
    gw.ip = in.bytes(9, 4);
    gw.gateway = in.bytes(13, 4);
    gw.mask = in.bytes(17, 4);
    gw.name = DecodeDeviceName(in.bytes(25, 32));
    gw.viewIp = in.bytes(57, 4);
}

// A row write replaces the row it names; a row the gateway does not have is
// dropped.
void takeRowWrite(QVector<QByteArray>& rows, const QByteArray& write, char replyLetter) {
    const int row = ByteReader(write).byte(8);
    if (row >= rows.size()) return;
    rows[row] = write;
    rows[row][1] = replyLetter;
}

bool silent(const Simulator& sim, char letter) {
    const QString key = QStringLiteral("cfg-silent");
    return sim.faults().has(key) && sim.faults().value(key).contains(QLatin1Char(letter));
}

// One reply per row. With cfg-bad-row each row names row PortCount + its own,
// which no dialog has.
void answerRows(const Simulator& sim, const SimGateway& gw, const QVector<QByteArray>& rows,
                SimReplies& out) {
    const bool badRow = sim.faults().has(QStringLiteral("cfg-bad-row"));
    const int portCount = ByteReader(gw.config.network).byte(78);
    for (const QByteArray& row : rows) {
        SimReply reply;
        reply.data = row;
        if (badRow) reply.data[8] = static_cast<char>((ByteReader(row).byte(8) + portCount) & 0xFF);
        out.push_back(reply);
    }
}

void answerQuery(Simulator& sim, SimGateway& gw, char letter, SimReplies& out) {
    remember(gw.config.queries, letter);
    if (silent(sim, letter)) return;
    if (letter == 'N') {
        SimReply reply;
        reply.data = networkReply(gw);
        out.push_back(reply);
    } else if (letter == 'O') {
        answerRows(sim, gw, gw.config.ports, out);
    } else if (letter == 'U') {
        answerRows(sim, gw, gw.config.loras, out);
    }
}
}  // namespace

bool IgnoresWrites(const Simulator& sim) {
    return sim.faults().has(QStringLiteral("ignore-writes"));
}

void HandleConfig(Simulator& sim, char letter, const QByteArray& datagram, SimReplies& out) {
    const ByteReader in(datagram);
    if (!in.has(2, 6)) return;
    SimGateway* gw = sim.findByMac(in.bytes(2, 6));
    if (gw == nullptr || !sim.addressedTo(*gw)) return;

    const int size = datagram.size();
    const size_t before = out.size();
    if (size == kQuerySize && letter != 'A') {
        answerQuery(sim, *gw, letter, out);
    } else if (letter == 'A' && size == kQuerySize) {
        remember(gw->config.writes, 'A');
        if (!silent(sim, 'A')) out.push_back({FrameDatagram('a', gw->mac), 0, false});
    } else if (letter == 'N' && size == kNetworkSize) {
        remember(gw->config.writes, 'N');
        if (!IgnoresWrites(sim)) takeNetworkWrite(*gw, datagram);
    } else if (letter == 'O' && size == kPortSize) {
        remember(gw->config.writes, 'O');
        if (!IgnoresWrites(sim)) takeRowWrite(gw->config.ports, datagram, 'o');
    } else if (letter == 'U' && size == kLoRaSize) {
        remember(gw->config.writes, 'U');
        if (!IgnoresWrites(sim)) takeRowWrite(gw->config.loras, datagram, 'u');
    }
    const int delay = sim.faults().intValue(QStringLiteral("cfg-delay"), 0);
    for (size_t i = before; i < out.size(); ++i) out[i].delayMs += delay;
}

void InitConfig(SimGateway& gw, int index, const SimOptions& options) {
    const int ports = options.portsFor(index);
    const int loras = options.loraFor(index);
    // Values that differ from gateway to gateway, so that a test can tell them apart.
    QByteArray body;
    body.append(char(0));                          // 8: static address
    body.append(QByteArray(16, '\0'));             // 9..24: the gateway's own, see networkReply
    body.append(QByteArray(32, '\0'));             // 25: name, likewise
    body.append(QByteArray(4, '\0'));              // 57: VarnexView IP, likewise
    body.append(word16(8080 + index));             // 61: VarnexView port
    body.append(QByteArray::fromHex("01000001"));  // 63..66: Telnet, SSH, FTP, WEB
    body.append(char(1));                          // 67: a LAN port
    body.append(char(index % 2));                  // 68: bridged on even gateways
    body.append(QByteArray::fromHex("c0a80a01"));  // 69: LAN IP 192.168.10.1
    body.append(QByteArray::fromHex("ffffff00"));  // 73: LAN mask
    body.append(char(0));                          // 77
    body.append(char(ports));                      // 78: PortCount
    body.append(char((0x50 + index) & 0xFF));      // 79: EchoByte
    body.append(word24(static_cast<quint32>(gw.mac.right(3).toHex().toUInt(nullptr, 16))));  // 80
    gw.config.network = frame('n', gw.mac, body, kNetworkSize);
    gw.config.network.replace(21, 4, gw.gateway);  // DNS: the router
    gw.config.ports.clear();
    for (int r = 0; r < ports; ++r) {
        QByteArray row;
        row.append(char(r));
        row.append(char(r % 10));  // operation
        row.append(word16(4001 + r));
        row.append(EncodePaddedText(QStringLiteral("COM%1").arg(r + 1).toLatin1(), 16));
        row.append(QByteArray::fromHex("c6130001"));  // dest 198.19.0.1
        row.append(word16(5000 + r));
        row.append(word16(60));
        row.append(word16(r * 10));
        gw.config.ports.append(frame('o', gw.mac, row, kPortSize));
    }
    gw.config.loras.clear();
    for (int r = 0; r < loras; ++r) {
        QByteArray row;
        row.append(char(r));
        row.append(char(1 + r % 20));  // channel
        row.append(char(7 + r % 6));   // spreading factor
        row.append(word24(static_cast<quint32>(1000 + r)));
        row.append(char(r % 2));  // AES
        row.append(char(1));      // protocol version 1.0
        gw.config.loras.append(frame('u', gw.mac, row, kLoRaSize));
    }
}

QJsonObject ConfigToJson(const SimGateway& gw) {
    const SimConfigState& c = gw.config;
    if (c.network.size() != kNetworkSize) return QJsonObject();
    const ByteReader n(networkReply(gw));
    QJsonObject network{
        {QStringLiteral("type"), n.byte(8)},
        {QStringLiteral("ip"), n.ipv4(9)},
        {QStringLiteral("gateway"), n.ipv4(13)},
        {QStringLiteral("mask"), n.ipv4(17)},
        {QStringLiteral("dns"), n.ipv4(21)},
        {QStringLiteral("name"), DecodeUtf8Field(n.bytes(25, 32))},
        {QStringLiteral("viewIp"), n.ipv4(57)},
        {QStringLiteral("viewPort"), n.word16(61)},
        {QStringLiteral("telnet"), n.byte(63)},
        {QStringLiteral("ssh"), n.byte(64)},
        {QStringLiteral("ftp"), n.byte(65)},
        {QStringLiteral("web"), n.byte(66)},
        {QStringLiteral("lanPort"), n.byte(67)},
        {QStringLiteral("bridge"), n.byte(68)},
        {QStringLiteral("lanIp"), n.ipv4(69)},
        {QStringLiteral("lanMask"), n.ipv4(73)},
        {QStringLiteral("portCount"), n.byte(78)},
        {QStringLiteral("echo"), n.byte(79)},
        {QStringLiteral("sourceId"), static_cast<qint64>(n.word24(80))},
    };
    QJsonArray ports;
    for (const QByteArray& row : c.ports) {
        const ByteReader p(row);
        ports.append(QJsonObject{
            {QStringLiteral("row"), p.byte(8)},
            {QStringLiteral("operation"), p.byte(9)},
            {QStringLiteral("srcPort"), p.word16(10)},
            {QStringLiteral("alias"), p.text(12, 16)},
            {QStringLiteral("destIp"), p.ipv4(28)},
            {QStringLiteral("destPort"), p.word16(32)},
            {QStringLiteral("alive"), p.word16(34)},
            {QStringLiteral("latency"), p.word16(36)},
        });
    }
    QJsonArray loras;
    for (const QByteArray& row : c.loras) {
        const ByteReader u(row);
        loras.append(QJsonObject{
            {QStringLiteral("row"), u.byte(8)},
            {QStringLiteral("channel"), u.byte(9)},
            {QStringLiteral("spreadingFactor"), u.byte(10)},
            {QStringLiteral("destinationId"), static_cast<qint64>(u.word24(11))},
            {QStringLiteral("aes"), u.byte(14)},
            {QStringLiteral("protocolVersion"), u.byte(15)},
        });
    }
    return QJsonObject{
        {QStringLiteral("network"), network},
        {QStringLiteral("ports"), ports},
        {QStringLiteral("lora"), loras},
        {QStringLiteral("queries"), QString::fromLatin1(c.queries)},
        {QStringLiteral("writes"), QString::fromLatin1(c.writes)},
    };
}
