#include "actions/Firmware.h"

#include "link/ByteReader.h"
#include "link/Codecs.h"
#include "link/DeviceDatagram.h"

namespace {
constexpr char KindChunk = 0x00;
constexpr char KindEnd = 0x01;

QByteArray header(const QByteArray& mac, qint32 sequence, char kind, qint64 count,
                  quint32 checksum) {
    QByteArray out;
    out.reserve(Firmware::HeaderSize + Firmware::ChunkSize + 1);
    out += DeviceDatagram::STX;
    out += 'F';
    out += EncodePaddedText(mac.left(6), 6);
    out += EncodeDecimalField(sequence, 8);
    out += kind;
    out += EncodeDecimalField(count, 10);
    out += EncodeDecimalField(checksum, 12);
    return out;
}
}  // namespace

void FirmwareChecksum::Add(const QByteArray& bytes, qint64 first) {
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        Add(static_cast<quint8>(bytes[i]), first + i);
    }
}

QByteArray FirmwareChunk(const QByteArray& mac, qint32 sequence, const QByteArray& data,
                         quint32 checksum) {
    QByteArray out = header(mac, sequence, KindChunk, data.size(), checksum);
    out += data;
    out += DeviceDatagram::ETX;
    return out;
}

QByteArray FirmwareEnd(const QByteArray& mac, qint32 sequence, qint64 size, quint32 checksum) {
    QByteArray out = header(mac, sequence, KindEnd, size, checksum);
    out += DeviceDatagram::ETX;
    return out;
}

FirmwareAck ParseFirmwareAck(const QByteArray& datagram) {
    const ByteReader in(datagram);
    // A short acknowledgement holds only part of the field, its ETX included.
    QByteArray field = in.bytesClipped(8, 8);
    const int nul = field.indexOf('\0');
    if (nul >= 0) field.truncate(nul);

    FirmwareAck ack;
    // Leading blanks are skipped; then decimal digits only, to the field's end.
    int i = 0;
    while (i < field.size() && (field[i] == ' ' || field[i] == '\t')) ++i;
    const QByteArray digits = field.mid(i);
    bool isNumber = !digits.isEmpty();
    for (const char c : digits) isNumber = isNumber && c >= '0' && c <= '9';
    qint32 value = 0;
    if (isNumber && TryStrToInt(QString::fromLatin1(digits), value)) ack.sequence = value;
    ack.accepted = in.has(16, 1) && in.byte(16) == 0x00;
    return ack;
}

AckVerdict JudgeFirmwareAck(const QByteArray& datagram, qint32 sent) {
    const FirmwareAck ack = ParseFirmwareAck(datagram);
    if (!ack.sequence) return AckVerdict::Unreadable;
    // The number of a datagram the gateway has taken already: a late or doubled
    // copy, which must not count for the one in flight.
    if (*ack.sequence >= 0 && *ack.sequence < sent) return AckVerdict::Stale;
    if (*ack.sequence == sent && !ack.accepted) return AckVerdict::Refused;
    return AckVerdict::Accepted;
}
