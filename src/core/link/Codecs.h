#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Field codecs shared by every command. Pure functions, safe on any thread.
// Errors are raised as VarnexError with the text the operator is shown.

// Each byte as two upper-case hexadecimal digits, no separators.
QString BytesToHex(const QByteArray& bytes);

// Hexadecimal text to a 32-bit value (wrapping past 8 digits). An empty text is 0;
// any character that is not a hexadecimal digit fails with "No Hex-Number".
qint32 HexToInt(const QString& text);

// Six raw bytes <-> "00-1A-2B-3C-4D-5E" (always upper case).
QString DecodeMac(const QByteArray& six);
// The one reading of a MAC text, for every datagram and every front end: six
// hexadecimal pairs separated by dashes, colons or nothing, either case.
// EncodeMac raises VarnexError for any other text; TryEncodeMac gives nothing.
QByteArray EncodeMac(const QString& mac);
std::optional<QByteArray> TryEncodeMac(const QString& mac);
// The MAC as the list shows it ("00-1A-2B-00-00-01"), or an empty text.
QString NormalizedMac(const QString& text);

// Four raw bytes, first dotted part first <-> "%d.%d.%d.%d".
QString DecodeIPv4(const QByteArray& four);
// Always four bytes; each part is converted with StrToInt and keeps its low 8 bits.
// A text that does not have four parts, or a part that does not convert, fails.
QByteArray EncodeIPv4(const QString& dotted);

// A plain dotted address of four decimal parts (0 to 255, leading zeros mean
// nothing) as a host-order number; false for any other text.
bool ParseDottedIPv4(const QString& text, quint32& hostOrder);

// Two bytes, low byte first <-> decimal text.
QString DecodeWord16(const QByteArray& two);
QByteArray EncodeWord16(const QString& decimal);

// The text's bytes, then 0x00 up to the width. The text is not cut here.
QByteArray EncodePaddedText(const QByteArray& text, int width);

// Decimal digits, then 0x00 up to the width.
QByteArray EncodeDecimalField(qint64 value, int width);
// The characters up to the first 0x00, converted with StrToInt.
qint32 DecodeDecimalField(const QByteArray& bytes);

// The 32-byte device name: UTF-8, cut to 32 bytes (even inside a character),
// 0x00 fill. A name of 32 bytes or more has no zero byte at all.
QByteArray EncodeDeviceName(const QString& name);
// Strict UTF-8 with the fallbacks that recover a name whose last character was
// cut by EncodeDeviceName. Accepts fewer than 32 bytes when a datagram ends early.
QString DecodeDeviceName(const QByteArray& field);
// One-step decoding used by the configuration reply: all bytes as strict UTF-8,
// ending at the first NUL; empty when the bytes are not valid UTF-8.
QString DecodeUtf8Field(const QByteArray& field);

// Strict UTF-8: an empty string for any malformed or incomplete sequence.
QString DecodeStrictUtf8(const QByteArray& bytes);

// A fixed-width plain-text field (version, model): its bytes as they are, up to
// the first 0x00 byte.
QString DecodeFixedText(const QByteArray& field);

// The integer conversion: leading spaces, an optional sign, decimal digits or a
// hexadecimal number after "$", "x", "X", "0x" or "0X"; the text ends at its end
// or at a 0x00. Anything else fails with "'%s' is not a valid integer value".
qint32 StrToInt(const QString& text);
// The same conversion without raising: false when the text does not convert.
bool TryStrToInt(const QString& text, qint32& value);
