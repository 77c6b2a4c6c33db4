#pragma once

#include "SimReply.h"

#include <QByteArray>
#include <QJsonObject>
#include <QVector>

class Simulator;
struct SimGateway;
struct SimOptions;

// The whole configuration of one simulated gateway, kept as the datagrams it
// answers with ("n", one "o" per serial port, one "u" per LoRa row). The IP
// address, gateway, mask, name and VarnexView IP are not kept here: they are
// the gateway's own (SimGateway), shared with discovery and "S", so that a
// configuration write shows in the next search and the other way round.
struct SimConfigState {
    QByteArray network;         // 84 bytes, letter "n"
    QVector<QByteArray> ports;  // 39 bytes each, letter "o", row index at 8
    QVector<QByteArray> loras;  // 17 bytes each, letter "u", row index at 8
    QByteArray queries;         // letters of the queries taken, oldest first
    QByteArray writes;          // letters of the writes and applies taken ("N", "O", "U", "A")
};

// The configuration requests "N", "O", "U" (9-byte queries or whole writes) and
// "A", for the gateway whose MAC they carry. Faults (--fault):
//   cfg-silent=LETTERS  no answer to the queries (or "A") of these letters, e.g. "O" or "OU"
//   cfg-delay=MS        every configuration reply leaves MS milliseconds late
//   cfg-bad-row         "o" and "u" replies carry row indexes from PortCount up
//   ignore-writes       "N", "O" and "U" writes (and "S", see SimSetNetwork) are
//                       counted but not kept; "A" is still answered with "a"
void HandleConfig(Simulator& sim, char letter, const QByteArray& datagram, SimReplies& out);
// Whether the ignore-writes fault is on: a gateway that confirms what it is sent
// but keeps its old settings, so that a client's read-back has something to catch.
bool IgnoresWrites(const Simulator& sim);
// Gives gateway number `index` (from 0) its starting configuration: --ports
// serial ports and --lora LoRa rows (0 included), values that differ by gateway.
void InitConfig(SimGateway& gw, int index, const SimOptions& options);
// The configuration as the "dump" command shows it: fields decoded, codes as
// the gateway holds them.
QJsonObject ConfigToJson(const SimGateway& gw);
