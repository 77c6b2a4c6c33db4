#pragma once

#include <QString>
#include <QStringList>

// Splits an address text the way the device list and the search dialog read it:
// blanks (0x01 to 0x20) around parts are skipped; a part ends at a blank or a
// "."; a part that starts with a double quote runs to the closing quote (a
// doubled quote stands for one) and loses its quotes; a "." that ends the text
// adds one empty part; two "." in a row give an empty part between them. A NUL
// character ends the text.
QStringList SplitIPv4Parts(const QString& text);

// True when the text splits into exactly four parts, each converting with the
// integer conversion (decimal, or hexadecimal after "$", "x" or "0x") to 0..255.
// So " 10.0.0.1", "1.2.3 4" and "$C0.168.1.1" pass; "1.2.3.4." and "1..2.3" fail.
bool IsValidIPv4(const QString& text);
