#pragma once

#include <QString>

// Text from a gateway, a file or another program, made safe to show on a
// terminal or in a label: C0 controls, DEL and C1 controls (which can move the
// cursor, recolour or clear a terminal, or start an escape sequence) become "?",
// and the bidirectional embedding, override and isolate controls (U+202A to
// U+202E, U+2066 to U+2069), which can make a line read in another order than
// it holds, are dropped. Line breaks are controls too: use PrintableLines for a
// message of several lines.
QString PrintableText(const QString& text);

// PrintableText applied to each line, the "\n" or "\r\n" between them kept.
QString PrintableLines(const QString& text);
