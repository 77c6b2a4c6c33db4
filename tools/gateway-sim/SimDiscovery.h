#pragma once

#include "SimReply.h"

#include <QByteArray>
#include <QString>

class Simulator;
struct SimGateway;

// The discovery request is exactly 02 67 03. The byte at offset 0 is not
// checked, as for every datagram; a longer "g" datagram is a gateway's reply.
bool IsDiscoveryRequest(const QByteArray& datagram);

// The full 85-byte "g" reply of one gateway.
QByteArray BuildDiscoveryReply(const SimGateway& gw);

// A reply spoiled as the "malformed" fault asks: "short" ends it inside the
// name field (49 bytes: the first 48, then ETX), "noetx" puts 0x00 where the
// ETX was, "letter" carries "h" instead of "g". Other kinds leave it whole.
QByteArray MalformDiscoveryReply(const QByteArray& reply, const QString& kind);

// One reply from each gateway the request reaches.
void HandleDiscovery(Simulator& sim, SimReplies& out);
