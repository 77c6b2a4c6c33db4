// The write datagrams, built from what the dialog shows. Every value is checked
// before a byte is written: a value that would not arrive as the operator typed
// it (cut to its low bits, or not a number at all) fails the whole build.
#include "config/ConfigProtocol.h"

#include "link/Codecs.h"
#include "link/DeviceDatagram.h"
#include "link/VarnexError.h"

namespace {
// Fills a datagram of its final size; offsets are from the STX.
class DatagramWriter {
public:
    DatagramWriter(int size, char letter, const QString& mac) : data_(size, '\0') {
        data_[0] = DeviceDatagram::STX;
        data_[1] = letter;
        put(2, EncodeMac(mac));
        data_[size - 1] = DeviceDatagram::ETX;
    }
    void byte(int offset, int value) { data_[offset] = static_cast<char>(value & 0xFF); }
    void put(int offset, const QByteArray& bytes) { data_.replace(offset, bytes.size(), bytes); }
    const QByteArray& data() const { return data_; }

private:
    QByteArray data_;
};

[[noreturn]] void outOfRange(const QString& field, const QString& text, qint64 max) {
    throw VarnexError(
        QStringLiteral("%1: '%2' is out of range (0 to %3)").arg(field, text).arg(max));
}

// A number typed by the operator; the text must convert (the usual integer
// error otherwise) and lie within 0..max.
qint32 checkedNumber(const QString& field, const QString& text, qint64 max) {
    const qint32 v = StrToInt(text);
    if (v < 0 || v > max) outOfRange(field, text, max);
    return v;
}

QByteArray address(const QString& field, const QString& text) {
    const QStringList parts = text.split(QLatin1Char('.'));
    if (parts.size() != 4) return EncodeIPv4(text);  // raises its own message
    QByteArray out(4, '\0');
    for (int i = 0; i < 4; ++i) {
        const qint32 v = StrToInt(parts[i]);
        if (v < 0 || v > 255) {
            throw VarnexError(QStringLiteral("%1: '%2' is not a valid address (each part 0 to 255)")
                                  .arg(field, text));
        }
        out[i] = static_cast<char>(v);
    }
    return out;
}

QByteArray word16(const QString& field, const QString& text) {
    const qint32 v = checkedNumber(field, text, 65535);
    QByteArray out(2, '\0');
    out[0] = static_cast<char>(v & 0xFF);
    out[1] = static_cast<char>(v >> 8);
    return out;
}

QByteArray word24(const QString& field, const QString& text) {
    // An empty number cell reads 0, as the grid gives it.
    const qint32 v = text.isEmpty() ? 0 : checkedNumber(field, text, 0xFFFFFF);
    QByteArray out(3, '\0');
    out[0] = static_cast<char>(v & 0xFF);
    out[1] = static_cast<char>((v >> 8) & 0xFF);
    out[2] = static_cast<char>((v >> 16) & 0xFF);
    return out;
}

// The alias travels one byte per character. The bytes received are written back
// unchanged while the text shown is still theirs.
QByteArray alias(const QString& field, const PortRow& cells) {
    if (cells.aliasBytes.size() == 16 && DecodeFixedText(cells.aliasBytes) == cells.alias) {
        return cells.aliasBytes;
    }
    for (QChar c : cells.alias) {
        if (c.unicode() > 0xFF) {
            throw VarnexError(QStringLiteral("%1: '%2' holds characters that cannot be sent")
                                  .arg(field, cells.alias));
        }
    }
    const QByteArray bytes = cells.alias.toLatin1();
    if (bytes.size() > 16) {
        throw VarnexError(
            QStringLiteral("%1: '%2' is longer than 16 characters").arg(field, cells.alias));
    }
    return EncodePaddedText(bytes, 16);
}

QString portField(int row, const char* column) {
    return QStringLiteral("Operation Mode row %1, %2").arg(row + 1).arg(QLatin1String(column));
}

QString loraField(int row, const char* column) {
    return QStringLiteral("LoRa Option row %1, %2").arg(row + 1).arg(QLatin1String(column));
}

[[noreturn]] void rowBoundsError(int row) {
    throw VarnexError(QStringLiteral("Cells row bounds error[%1]").arg(row));
}
}  // namespace

