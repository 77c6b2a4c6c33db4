#include "config/ConfigProtocol.h"

#include "link/Codecs.h"
#include "link/DeviceDatagram.h"
#include "link/VarnexError.h"

namespace {
QStringList numbers(int first, int last) {
    QStringList out;
    for (int n = first; n <= last; ++n) out << QString::number(n);
    return out;
}

char sectionLetter(ConfigSection section) {
    switch (section) {
        case ConfigSection::Network:
            return 'N';
        case ConfigSection::Operation:
            return 'O';
        case ConfigSection::LoRa:
            return 'U';
    }
    return 'N';
}
}  // namespace

namespace ConfigLists {
QStringList NetworkType() {
    return {QStringLiteral("Static IP"), QStringLiteral("DHCP")};
}
QStringList Service() {
    return {QStringLiteral("Disable"), QStringLiteral("Enable")};
}
QStringList Bridge() {
    return {QStringLiteral("Enable"), QStringLiteral("Disable")};
}
QStringList Operation() {
    return {QStringLiteral("Disable"),          QStringLiteral("COM_Redirector"),
            QStringLiteral("TCP_Server"),       QStringLiteral("TCP_Client"),
            QStringLiteral("TCP_Broadcast"),    QStringLiteral("TCP_Multiplex"),
            QStringLiteral("UDP_Server"),       QStringLiteral("UDP_Client"),
            QStringLiteral("User_Application"), QStringLiteral("RFC2217")};
}
QStringList Channel() {
    return numbers(1, 20);
}
QStringList SpreadingFactor() {
    return numbers(7, 12);
}
QStringList Aes() {
    return {QStringLiteral("Disable"), QStringLiteral("Enable")};
}
QStringList ProtocolVersion() {
    return {QStringLiteral("1.0"), QStringLiteral("2.0")};
}
}  // namespace ConfigLists

QByteArray ConfigQuery(ConfigSection section, const QString& mac) {
    return FrameDatagram(sectionLetter(section), EncodeMac(mac));
}

QByteArray ConfigApply(const QString& mac) {
    return FrameDatagram('A', EncodeMac(mac));
}

void PendingApply::Sent(const QString& mac) {
    mac_ = EncodeMac(mac);
}

bool PendingApply::Answer(const QString& mac) {
    if (mac_.isEmpty() || mac_ != TryEncodeMac(mac)) return false;
    mac_.clear();
    return true;
}
