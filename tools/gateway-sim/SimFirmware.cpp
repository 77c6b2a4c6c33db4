#include "SimFirmware.h"

#include "Simulator.h"

#include "link/ByteReader.h"
#include "link/Codecs.h"
#include "link/DeviceDatagram.h"

#include <QDir>
#include <QSaveFile>

#include <optional>

namespace {
constexpr int kHeader = 39;
constexpr int kMaxChunk = 128;
constexpr char kChunk = 0x00;
constexpr char kEnd = 0x01;

// A decimal field as the gateway insists on it: digits without a leading zero
// (0 itself excepted), then nothing but 0x00 bytes to the field's end.
std::optional<qint64> strictDecimal(const QByteArray& field) {
    int n = 0;
    while (n < field.size() && field[n] >= '0' && field[n] <= '9') ++n;
    if (n == 0 || (n > 1 && field[0] == '0')) return std::nullopt;
    for (int i = n; i < field.size(); ++i) {
        if (field[i] != '\0') return std::nullopt;
    }
    return field.left(n).toLongLong();
}

// Written here apart from the program's own, so that a fault in either shows.
quint32 checksumOf(const QByteArray& bytes, qint64 firstPosition, quint32 start) {
    quint32 value = start;
    for (int i = 0; i < bytes.size(); ++i) {
        value ^= static_cast<quint32>(static_cast<quint8>(bytes[i]))
                 << static_cast<int>((firstPosition + i) % 24);
    }
    return value;
}

// "K" or "end" of the fw-no-ack and fw-refuse faults.
bool faultNames(const SimFaults& faults, const QString& name, bool end, qint64 sequence) {
    if (!faults.has(name)) return false;
    const QString value = faults.value(name);
    if (end) return value == QLatin1String("end");
    bool ok = false;
    const qint64 k = value.toLongLong(&ok);
    return ok && k == sequence;
}

void restart(SimFirmwareState& fw) {
    fw.image.clear();
    fw.chunks = 0;
    fw.checksum = 0xFFFFFFFFu;
    fw.lastChunk.clear();
    fw.verdict = QStringLiteral("receiving");
    fw.reason.clear();
}

char refuse(SimFirmwareState& fw, char status, const QString& reason) {
    ++fw.refusals;
    fw.verdict = QStringLiteral("refused");
    fw.reason = reason;
    return status;
}

char takeChunk(SimFirmwareState& fw, const QByteArray& datagram, qint64 sequence) {
    const ByteReader in(datagram);
    const auto count = strictDecimal(in.bytes(17, 10));
    const auto checksum = strictDecimal(in.bytes(27, 12));
    if (!count || !checksum) {
        return refuse(fw, SimFirmwareStatus::Malformed, QStringLiteral("malformed chunk header"));
    }
    if (*count < 1 || *count > kMaxChunk || datagram.size() != kHeader + *count + 1) {
        return refuse(fw, SimFirmwareStatus::BadLength,
                      QStringLiteral("chunk %1: %2 data bytes announced in a %3-byte datagram")
                          .arg(sequence)
                          .arg(*count)
                          .arg(datagram.size()));
    }
    const QByteArray data = in.bytes(kHeader, static_cast<int>(*count));
    if (checksumOf(data, 0, 0xFFFFFFFFu) != *checksum) {
        return refuse(fw, SimFirmwareStatus::BadChecksum,
                      QStringLiteral("chunk %1: checksum mismatch").arg(sequence));
    }
    if (sequence == 0) restart(fw);
    if (sequence == fw.chunks - 1 && data == fw.lastChunk) {
        return SimFirmwareStatus::Accepted;  // the same chunk again: taken already
    }
    if (sequence != fw.chunks) {
        return refuse(
            fw, SimFirmwareStatus::OutOfSequence,
            QStringLiteral("chunk %1 where %2 was expected").arg(sequence).arg(fw.chunks));
    }
    fw.checksum = checksumOf(data, fw.image.size(), fw.checksum);
    fw.image += data;
    fw.lastChunk = data;
    ++fw.chunks;
    fw.verdict = QStringLiteral("receiving");
    return SimFirmwareStatus::Accepted;
}

void writeImage(SimFirmwareState& fw, const QString& dir, const QByteArray& mac) {
    fw.file.clear();
    fw.fileError.clear();
    if (dir.isEmpty()) return;
    const QString path = QDir(dir).filePath(DecodeMac(mac) + QStringLiteral(".bin"));
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(fw.image) != fw.image.size() ||
        !out.commit()) {
        fw.fileError = out.errorString();
        return;
    }
    fw.file = path;
}

