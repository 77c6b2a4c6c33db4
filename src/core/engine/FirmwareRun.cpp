#include "engine/FirmwareRun.h"

#include "actions/Firmware.h"
#include "link/Clock.h"
#include "link/Codecs.h"
#include "link/DeviceDatagram.h"
#include "link/VarnexError.h"

#include <QFile>
#include <QIODevice>

FirmwareRun::FirmwareRun(GatewayEngine& engine, const QString& mac, const QByteArray& image)
    : engine_(engine), mac_(mac), macBytes_(EncodeMac(mac)), image_(image) {
    if (image_.size() > Firmware::MaxImageSize) {
        throw VarnexError(
            QStringLiteral("The firmware file is too large: an image must be smaller than 2 GiB."));
    }
    chunks_ = static_cast<qint32>((image_.size() + Firmware::ChunkSize - 1) / Firmware::ChunkSize);
    FirmwareChecksum whole;
    whole.Add(image_, 0);
    imageChecksum_ = whole.Value();
}

FirmwareOutcome FirmwareRun::Outcome() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return outcome_;
}

QString FirmwareRun::Failure() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return failure_;
}

void FirmwareRun::SetOnChange(std::function<void()> onChange) {
    std::lock_guard<std::mutex> lock(mutex_);
    onChange_ = std::move(onChange);
}

void FirmwareRun::start() {
    const int known = engine_.InterfaceOf(mac_);
    std::lock_guard<std::mutex> lock(mutex_);
    interfaceIndex_ = known;
    started_ = true;
    sendCurrent();
}

// The datagram with the current sequence number, and its wait.
void FirmwareRun::sendCurrent() {
    const qint32 sequence = sequence_.load();
    QByteArray datagram;
    int limitSeconds = ChunkLimitSeconds;
    if (sequence < chunks_) {
        const qint64 offset = static_cast<qint64>(sequence) * Firmware::ChunkSize;
        const QByteArray chunk = image_.mid(offset, Firmware::ChunkSize);
        FirmwareChecksum checksum;
        checksum.Add(chunk, 0);
        datagram = FirmwareChunk(macBytes_, sequence, chunk, checksum.Value());
    } else {
        datagram = FirmwareEnd(macBytes_, sequence, image_.size(), imageChecksum_);
        limitSeconds = EndLimitSeconds;
    }
    // Whole seconds elapsed must exceed the limit: that is reached at limit + 1 s.
    // Set before the send, so that a reply quicker than this thread finds it set.
    const qint64 deadline = engine_.clock().nowMs() + (limitSeconds + 1) * 1000LL;
    deadlineMs_.store(deadline);
    engine_.wakeTimerFor(deadline);
    try {
        engine_.endpoint_.SendBroadcast(datagram, DeviceDatagram::Port, interfaceIndex_);
    } catch (const VarnexError& e) {
        finish(FirmwareOutcome::Failed, e.text());
        return;
    }
    if (sequence >= chunks_ && !waitingForEnd_.exchange(true)) notify();
}

void FirmwareRun::acknowledged(const QByteArray& datagram, int interfaceIndex) {
    std::lock_guard<std::mutex> lock(mutex_);
    // Nothing has gone out yet: whatever this answers, it is not this run.
    if (finished_.load() || !started_) return;
    const qint32 sequence = sequence_.load();
    const AckVerdict verdict = JudgeFirmwareAck(datagram, sequence);
    if (verdict == AckVerdict::Stale) return;
    const bool end = sequence >= chunks_;
    const QString what = end ? QStringLiteral("the end") : QStringLiteral("chunk %1").arg(sequence);
    if (verdict == AckVerdict::Refused) {
        finish(FirmwareOutcome::Failed, QStringLiteral("%1 refused").arg(what));
        return;
    }
    if (verdict == AckVerdict::Unreadable) {
        finish(FirmwareOutcome::Failed,
               QStringLiteral("unreadable acknowledgement of %1").arg(what));
        return;
    }
    if (end) {
        finish(FirmwareOutcome::Succeeded, QString());
        return;
    }
    // A gateway not heard from before (an upgrade straight after start-up,
    // say) is reached through every interface once; the rest of the image
    // follows its acknowledgement's interface alone.
    if (interfaceIndex_ == 0) interfaceIndex_ = interfaceIndex;
    const qint64 taken = qMin<qint64>(image_.size(), (sequence + 1LL) * Firmware::ChunkSize);
    acknowledged_.store(taken);
    sequence_.store(sequence + 1);
    sendCurrent();
    notify();
}

void FirmwareRun::timedOut(qint64 nowMs) {
    std::lock_guard<std::mutex> lock(mutex_);
    const qint64 deadline = deadlineMs_.load();
    if (finished_.load() || deadline == 0 || nowMs < deadline) return;
    const qint32 sequence = sequence_.load();
    finish(FirmwareOutcome::Failed,
           sequence >= chunks_ ? QStringLiteral("no acknowledgement of the end")
                               : QStringLiteral("no acknowledgement of chunk %1").arg(sequence));
}

void FirmwareRun::Abandon() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!finished_.load()) finish(FirmwareOutcome::Abandoned, QStringLiteral("abandoned"));
}

void FirmwareRun::finish(FirmwareOutcome outcome, const QString& failure) {
    outcome_ = outcome;
    failure_ = failure;
    deadlineMs_.store(0);
    finished_.store(true);
    engine_.runEnded(macBytes_);
    notify();
}

void FirmwareRun::notify() {
    // Called with mutex_ held: the receiver reads the state after this returns.
    if (onChange_ && !notified_.exchange(true)) onChange_();
}

bool FirmwareRun::Wait(const QDeadlineTimer& deadline) {
    return engine_.waitFor([this] { return finished_.load(); }, deadline);
}

void FirmwareFollower::Update() {
    const qint64 bytes = run_.Acknowledged();
    if (bytes != shown_) {
        shown_ = bytes;
        observer_.ChunkAcknowledged(bytes);
    }
    if (run_.WaitingForEnd() && !waitStarted_) {
        waitStarted_ = true;
        observer_.CompletionWaitStarted();
    }
    if (run_.Finished() && waitStarted_ && !waitEnded_) {
        waitEnded_ = true;
        observer_.CompletionWaitEnded();
    }
}

QByteArray ReadFirmwareImage(const QString& fileName) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        throw VarnexError(QStringLiteral("Cannot open the firmware file \"%1\": %2")
                              .arg(fileName, file.errorString()));
    }
    return ReadFirmwareImage(file);
}

QByteArray ReadFirmwareImage(QIODevice& file) {
    // Refused before anything is read; the count below also catches a file
    // that grows, or a device that reports no size.
    const auto tooLarge = [] {
        return VarnexError(
            QStringLiteral("The firmware file is too large: an image must be smaller than 2 GiB."));
    };
    if (!file.isSequential() && file.size() > Firmware::MaxImageSize) throw tooLarge();
    QByteArray image;
    QByteArray block(64 * 1024, '\0');
    for (;;) {
        const qint64 n = file.read(block.data(), block.size());
        if (n < 0) {
            throw VarnexError(
                QStringLiteral("Cannot read the firmware file: %1").arg(file.errorString()));
        }
        if (n == 0) break;
        if (image.size() + n > Firmware::MaxImageSize) throw tooLarge();
        image.append(block.constData(), static_cast<qsizetype>(n));
    }
    return image;
}

qint64 FileSizeOf(const QString& name) {
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly)) return -1;
    return file.size();
}
