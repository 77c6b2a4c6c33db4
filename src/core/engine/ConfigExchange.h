#pragma once

#include "config/ConfigProtocol.h"

#include <QString>

#include <functional>

class Clock;
class GatewayLink;

// The order and pauses of the configuration exchange, for the dialog and for
// varnexctl alike: the three queries 10 ms apart; a write's sections each
// followed by 2 ms, before the apply request.
void SendConfigQueries(const std::function<void(ConfigSection)>& sendQuery, Clock& clock);
void SendSectionWrites(const QList<SectionWrite>& writes,
                       const std::function<void(const QByteArray&)>& send, Clock& clock);

// A gateway's whole configuration as the dialog shows it once every reply is in:
// PortCount rows in each table, a row the gateway did not answer for left empty.
// Raises VarnexError when the gateway does not answer the network query.
struct GatewayConfigRead {
    DeviceConfig config;
    int portRowsAnswered = 0;
    int loraRowsAnswered = 0;
};
GatewayConfigRead ReadGatewayConfig(GatewayLink& link, const QString& mac, Clock& clock);

// Sends a write built in full beforehand (BuildConfigWrite), then the apply
// request; true once the gateway has answered that request.
bool WriteGatewayConfig(GatewayLink& link, const QString& mac, const QList<SectionWrite>& writes,
                        Clock& clock);