char takeEnd(SimFirmwareState& fw, const QByteArray& datagram, qint64 sequence) {
    const ByteReader in(datagram);
    const auto size = strictDecimal(in.bytes(17, 10));
    const auto checksum = strictDecimal(in.bytes(27, 12));
    if (datagram.size() != kHeader + 1 || !size || !checksum) {
        return refuse(fw, SimFirmwareStatus::Malformed, QStringLiteral("malformed end"));
    }
    if (sequence == 0) restart(fw);  // an empty image
    if (sequence != fw.chunks) {
        return refuse(
            fw, SimFirmwareStatus::OutOfSequence,
            QStringLiteral("end after %1 chunks where %2 were taken").arg(sequence).arg(fw.chunks));
    }
    if (*size != fw.image.size()) {
        return refuse(fw, SimFirmwareStatus::WrongSize,
                      QStringLiteral("image of %1 bytes announced, %2 received")
                          .arg(*size)
                          .arg(fw.image.size()));
    }
    if (*checksum != fw.checksum) {
        return refuse(fw, SimFirmwareStatus::WrongImageChecksum,
                      QStringLiteral("image checksum %1 announced, %2 computed")
                          .arg(*checksum)
                          .arg(fw.checksum));
    }
    fw.verdict = QStringLiteral("complete");
    fw.reason.clear();
    return SimFirmwareStatus::Accepted;
}
}  // namespace

QByteArray BuildFirmwareAck(const QByteArray& mac, const QByteArray& sequenceField, char status) {
    QByteArray payload = mac;
    payload += EncodePaddedText(sequenceField.left(8), 8);
    payload += status;
    return FrameDatagram('f', payload);
}

void HandleFirmware(Simulator& sim, const QByteArray& datagram, SimReplies& out) {
    if (datagram.size() < kHeader + 1) return;  // too short for its MAC to be trusted
    const ByteReader in(datagram);
    const QByteArray mac = in.bytes(2, 6);
    SimGateway* gw = sim.findByMac(mac);
    if (gw == nullptr || !sim.addressedTo(*gw)) return;
    SimFirmwareState& fw = gw->firmware;
    const SimFaults& faults = sim.faults();

    const QByteArray sequenceField = in.bytes(8, 8);
    const auto sequence = strictDecimal(sequenceField);
    const char kind = static_cast<char>(in.byte(16));
    const bool end = kind == kEnd;
    char status = SimFirmwareStatus::Accepted;
    if (!sequence || (kind != kChunk && kind != kEnd)) {
        status = refuse(fw, SimFirmwareStatus::Malformed, QStringLiteral("malformed header"));
    } else if (faultNames(faults, QStringLiteral("fw-refuse"), end, *sequence)) {
        status =
            refuse(fw, SimFirmwareStatus::RefusedOnRequest, QStringLiteral("refused on request"));
    } else if (end) {
        status = takeEnd(fw, datagram, *sequence);
        if (status == SimFirmwareStatus::Accepted) {
            writeImage(fw, sim.options().firmwareOut, mac);
        }
    } else {
        status = takeChunk(fw, datagram, *sequence);
    }

    if (faults.has(QStringLiteral("fw-silent"))) return;
    if (sequence && faultNames(faults, QStringLiteral("fw-no-ack"), end, *sequence)) return;
    SimReply reply;
    reply.data = BuildFirmwareAck(mac, sequenceField, status);
    reply.delayMs = end ? faults.intValue(QStringLiteral("fw-slow-end"), 0)
                        : faults.intValue(QStringLiteral("fw-late-ack"), 0);
    out.push_back(reply);
    if (!end && faults.has(QStringLiteral("fw-duplicate-ack"))) out.push_back(reply);
}

QJsonObject FirmwareToJson(const SimGateway& gw) {
    const SimFirmwareState& fw = gw.firmware;
    QJsonObject json{
        {QStringLiteral("verdict"), fw.verdict},
        {QStringLiteral("chunks"), fw.chunks},
        {QStringLiteral("size"), static_cast<qint64>(fw.image.size())},
        {QStringLiteral("checksum"), static_cast<qint64>(fw.checksum)},
        {QStringLiteral("refusals"), fw.refusals},
    };
    if (!fw.reason.isEmpty()) json.insert(QStringLiteral("reason"), fw.reason);
    if (!fw.file.isEmpty()) json.insert(QStringLiteral("file"), fw.file);
    if (!fw.fileError.isEmpty()) json.insert(QStringLiteral("fileError"), fw.fileError);
    return json;
}
