#pragma once

#include "SimReply.h"

#include <QByteArray>
#include <QJsonObject>

class Simulator;
struct SimGateway;
struct SimOptions;

// Configuration held by one simulated gateway (network services, serial ports,
// LoRa rows). Empty until the configuration module fills it in.
struct SimConfigState {};

// The configuration requests "N", "O", "U" and "A".
void HandleConfig(Simulator& sim, char letter, const QByteArray& datagram, SimReplies& out);
// Sets up the configuration of gateway number `index` (from 0) when the simulator starts.
void InitConfig(SimGateway& gw, int index, const SimOptions& options);
// The configuration as shown by the "dump" command.
QJsonObject ConfigToJson(const SimGateway& gw);
