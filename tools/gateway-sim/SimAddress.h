#pragma once

#include <QByteArray>
#include <QtGlobal>

// Numbers <-> the raw bytes that travel, most significant byte first, so that
// "the next MAC" or "the next address" is a plain sum.

inline QByteArray BigEndianBytes(quint64 value, int width) {
    QByteArray out(width, '\0');
    for (int i = 0; i < width; ++i)
        out[i] = static_cast<char>((value >> (8 * (width - 1 - i))) & 0xFF);
    return out;
}

inline quint64 BigEndianValue(const QByteArray& bytes) {
    quint64 value = 0;
    for (const char b : bytes) value = (value << 8) | static_cast<quint8>(b);
    return value;
}
