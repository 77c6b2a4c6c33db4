#include "actions/SetNetwork.h"

#include "link/Codecs.h"
#include "link/DeviceDatagram.h"

QByteArray BuildSetNetwork(const NetworkSettingsRow& row) {
    QByteArray payload;
    payload.reserve(54);
    payload += EncodeMac(row.mac);
    payload += EncodeIPv4(row.ip);
    payload += EncodeIPv4(row.gateway);
    payload += EncodeIPv4(row.mask);
    payload += EncodeIPv4(row.viewIp);
    payload += EncodeDeviceName(row.name);
    return FrameDatagram('S', payload);
}

QString ApplyResultMessage(int sent) {
    if (sent == 0) return QStringLiteral("No device is applied.");
    return QString::number(sent) + QStringLiteral(" Device(s) ") + QStringLiteral("'") +
           QStringLiteral(" configuration is Successful");
}