QByteArray BuildNetworkConfig(const QString& mac, const NetworkSettings& n) {
    DatagramWriter w(ConfigSize::Network, 'N', mac);
    // A list with nothing selected travels as 0xFF.
    w.byte(8, n.networkType);
    w.put(9, address(QStringLiteral("IP Address"), n.ipAddress));
    w.put(13, address(QStringLiteral("Gateway"), n.gateway));
    w.put(17, address(QStringLiteral("Subnet Mask"), n.subnetMask));
    w.put(21, address(QStringLiteral("DNS"), n.dns));
    w.put(25, EncodeDeviceName(n.deviceName));
    w.put(57, address(QStringLiteral("VarnexView IP"), n.varnexViewIp));
    w.put(61, word16(QStringLiteral("VarnexView port"), n.varnexViewPort));
    w.byte(63, n.telnet);
    w.byte(64, n.ssh);
    w.byte(65, n.ftp);
    w.byte(66, n.web);
    w.byte(67, n.lanPortPresent ? 1 : 0);
    w.byte(68, n.bridge);
    w.put(69, address(QStringLiteral("LAN IP Address"), n.lanIpAddress));
    w.put(73, address(QStringLiteral("LAN Subnet Mask"), n.lanSubnetMask));
    // 77 and the source ID at 80..82 stay 0x00: the gateway owns its source ID.
    w.byte(78, n.portCount);
    w.byte(79, n.echoByte);
    return w.data();
}

QByteArray BuildPortConfig(const QString& mac, int row, const PortRow& c) {
    DatagramWriter w(ConfigSize::Port, 'O', mac);
    w.byte(8, row);
    w.byte(9, c.operation);  // -1 (not in the list) travels as 0xFF
    w.put(10, word16(portField(row, "Src Port"), c.srcPort));
    w.put(12, alias(portField(row, "Port Alias"), c));
    w.put(28, address(portField(row, "Dest IP"), c.destIp));
    w.put(32, word16(portField(row, "Dest Port"), c.destPort));
    w.put(34, word16(portField(row, "Alive"), c.alive));
    w.put(36, word16(portField(row, "Latency"), c.latency));
    return w.data();
}

QByteArray BuildLoRaConfig(const QString& mac, int row, const LoRaRow& c) {
    DatagramWriter w(ConfigSize::LoRa, 'U', mac);
    w.byte(8, row);
    // The channel and spreading factor bytes hold the numbers shown; a text not
    // in its list gives channel 0, spreading factor 6, AES 0xFF, version 0.
    w.byte(9, c.channel + 1);
    w.byte(10, c.spreadingFactor + 7);
    w.put(11, word24(loraField(row, "Destination ID"), c.destinationId));
    w.byte(14, c.aes);
    w.byte(15, c.protocolVersion + 1);
    return w.data();
}

QList<SectionWrite> BuildConfigWrite(const QString& mac, const ChangeMarks& marks,
                                     const DeviceConfig& config) {
    const int rows = config.network.portCount & 0xFF;
    QList<SectionWrite> out;
    if (marks.network) {
        out.append({ConfigSection::Network, {BuildNetworkConfig(mac, config.network)}});
    }
    if (marks.operation) {
        SectionWrite s{ConfigSection::Operation, {}};
        for (int r = 0; r < rows; ++r) {
            if (r >= config.ports.size()) rowBoundsError(r);
            s.datagrams.append(BuildPortConfig(mac, r, config.ports[r]));
        }
        out.append(s);
    }
    if (marks.lora) {
        SectionWrite s{ConfigSection::LoRa, {}};
        for (int r = 0; r < rows; ++r) {
            if (r >= config.loras.size()) rowBoundsError(r);
            s.datagrams.append(BuildLoRaConfig(mac, r, config.loras[r]));
        }
        out.append(s);
    }
    return out;
}
