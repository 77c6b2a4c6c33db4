#include "fleet/FleetConfig.h"

#include "config/ConfigDiff.h"
#include "link/VarnexError.h"

namespace {
int portCountOf(const DeviceConfig& config) {
    return config.network.portCount & 0xFF;
}

QString ports(int count) {
    return count == 1 ? QStringLiteral("1 port") : QStringLiteral("%1 ports").arg(count);
}

// `config` with the identity of `gateway` in place of its own.
DeviceConfig withIdentityOf(DeviceConfig config, const DeviceConfig& gateway) {
    NetworkSettings& n = config.network;
    const NetworkSettings& g = gateway.network;
    n.networkType = g.networkType;
    n.ipAddress = g.ipAddress;
    n.subnetMask = g.subnetMask;
    n.gateway = g.gateway;
    n.deviceName = g.deviceName;
    n.lanIpAddress = g.lanIpAddress;
    n.lanSubnetMask = g.lanSubnetMask;
    n.lanPortPresent = g.lanPortPresent;
    n.echoByte = g.echoByte;
    n.sourceId = g.sourceId;
    return config;
}
}  // namespace

DeviceConfig ConfigForTarget(const DeviceConfig& file, const DeviceConfig& gateway) {
    const int inFile = portCountOf(file);
    const int onGateway = portCountOf(gateway);
    if (inFile != onGateway) {
        throw VarnexError(
            QStringLiteral("the file has %1, the gateway %2").arg(ports(inFile)).arg(onGateway));
    }
    return withIdentityOf(file, gateway);
}

QStringList DriftFromReference(const DeviceConfig& gateway, const DeviceConfig& reference) {
    return ConfigDifferences(gateway, withIdentityOf(reference, gateway), DiffRows::All);
}
