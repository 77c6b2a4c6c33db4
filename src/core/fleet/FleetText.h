#pragma once

#include <QString>

// Small text helpers shared by the fleet operations.

// "00-1A-2B-3C-4D-5E" for a MAC written with "-" or ":" between its six pairs
// (any case); an empty string for any other text.
QString CanonicalMac(const QString& text);

// Four decimal parts 0 to 255 joined by "." and nothing else (not even a
// trailing line break), as a host-order number.
bool ParseIPv4(const QString& text, quint32& hostOrder);

// A host-order IPv4 address as dotted decimal text.
QString DottedIPv4(quint32 hostOrder);

// The prefix length of a subnet mask whose ones are contiguous ("255.255.255.0"
// gives 24); -1 for a text that is not such a mask.
int MaskPrefixLength(const QString& mask);
