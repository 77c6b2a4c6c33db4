#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>

// IPv4 arithmetic for judging where a gateway's address lies. Addresses are
// host-order numbers; a network is an address with a prefix length.

struct IPv4Net {
    quint32 base = 0;  // the network address
    int prefix = 0;    // 0 to 32

    quint32 mask() const { return prefix == 0 ? 0 : ~quint32(0) << (32 - prefix); }
    quint32 broadcast() const { return base | ~mask(); }
    bool contains(quint32 address) const { return (address & mask()) == base; }
    // A /31 or /32 has no network or broadcast address of its own.
    bool hasEnds() const { return prefix <= 30; }
    bool operator==(const IPv4Net& o) const { return base == o.base && prefix == o.prefix; }
};

// The network that holds `address` under a prefix.
IPv4Net NetOf(quint32 address, int prefix);

// "10.0.0.0/24".
QString NetText(const IPv4Net& net);
// "10.0.0.7".
QString AddressText(quint32 address);

// The prefix length of a contiguous mask ("255.255.255.0" is 24); nothing for
// a mask with holes or a text that is not an address.
std::optional<int> PrefixOfMask(quint32 mask);
std::optional<int> PrefixOfMaskText(const QString& text);

// The address a gateway takes from a text of the device list: four parts split
// at dots, each read by the integer conversion (so " 10.0.0.1" counts, as the
// list and Apply accept it) and within 0 to 255.
std::optional<quint32> GatewayAddressOf(const QString& text);
