#include "SimFirmware.h"

// Placeholder until the firmware module exists: chunks are left unanswered.

void HandleFirmware(Simulator&, const QByteArray&, SimReplies&) {}

QJsonObject FirmwareToJson(const SimGateway&) { return QJsonObject(); }
