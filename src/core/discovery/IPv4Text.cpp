#include "discovery/IPv4Text.h"

#include "link/Codecs.h"

namespace {
constexpr QChar Dot = QLatin1Char('.');
constexpr QChar Quote = QLatin1Char('"');

bool isBlank(QChar c) {
    return c.unicode() >= 0x01 && c.unicode() <= 0x20;
}

// The quoted part starting at text[i] (a quote); i ends after the closing quote,
// or at the end when the quote is never closed.
QString quotedPart(const QString& text, int end, int& i) {
    QString part;
    ++i;
    while (i < end) {
        if (text[i] == Quote) {
            ++i;
            if (i < end && text[i] == Quote) {
                part += Quote;
                ++i;
                continue;
            }
            break;
        }
        part += text[i++];
    }
    return part;
}
}  // namespace

QStringList SplitIPv4Parts(const QString& text) {
    int end = text.indexOf(QChar(0));
    if (end < 0) end = text.size();
    QStringList parts;
    int i = 0;
    auto skipBlanks = [&] {
        while (i < end && isBlank(text[i])) ++i;
    };
    skipBlanks();
    while (i < end) {
        if (text[i] == Quote) {
            parts << quotedPart(text, end, i);
        } else {
            const int start = i;
            while (i < end && !isBlank(text[i]) && text[i] != Dot) ++i;
            parts << text.mid(start, i - start);
        }
        skipBlanks();
        if (i < end && text[i] == Dot) {
            if (i + 1 == end) parts << QString();
            ++i;
            skipBlanks();
        }
    }
    return parts;
}

bool IsValidIPv4(const QString& text) {
    const QStringList parts = SplitIPv4Parts(text);
    if (parts.size() != 4) return false;
    for (const QString& part : parts) {
        qint32 value = -1;
        if (!TryStrToInt(part, value)) value = -1;
        if (value < 0 || value > 255) return false;
    }
    return true;
}
