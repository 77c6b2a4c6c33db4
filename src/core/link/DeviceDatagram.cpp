#include "link/DeviceDatagram.h"

QByteArray DeviceDatagram::DiscoveryRequest() {
    return FrameDatagram('g', QByteArray());
}

QByteArray FrameDatagram(char letter, const QByteArray& payload) {
    QByteArray out;
    out.reserve(payload.size() + 3);
    out.append(DeviceDatagram::STX);
    out.append(letter);
    out.append(payload);
    out.append(DeviceDatagram::ETX);
    return out;
}

std::optional<char> ReplyLetter(const QByteArray& datagram) {
    if (datagram.size() == 3) return std::nullopt;
    if (datagram.isEmpty() || datagram.back() != DeviceDatagram::ETX) return std::nullopt;
    if (datagram.size() < 2) return std::nullopt;
    return datagram.at(1);
}
