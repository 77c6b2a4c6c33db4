#pragma once

#include "config/ConfigProtocol.h"

#include <QStringList>

// One configuration file written to many gateways. A file carries the identity
// of the gateway it was read from; written as it is to a whole fleet it would
// give every gateway that gateway's address and name. These functions keep
// each target's identity and take the rest from the file.
//
// A gateway's identity, kept from the gateway:
// - network type, IP address, subnet mask, gateway, device name, LAN IP address
//   and LAN subnet mask;
// - whether it has a LAN port and the echo byte it asks to have written back:
//   both describe the gateway itself, not a setting an operator chooses, and a
//   file from a gateway with a LAN port must not tell one without it that it has one.
// Everything else (DNS, the VarnexView address and port, the services, the
// bridge, every port and LoRa row) comes from the file.

// The configuration to write to `gateway` (as read from it just before). Raises
// VarnexError, naming both counts ("the file has 4 ports, the gateway 2"), when
// the gateway has a different number of serial ports than the file: its rows
// would not mean the same ports.
DeviceConfig ConfigForTarget(const DeviceConfig& file, const DeviceConfig& gateway);

// How a gateway differs from a reference configuration, as ConfigDifferences
// lines ("network.dns: 198.18.0.1 -> 198.18.0.2", "ports[3]: only in the file"),
// leaving out the identity fields above: what an audit of a fleet against its
// reference reports. Different port counts show as rows on one side only.
QStringList DriftFromReference(const DeviceConfig& gateway, const DeviceConfig& reference);
