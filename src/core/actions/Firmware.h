#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The firmware datagrams: an image goes to a gateway in "F" chunks of at most
// 128 bytes, each acknowledged by an "f" before the next one leaves, and ends
// with an "F" that carries the image's size and checksum.
namespace Firmware {
constexpr int ChunkSize = 128;
constexpr int HeaderSize = 39;  // STX, "F", MAC, sequence, kind, count, checksum
constexpr int EndSize = 40;
// Counters travel in 10 digits and are kept in 32 bits: an image stays below 2 GiB.
constexpr qint64 MaxImageSize = 0x7FFFFFFF;
}  // namespace Firmware

// XOR of every byte shifted left by its position modulo 24, starting from
// 0xFFFFFFFF. Positions count within a chunk for the chunk checksum and within
// the whole image for the image checksum, so the one is not made of the others.
class FirmwareChecksum {
public:
    static constexpr quint32 Start = 0xFFFFFFFFu;

    void Add(quint8 byte, qint64 position) {
        value_ ^= static_cast<quint32>(byte) << static_cast<int>(position % 24);
    }
    // `bytes` lie at positions first, first + 1, ...
    void Add(const QByteArray& bytes, qint64 first);
    void Reset() { value_ = Start; }
    quint32 Value() const { return value_; }

private:
    quint32 value_ = Start;
};

// 40 + n bytes: STX, "F", MAC, sequence (8), 0x00, n (10), chunk checksum (12),
// the n data bytes, ETX. Numbers are decimal digits padded with 0x00.
QByteArray FirmwareChunk(const QByteArray& mac, qint32 sequence, const QByteArray& data,
                         quint32 checksum);

// 40 bytes: STX, "F", MAC, number of chunks (8), 0x01, image size (10), image
// checksum (12), ETX.
QByteArray FirmwareEnd(const QByteArray& mac, qint32 sequence, qint64 size, quint32 checksum);

// An "f" acknowledgement as the program reads it: the sequence field at offset 8
// (8 bytes, ending at the first 0x00, leading blanks skipped) and the status byte
// at offset 16, where 0x00 accepts. In a 17-byte acknowledgement that byte is the
// ETX, so it refuses; a shorter one has no status byte and refuses as well.
struct FirmwareAck {
    std::optional<qint32> sequence;  // none: the field is not a number
    bool accepted = false;
};
FirmwareAck ParseFirmwareAck(const QByteArray& datagram);

// What an acknowledgement of the upgrade's own gateway means for the datagram
// with sequence number `sent`. Only a refusal that names that very datagram
// fails it; one with a later number lets the upgrade go on, since the gateway
// would have refused the datagram it did not expect. One that names a datagram
// already acknowledged (a late or doubled copy) counts for nothing.
enum class AckVerdict { Accepted, Refused, Unreadable, Stale };
AckVerdict JudgeFirmwareAck(const QByteArray& datagram, qint32 sent);
