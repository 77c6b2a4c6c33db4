#pragma once

#include "SimOptions.h"

#include <QByteArray>
#include <QStringList>
#include <QtTest>

// Options as the command line would give them, the program name added.
inline SimOptions simOptions(const QStringList& args = {}) {
    const SimOptionsParse parsed =
        ParseSimOptions(QStringList{QStringLiteral("gateway-sim")} + args);
    if (!parsed.options) qFatal("bad simulator options: %s", qPrintable(parsed.message));
    return *parsed.options;
}

inline QByteArray zeros(int n) {
    return QByteArray(n, '\0');
}

// The 57-byte "S" datagram, spelled out byte by byte.
inline QByteArray setNetworkDatagram(const char* macHex, const char* ipHex, const char* gatewayHex,
                                     const char* maskHex, const char* viewHex,
                                     const QByteArray& name32) {
    return QByteArray::fromHex("0253") + QByteArray::fromHex(macHex) + QByteArray::fromHex(ipHex) +
           QByteArray::fromHex(gatewayHex) + QByteArray::fromHex(maskHex) +
           QByteArray::fromHex(viewHex) + name32 + QByteArray::fromHex("03");
}
