#include "fleet/FleetText.h"

#include "link/Codecs.h"

#include <QRegularExpression>

QString CanonicalMac(const QString& text) {
    static const QRegularExpression form(QRegularExpression::anchoredPattern(
        QStringLiteral("[0-9A-Fa-f]{2}([-:])[0-9A-Fa-f]{2}(\\1[0-9A-Fa-f]{2}){4}")));
    if (!form.match(text).hasMatch()) return QString();
    QString mac = text.toUpper();
    mac.replace(QLatin1Char(':'), QLatin1Char('-'));
    return mac;
}

bool ParseIPv4(const QString& text, quint32& hostOrder) {
    for (QChar c : text) {
        if (c != QLatin1Char('.') && (c < QLatin1Char('0') || c > QLatin1Char('9'))) return false;
    }
    return ParseDottedIPv4(text, hostOrder);
}

QString DottedIPv4(quint32 a) {
    return QStringLiteral("%1.%2.%3.%4")
        .arg(a >> 24)
        .arg((a >> 16) & 0xFF)
        .arg((a >> 8) & 0xFF)
        .arg(a & 0xFF);
}

int MaskPrefixLength(const QString& mask) {
    quint32 m = 0;
    if (!ParseIPv4(mask, m)) return -1;
    const quint32 inverted = ~m;
    // Contiguous ones from the top: the zeros below them form 2^k - 1.
    if ((inverted & (inverted + 1)) != 0) return -1;
    int prefix = 0;
    while (prefix < 32 && (m & (0x80000000u >> prefix))) ++prefix;
    return prefix;
}
