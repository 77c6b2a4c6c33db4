#pragma once

#include "SimReply.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>

class Simulator;
struct SimGateway;

// Progress of a firmware upload to one simulated gateway. A chunk with sequence
// number 0 (or an end with 0, for an empty image) starts a new upload.
struct SimFirmwareState {
    QByteArray image;                // the bytes taken so far, in order
    qint32 chunks = 0;               // chunks taken: the next sequence number expected
    quint32 checksum = 0xFFFFFFFFu;  // of `image`, kept up as bytes arrive
    QByteArray lastChunk;            // a repeated chunk is acknowledged, not appended
    int refusals = 0;
    QString verdict = QStringLiteral("idle");  // idle, receiving, complete, refused
    QString reason;                            // why the last datagram was refused
    QString file;                              // where the last complete image was written
    QString fileError;
};

// Status bytes of the "f" acknowledgement. The program only tells 0x00 from the
// rest; the others say in a capture why the simulated gateway refused.
namespace SimFirmwareStatus {
constexpr char Accepted = 0x00;
constexpr char BadLength = 0x01;
constexpr char BadChecksum = 0x02;
constexpr char OutOfSequence = 0x03;
constexpr char WrongSize = 0x04;
constexpr char WrongImageChecksum = 0x05;
constexpr char RefusedOnRequest = 0x06;  // the fw-refuse fault
constexpr char Malformed = 0x07;
}  // namespace SimFirmwareStatus

// A firmware chunk or the end of an image ("F") for one of the gateways' MACs:
// checks it, keeps the image and answers "f" with the sequence number and a
// status. Faults: fw-silent (no answer at all), fw-no-ack=K|end, fw-refuse=K|end,
// fw-late-ack=MS (chunk acknowledgements), fw-duplicate-ack (chunk
// acknowledgements twice), fw-slow-end=MS (the end's acknowledgement).
void HandleFirmware(Simulator& sim, const QByteArray& datagram, SimReplies& out);
// The firmware state as shown by the "dump" command.
QJsonObject FirmwareToJson(const SimGateway& gw);

// The 18-byte acknowledgement: STX, "f", MAC, the sequence field, status, ETX.
QByteArray BuildFirmwareAck(const QByteArray& mac, const QByteArray& sequenceField, char status);
