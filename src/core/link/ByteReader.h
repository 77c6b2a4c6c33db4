#pragma once

#include <QByteArray>
#include <QString>

// Bounds-checked reads from a received datagram. Every getter checks that its
// whole field lies inside the datagram and raises VarnexError otherwise, so no
// decoder can read past the end of a short reply.
class ByteReader {
public:
    explicit ByteReader(const QByteArray& data) : data_(data) {}

    int size() const { return data_.size(); }
    bool has(int offset, int width) const {
        return offset >= 0 && width >= 0 && offset <= data_.size() - width;
    }

    quint8 byte(int offset) const;
    QByteArray bytes(int offset, int width) const;
    // The part of [offset, offset + width) that the datagram holds; never raises.
    QByteArray bytesClipped(int offset, int width) const;

    QString mac(int offset) const;              // 6 bytes
    QString ipv4(int offset) const;             // 4 bytes
    quint16 word16(int offset) const;           // low byte first
    quint32 word24(int offset) const;           // low byte first
    QString text(int offset, int width) const;  // plain text up to the first 0x00

private:
    void require(int offset, int width) const;
    QByteArray data_;  // implicitly shared: a copy costs nothing
};
