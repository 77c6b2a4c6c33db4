#pragma once

#include <QByteArray>
#include <optional>

// One datagram exchanged with a gateway: STX, a command letter, a payload, ETX.
// No length field, no frame checksum, no escaping: the datagram's own boundary
// delimits the frame and ETX counts only as the last byte.
namespace DeviceDatagram {
constexpr char STX = 0x02;
constexpr char ETX = 0x03;
constexpr quint16 Port = 2058;

// The 3-byte discovery request 02 67 03.
QByteArray DiscoveryRequest();
}  // namespace DeviceDatagram

// STX, the letter, the payload, ETX.
QByteArray FrameDatagram(char letter, const QByteArray& payload);

// The recognition rule for a received datagram: a datagram of exactly three
// bytes (our own echoed discovery request, for one) or one whose last byte is not
// ETX gives no letter; otherwise the letter is the byte at offset 1. The first
// byte is deliberately not checked.
std::optional<char> ReplyLetter(const QByteArray& datagram);
