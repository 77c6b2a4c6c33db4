#include "SimGateway.h"

#include "SimAddress.h"
#include "SimOptions.h"

#include "link/Codecs.h"

SimGateway MakeGateway(const SimOptions& options, int index) {
    SimGateway gw;
    gw.mac = BigEndianBytes(options.firstMac + static_cast<quint64>(index), 6);
    gw.model = options.modelFor(index);
    gw.version = options.versionFor(index);
    gw.name = options.nameFor(index);
    gw.ip = BigEndianBytes(options.firstIp + static_cast<quint32>(index), 4);
    gw.gateway = options.gateway;
    gw.mask = options.mask;
    gw.viewIp = options.viewIp;
    return gw;
}

QJsonObject GatewayToJson(const SimGateway& gw) {
    return QJsonObject{
        {QStringLiteral("mac"), DecodeMac(gw.mac)},
        {QStringLiteral("model"), gw.model},
        {QStringLiteral("version"), gw.version},
        {QStringLiteral("name"), gw.name},
        {QStringLiteral("ip"), DecodeIPv4(gw.ip)},
        {QStringLiteral("gateway"), DecodeIPv4(gw.gateway)},
        {QStringLiteral("mask"), DecodeIPv4(gw.mask)},
        {QStringLiteral("viewIp"), DecodeIPv4(gw.viewIp)},
        {QStringLiteral("config"), ConfigToJson(gw)},
        {QStringLiteral("firmware"), FirmwareToJson(gw)},
    };
}
