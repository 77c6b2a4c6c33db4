#pragma once

#include "SimConfig.h"
#include "SimFirmware.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>

struct SimOptions;

// One simulated gateway: what it reports in a discovery reply and what an "S"
// datagram changes. Addresses are kept as they travel: 4 bytes, first part first.
struct SimGateway {
    QByteArray mac;  // 6 bytes; never changes, so it can be indexed
    QString model;
    QString version;
    QString name;
    QByteArray ip;
    QByteArray gateway;
    QByteArray mask;
    QByteArray viewIp;  // VarnexView IP

    SimConfigState config;      // owned by the configuration module
    SimFirmwareState firmware;  // owned by the firmware module
};

// Gateway number `index` (from 0) as the command line describes it: consecutive
// MACs and IP addresses, model, version and name lists cycled. The module states
// are left for their own set-up.
SimGateway MakeGateway(const SimOptions& options, int index);

// Identity and network settings, plus "config" and "firmware" from the modules.
QJsonObject GatewayToJson(const SimGateway& gw);
