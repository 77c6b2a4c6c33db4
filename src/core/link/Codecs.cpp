#include "link/Codecs.h"

#include "link/VarnexError.h"

#include <QRegularExpression>
#include <QStringList>

namespace {
const char kHexDigits[] = "0123456789ABCDEF";

int hexValue(QChar c) {
    const ushort u = c.unicode();
    if (u >= '0' && u <= '9') return u - '0';
    if (u >= 'A' && u <= 'F') return u - 'A' + 10;
    if (u >= 'a' && u <= 'f') return u - 'a' + 10;
    return -1;
}

QString integerError(const QString& text) {
    return QStringLiteral("'%1' is not a valid integer value").arg(text);
}
}  // namespace

QString BytesToHex(const QByteArray& bytes) {
    QString out;
    out.reserve(bytes.size() * 2);
    for (char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        out.append(QLatin1Char(kHexDigits[b >> 4]));
        out.append(QLatin1Char(kHexDigits[b & 0x0F]));
    }
    return out;
}

qint32 HexToInt(const QString& text) {
    const QString upper = text.toUpper();
    quint32 value = 0;
    for (QChar c : upper) {
        const ushort u = c.unicode();
        int digit;
        if (u >= '0' && u <= '9') {
            digit = u - '0';
        } else if (u >= 'A' && u <= 'F') {
            digit = u - 'A' + 10;
        } else {
            throw VarnexError(QStringLiteral("No Hex-Number"));
        }
        value = value * 16u + static_cast<quint32>(digit);
    }
    return static_cast<qint32>(value);
}

QString DecodeMac(const QByteArray& six) {
    const QString hex = BytesToHex(six.left(6));
    QStringList pairs;
    for (int i = 0; i < hex.size(); i += 2) pairs << hex.mid(i, 2);
    return pairs.join(QLatin1Char('-'));
}

std::optional<QByteArray> TryEncodeMac(const QString& mac) {
    QString hex = mac.trimmed();
    // One kind of separator throughout, or none.
    if (hex.size() == 17) {
        const QChar sep = hex[2];
        if (sep != QLatin1Char('-') && sep != QLatin1Char(':')) return std::nullopt;
        for (int i = 2; i < 17; i += 3) {
            if (hex[i] != sep) return std::nullopt;
        }
        hex.remove(sep);
    }
    if (hex.size() != 12) return std::nullopt;
    QByteArray out(6, '\0');
    for (int i = 0; i < 6; ++i) {
        bool ok = false;
        const QString pair = hex.mid(i * 2, 2);
        const uint value = pair.toUInt(&ok, 16);
        if (!ok || pair.startsWith(QLatin1Char('+')) || pair.startsWith(QLatin1Char('-')) ||
            pair.contains(QLatin1Char(' '))) {
            return std::nullopt;
        }
        out[i] = static_cast<char>(value);
    }
    return out;
}

QByteArray EncodeMac(const QString& mac) {
    const auto bytes = TryEncodeMac(mac);
    if (!bytes) {
        throw VarnexError(
            QStringLiteral("'%1' is not a MAC address (like 00-1A-2B-00-00-01)").arg(mac));
    }
    return *bytes;
}

QString NormalizedMac(const QString& text) {
    const auto bytes = TryEncodeMac(text);
    return bytes ? DecodeMac(*bytes) : QString();
}

QString DecodeIPv4(const QByteArray& four) {
    auto at = [&](int i) { return i < four.size() ? static_cast<unsigned char>(four[i]) : 0; };
    return QStringLiteral("%1.%2.%3.%4").arg(at(0)).arg(at(1)).arg(at(2)).arg(at(3));
}

QByteArray EncodeIPv4(const QString& dotted) {
    const QStringList parts = dotted.split(QLatin1Char('.'));
    if (parts.size() != 4) {
        throw VarnexError(QStringLiteral("'%1' is not a valid IPv4 address").arg(dotted));
    }
    QByteArray out(4, '\0');
    for (int i = 0; i < 4; ++i) out[i] = static_cast<char>(StrToInt(parts[i]) & 0xFF);
    return out;
}

bool ParseDottedIPv4(const QString& text, quint32& hostOrder) {
    static const QRegularExpression dotted(
        QStringLiteral("^([0-9]{1,3})\\.([0-9]{1,3})\\.([0-9]{1,3})\\.([0-9]{1,3})$"));
    const auto m = dotted.match(text);
    if (!m.hasMatch()) return false;
    quint32 v = 0;
    for (int i = 1; i <= 4; ++i) {
        const int part = m.captured(i).toInt();
        if (part > 255) return false;
        v = (v << 8) | static_cast<quint32>(part);
    }
    hostOrder = v;
    return true;
}

QString DecodeWord16(const QByteArray& two) {
    const int lo = two.size() > 0 ? static_cast<unsigned char>(two[0]) : 0;
    const int hi = two.size() > 1 ? static_cast<unsigned char>(two[1]) : 0;
    return QString::number(lo + 256 * hi);
}

