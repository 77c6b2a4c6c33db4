#include "actions/FirmwareUpgrade.h"

#include "actions/Firmware.h"
#include "link/DeviceDatagram.h"
#include "link/ReplySlot.h"
#include "link/UdpEndpoint.h"
#include "link/VarnexError.h"

#include <QFile>
#include <QIODevice>

FirmwareUpgrade::FirmwareUpgrade(const QByteArray& mac, QIODevice& image, UdpEndpoint& endpoint,
                                 ReplySlot& slot, Clock& clock, FirmwareObserver& observer)
    : mac_(mac),
      image_(image),
      endpoint_(endpoint),
      slot_(slot),
      clock_(clock),
      observer_(observer) {}

namespace {
VarnexError tooLarge() {
    return VarnexError(
        QStringLiteral("The firmware file is too large: an image must be smaller than 2 GiB."));
}
}  // namespace

FirmwareOutcome FirmwareUpgrade::Run() {
    // Refused before anything is sent; the count below also catches a file that grows.
    if (!image_.isSequential() && image_.size() > Firmware::MaxImageSize) throw tooLarge();
    FirmwareChecksum imageChecksum;
    qint64 total = 0;
    for (QByteArray chunk = readChunk(); !chunk.isEmpty(); chunk = readChunk()) {
        if (total + chunk.size() > Firmware::MaxImageSize) throw tooLarge();
        FirmwareChecksum chunkChecksum;
        chunkChecksum.Add(chunk, 0);
        imageChecksum.Add(chunk, total);
        total += chunk.size();

        const Exchange result =
            exchange(FirmwareChunk(mac_, sequence_, chunk, chunkChecksum.Value()), false);
        if (result == Exchange::Abandoned) return FirmwareOutcome::Abandoned;
        if (result == Exchange::Failed) return FirmwareOutcome::Failed;
        ++sequence_;
        observer_.ChunkAcknowledged(total);
    }
    image_.close();

    const Exchange result =
        exchange(FirmwareEnd(mac_, sequence_, total, imageChecksum.Value()), true);
    if (result == Exchange::Abandoned) return FirmwareOutcome::Abandoned;
    return result == Exchange::Accepted ? FirmwareOutcome::Succeeded : FirmwareOutcome::Failed;
}

void FirmwareUpgrade::Abandon() {
    abandoned_ = true;
    // An empty acknowledgement ends the wait without counting as one.
    slot_.Store(QByteArray());
}

QByteArray FirmwareUpgrade::readChunk() {
    QByteArray chunk(Firmware::ChunkSize, '\0');
    qint64 got = 0;
    while (got < chunk.size()) {
        const qint64 n = image_.read(chunk.data() + got, chunk.size() - got);
        if (n < 0) {
            throw VarnexError(
                QStringLiteral("Cannot read the firmware file: %1").arg(image_.errorString()));
        }
        if (n == 0) break;  // end of the file
        got += n;
    }
    chunk.truncate(static_cast<qsizetype>(got));
    return chunk;
}

FirmwareUpgrade::Exchange FirmwareUpgrade::exchange(const QByteArray& datagram, bool end) {
    if (abandoned_) return Exchange::Abandoned;
    // Cleared before the send, so a reply that is quick to come is not lost.
    slot_.Clear();
    send(datagram);
    if (end) observer_.CompletionWaitStarted();
    const QByteArray reply = WaitForReply(slot_, end ? EndLimitSeconds : ChunkLimitSeconds, clock_);
    if (abandoned_) return Exchange::Abandoned;
    if (end) observer_.CompletionWaitEnded();
    const AckVerdict verdict =
        reply.isEmpty() ? AckVerdict::Unreadable : JudgeFirmwareAck(reply, sequence_);
    if (verdict == AckVerdict::Accepted) {
        // A gateway not heard from before (an upgrade straight after start-up,
        // say) is reached through every interface once; the rest of the image
        // follows its acknowledgement's interface alone.
        if (interfaceIndex_ == 0) interfaceIndex_ = slot_.LastInterface();
        return Exchange::Accepted;
    }

    const QString what =
        end ? QStringLiteral("the end") : QStringLiteral("chunk %1").arg(sequence_);
    if (reply.isEmpty()) {
        failure_ = QStringLiteral("no acknowledgement of %1").arg(what);
    } else if (verdict == AckVerdict::Refused) {
        failure_ = QStringLiteral("%1 refused").arg(what);
    } else {
        failure_ = QStringLiteral("unreadable acknowledgement of %1").arg(what);
    }
    return Exchange::Failed;
}

void FirmwareUpgrade::send(const QByteArray& datagram) {
    endpoint_.SetDefaultPort(DeviceDatagram::Port);
    if (!endpoint_.Active()) endpoint_.SetActive(true);
    endpoint_.SetBroadcastEnabled(true);
    endpoint_.SendBroadcast(datagram, DeviceDatagram::Port, interfaceIndex_);
}

qint64 FileSizeOf(const QString& name) {
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly)) return -1;
    return file.size();
}
