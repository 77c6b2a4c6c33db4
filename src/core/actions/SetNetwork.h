#pragma once

#include <QByteArray>
#include <QString>

// What "Apply" writes to one gateway, as the device list holds it.
struct NetworkSettingsRow {
    QString mac;      // column 1
    QString name;     // column 3
    QString ip;       // column 4
    QString mask;     // column 5
    QString gateway;  // column 6
    QString viewIp;   // column 7 (VarnexView IP)
};

// The 57-byte "S" datagram: STX, "S", MAC, IP, gateway, mask, VarnexView IP,
// the 32-byte name, ETX. The gateway goes before the mask, as in the discovery
// reply. Raises VarnexError when a field does not encode.
QByteArray BuildSetNetwork(const NetworkSettingsRow& row);

// The closing message of "Apply" for `sent` datagrams.
QString ApplyResultMessage(int sent);