QByteArray EncodeWord16(const QString& decimal) {
    const qint32 v = StrToInt(decimal);
    QByteArray out(2, '\0');
    out[0] = static_cast<char>(v & 0xFF);
    out[1] = static_cast<char>((v / 256) & 0xFF);
    return out;
}

QByteArray EncodePaddedText(const QByteArray& text, int width) {
    QByteArray out = text;
    if (out.size() < width) out.append(QByteArray(width - out.size(), '\0'));
    return out;
}

QByteArray EncodeDecimalField(qint64 value, int width) {
    return EncodePaddedText(QByteArray::number(value), width);
}

qint32 DecodeDecimalField(const QByteArray& bytes) {
    const int nul = bytes.indexOf('\0');
    return StrToInt(QString::fromLatin1(nul < 0 ? bytes : bytes.left(nul)));
}

QByteArray EncodeDeviceName(const QString& name) {
    QByteArray out = name.toUtf8().left(32);
    return EncodePaddedText(out, 32);
}

QString DecodeStrictUtf8(const QByteArray& bytes) {
    QString out;
    out.reserve(bytes.size());
    const int n = bytes.size();
    int i = 0;
    while (i < n) {
        const auto b0 = static_cast<unsigned char>(bytes[i]);
        int len;
        char32_t cp;
        if (b0 < 0x80) {
            len = 1;
            cp = b0;
        } else if (b0 >= 0xC2 && b0 <= 0xDF) {
            len = 2;
            cp = b0 & 0x1F;
        } else if (b0 >= 0xE0 && b0 <= 0xEF) {
            len = 3;
            cp = b0 & 0x0F;
        } else if (b0 >= 0xF0 && b0 <= 0xF4) {
            len = 4;
            cp = b0 & 0x07;
        } else {
            return QString();
        }
        if (i + len > n) return QString();  // incomplete sequence at the end
        for (int k = 1; k < len; ++k) {
            const auto b = static_cast<unsigned char>(bytes[i + k]);
            if ((b & 0xC0) != 0x80) return QString();
            cp = (cp << 6) | (b & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are malformed.
        if ((len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000) || cp > 0x10FFFF ||
            (cp >= 0xD800 && cp <= 0xDFFF)) {
            return QString();
        }
        if (cp >= 0x10000) {
            const char32_t v = cp - 0x10000;
            out.append(QChar(static_cast<ushort>(0xD800 + (v >> 10))));
            out.append(QChar(static_cast<ushort>(0xDC00 + (v & 0x3FF))));
        } else {
            out.append(QChar(static_cast<ushort>(cp)));
        }
        i += len;
    }
    return out;
}

namespace {
QString cutAtNul(const QString& s) {
    const int nul = s.indexOf(QChar(0));
    return nul < 0 ? s : s.left(nul);
}
}  // namespace

QString DecodeDeviceName(const QByteArray& field) {
    const int nul = field.indexOf('\0');
    if (nul >= 0) {
        const QString first = DecodeStrictUtf8(field.left(nul));
        if (!first.isEmpty()) return first;
    }
    for (int drop = 1; drop <= 3; ++drop) {
        if (field.size() <= drop) break;
        const QString attempt = DecodeStrictUtf8(field.left(field.size() - drop));
        if (!attempt.isEmpty()) return cutAtNul(attempt);
    }
    return QString();
}

QString DecodeUtf8Field(const QByteArray& field) {
    return cutAtNul(DecodeStrictUtf8(field));
}

QString DecodeFixedText(const QByteArray& field) {
    const int nul = field.indexOf('\0');
    return QString::fromLatin1(nul < 0 ? field : field.left(nul));
}

bool TryStrToInt(const QString& text, qint32& value) {
    int end = text.indexOf(QChar(0));
    if (end < 0) end = text.size();
    int i = 0;
    while (i < end && text[i] == QLatin1Char(' ')) ++i;
    bool negative = false;
    if (i < end && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    int base = 10;
    if (i < end && text[i] == QLatin1Char('$')) {
        base = 16;
        ++i;
    } else if (i < end && (text[i] == QLatin1Char('x') || text[i] == QLatin1Char('X'))) {
        base = 16;
        ++i;
    } else if (i + 1 < end && text[i] == QLatin1Char('0') &&
               (text[i + 1] == QLatin1Char('x') || text[i + 1] == QLatin1Char('X'))) {
        base = 16;
        i += 2;
    }
    if (i >= end) return false;
    qint64 magnitude = 0;
    for (; i < end; ++i) {
        const int d = hexValue(text[i]);
        if (d < 0 || d >= base) return false;
        magnitude = magnitude * base + d;
        if (magnitude > 0x80000000LL) return false;
    }
    const qint64 v = negative ? -magnitude : magnitude;
    if (v > 0x7FFFFFFFLL || v < -0x80000000LL) return false;
    value = static_cast<qint32>(v);
    return true;
}

qint32 StrToInt(const QString& text) {
    qint32 v = 0;
    if (!TryStrToInt(text, v)) throw VarnexError(integerError(text));
    return v;
}
