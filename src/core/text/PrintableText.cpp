#include "text/PrintableText.h"

#include <QStringList>

namespace {
bool isControl(char16_t u) {
    return u < 0x20 || u == 0x7F || (u >= 0x80 && u < 0xA0);
}

bool isBidiControl(char16_t u) {
    return (u >= 0x202A && u <= 0x202E) || (u >= 0x2066 && u <= 0x2069);
}
}  // namespace

QString PrintableText(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (isBidiControl(u)) continue;
        out.append(isControl(u) ? QChar(u'?') : c);
    }
    return out;
}

QString PrintableLines(const QString& text) {
    QStringList lines = text.split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        // A "\r\n" break stays whole (the window's messages use it); a "\r"
        // anywhere else could send the cursor back over what the line said.
        const bool crlf = i + 1 < lines.size() && lines[i].endsWith(QLatin1Char('\r'));
        lines[i] = PrintableText(crlf ? lines[i].chopped(1) : lines[i]);
        if (crlf) lines[i].append(QLatin1Char('\r'));
    }
    return lines.join(QLatin1Char('\n'));
}
