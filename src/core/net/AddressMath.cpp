#include "net/AddressMath.h"

#include "link/Codecs.h"

#include <QStringList>

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
    return QStringLiteral("%1.%2.%3.%4")
        .arg(a >> 24)
        .arg((a >> 16) & 0xFF)
        .arg((a >> 8) & 0xFF)
        .arg(a & 0xFF);
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

std::optional<quint32> GatewayAddressOf(const QString& text) {
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
