#include "SimConfig.h"

// Placeholder until the configuration module exists: requests are left unanswered.

void HandleConfig(Simulator&, char, const QByteArray&, SimReplies&) {}

void InitConfig(SimGateway&, int, const SimOptions&) {}

QJsonObject ConfigToJson(const SimGateway&) {
    return QJsonObject();
}
