#pragma once

#include "SimReply.h"

#include <QByteArray>
#include <QJsonObject>

class Simulator;
struct SimGateway;

// Progress of a firmware upload to one simulated gateway. Empty until the
// firmware module fills it in.
struct SimFirmwareState {};

// A firmware chunk or the end of an image ("F").
void HandleFirmware(Simulator& sim, const QByteArray& datagram, SimReplies& out);
// The firmware state as shown by the "dump" command.
QJsonObject FirmwareToJson(const SimGateway& gw);
