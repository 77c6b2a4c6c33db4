#include "link/ByteReader.h"

#include "link/Codecs.h"
#include "link/VarnexError.h"

void ByteReader::require(int offset, int width) const {
    if (!has(offset, width)) {
        throw VarnexError(QStringLiteral("Datagram too short: %1 bytes at offset %2 of %3")
                              .arg(width)
                              .arg(offset)
                              .arg(data_.size()));
    }
}

quint8 ByteReader::byte(int offset) const {
    require(offset, 1);
    return static_cast<quint8>(data_[offset]);
}

QByteArray ByteReader::bytes(int offset, int width) const {
    require(offset, width);
    return data_.mid(offset, width);
}

QByteArray ByteReader::bytesClipped(int offset, int width) const {
    if (offset < 0 || width <= 0 || offset >= data_.size()) return QByteArray();
    return data_.mid(offset, width);
}

QString ByteReader::mac(int offset) const {
    return DecodeMac(bytes(offset, 6));
}

QString ByteReader::ipv4(int offset) const {
    return DecodeIPv4(bytes(offset, 4));
}

quint16 ByteReader::word16(int offset) const {
    require(offset, 2);
    return static_cast<quint16>(static_cast<quint8>(data_[offset]) |
                                (static_cast<quint8>(data_[offset + 1]) << 8));
}

quint32 ByteReader::word24(int offset) const {
    require(offset, 3);
    return static_cast<quint32>(static_cast<quint8>(data_[offset])) |
           (static_cast<quint32>(static_cast<quint8>(data_[offset + 1])) << 8) |
           (static_cast<quint32>(static_cast<quint8>(data_[offset + 2])) << 16);
}

QString ByteReader::text(int offset, int width) const {
    return DecodeFixedText(bytes(offset, width));
}
