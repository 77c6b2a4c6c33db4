#pragma once

#include "actions/SetNetwork.h"
#include "discovery/DiscoveryReply.h"

#include <QStringList>

class GatewayEngine;

// "S" to one gateway, as one exchange with it: raises VarnexError when a field
// does not encode (nothing is sent) or the gateway is busy.
void SendNetworkSettings(GatewayEngine& engine, const NetworkSettingsRow& row);

// Checks what a gateway reports after "S": waits the moment it takes to apply
// the settings, finds it anew and names each of `fields` ("ip", "mask",
// "gateway", "view-ip", "name") that it reports otherwise than it would after
// taking `sent`, as "ip: reports A, expected B". Raises VarnexError when the
// gateway does not answer within `timeoutMs`.
QStringList CheckNetworkSettings(GatewayEngine& engine, const NetworkSettingsRow& sent,
                                 const QStringList& fields, int timeoutMs);

// The settings a gateway reported in its discovery reply.
NetworkSettingsRow NetworkSettingsOf(const DiscoveryReply& reply);

// What a gateway reports for a row once it has taken it: each address as its
// four bytes read back, the name cut to what its 32 bytes hold.
NetworkSettingsRow AsReported(const NetworkSettingsRow& row);

// A row's field by the name above.
QString NetworkField(const NetworkSettingsRow& row, const QString& field);
