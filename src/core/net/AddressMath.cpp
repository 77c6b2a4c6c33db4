#include "net/AddressMath.h"

#include "link/Codecs.h"

#include <QStringList>

#include <cstdio>

IPv4Net NetOf(quint32 address, int prefix) {
    IPv4Net net;
    net.prefix = qBound(0, prefix, 32);
    net.base = address & net.mask();
    return net;
}

QString NetText(const IPv4Net& net) {
    return QStringLiteral("%1/%2").arg(AddressText(net.base)).arg(net.prefix);
}

QString AddressText(quint32 a) {
    char text[16];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", a >> 24, (a >> 16) & 0xFF, (a >> 8) & 0xFF,
                  a & 0xFF);
    return QString::fromLatin1(text);
}

std::optional<int> PrefixOfMask(quint32 mask) {
    const quint32 hostBits = ~mask;
    // Contiguous: the host part is a run of ones from the lowest bit.
    if ((hostBits & (hostBits + 1)) != 0) return std::nullopt;
    int prefix = 0;
    for (quint32 m = mask; m != 0; m <<= 1) ++prefix;
    return prefix;
}

std::optional<int> PrefixOfMaskText(const QString& text) {
    const std::optional<quint32> mask = GatewayAddressOf(text);
    if (!mask) return std::nullopt;
    return PrefixOfMask(*mask);
}

namespace {
// Plain dotted decimal ("10.0.0.7"), as every reply's address reads: the
// common case, read without building the parts.
std::optional<quint32> plainDotted(const QString& text) {
    quint32 address = 0;
    int parts = 0, digits = 0, value = 0;
    for (const QChar c : text) {
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9') && digits < 3) {
            value = value * 10 + (c.unicode() - '0');
            ++digits;
        } else if (c == QLatin1Char('.') && digits > 0 && parts < 3) {
            if (value > 255) return std::nullopt;
            address = (address << 8) | quint32(value);
            ++parts;
            digits = value = 0;
        } else {
            return std::nullopt;
        }
    }
    if (parts != 3 || digits == 0 || value > 255) return std::nullopt;
    return (address << 8) | quint32(value);
}
}  // namespace

std::optional<quint32> GatewayAddressOf(const QString& text) {
    if (const auto plain = plainDotted(text)) return plain;
    const QStringList parts = text.split(QLatin1Char('.'));
    if (parts.size() != 4) return std::nullopt;
    quint32 address = 0;
    for (const QString& part : parts) {
        qint32 value = -1;
        if (!TryStrToInt(part, value) || value < 0 || value > 255) return std::nullopt;
        address = (address << 8) | static_cast<quint32>(value);
    }
    return address;
}
