#pragma once

#include "engine/GatewayEngine.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QString>

class QIODevice;

#include <atomic>
#include <functional>
#include <mutex>

enum class FirmwareOutcome {
    Succeeded,
    Failed,
    Abandoned,  // the front end gave up (the window went away): nothing more is sent
};

// One upgrade, run by the engine where the acknowledgements arrive: the image
// in chunks of 128 bytes, one in flight at a time, then the end datagram and
// the gateway's verdict. The next chunk leaves from the receiving thread as
// soon as the acknowledgement of the last one is in, so no thread hop sits in
// the exchange; the front end only follows the progress.
//
// Each chunk waits up to 4 s for its acknowledgement, the end up to 41 s, on
// the engine's clock. An acknowledgement counts only when it carries this
// gateway's MAC (see GatewayEngine), and one that repeats the number of a chunk
// already acknowledged counts for nothing: on two links to one segment every
// acknowledgement arrives twice, and the second copy must not let the next
// chunk go out before the gateway has taken the one in flight.
//
// Readers are safe on any thread.
class FirmwareRun {
public:
    static constexpr int ChunkLimitSeconds = 3;  // gives up after 4 s
    static constexpr int EndLimitSeconds = 40;   // gives up after 41 s

    FirmwareRun(GatewayEngine& engine, const QString& mac, const QByteArray& image);

    const QString& Mac() const { return mac_; }
    qint64 Size() const { return image_.size(); }
    qint64 Acknowledged() const { return acknowledged_.load(); }
    qint32 ChunksAcknowledged() const { return sequence_.load(); }
    bool WaitingForEnd() const { return waitingForEnd_.load(); }
    bool Finished() const { return finished_.load(); }
    FirmwareOutcome Outcome() const;
    // Why the run failed: empty after a success.
    QString Failure() const;

    // Called on an engine thread whenever the state above changed; calls that
    // come while one is still unanswered are merged into it (see Noticed).
    // Set before Start; clear it before the receiver goes away.
    void SetOnChange(std::function<void()> onChange);
    // The receiver has read the state: the next change calls again.
    void Noticed() { notified_.store(false); }

    // Sends nothing more and ends at once with Abandoned.
    void Abandon();
    // Blocks the owner thread until the run has finished or the deadline has
    // passed; true when finished.
    bool Wait(const QDeadlineTimer& deadline);

private:
    friend class GatewayEngine;
    enum class Judged { Accepted, Failed, Ignored };
    void start();                                                       // owner thread, once
    void acknowledged(const QByteArray& datagram, int interfaceIndex);  // receiving thread
    void timedOut(qint64 nowMs);                                        // timer thread
    qint64 deadlineMs() const { return deadlineMs_.load(); }
    void sendCurrent();  // with mutex_ held
    void finish(FirmwareOutcome outcome, const QString& failure);
    void notify();

    GatewayEngine& engine_;
    QString mac_;
    QByteArray macBytes_;
    QByteArray image_;
    qint32 chunks_ = 0;
    quint32 imageChecksum_ = 0;
    int interfaceIndex_ = 0;  // with mutex_
    bool started_ = false;    // with mutex_

    mutable std::mutex mutex_;
    std::atomic<qint32> sequence_{0};  // the datagram in flight
    std::atomic<qint64> acknowledged_{0};
    std::atomic<bool> waitingForEnd_{false};
    std::atomic<bool> finished_{false};
    std::atomic<qint64> deadlineMs_{0};  // 0: none
    FirmwareOutcome outcome_ = FirmwareOutcome::Failed;
    QString failure_;
    std::function<void()> onChange_;
    std::atomic<bool> notified_{false};
};

// What a front end shows of an upgrade.
class FirmwareObserver {
public:
    virtual ~FirmwareObserver() = default;
    // Every chunk so far is acknowledged: `bytes` of the image are with the gateway.
    virtual void ChunkAcknowledged(qint64 bytes) = 0;
    // The end datagram has gone: the long wait for the gateway's verdict begins.
    virtual void CompletionWaitStarted() = 0;
    virtual void CompletionWaitEnded() = 0;
};

// Turns a run's state into the observer's calls, on the owner thread: each
// Update reports what changed since the last one, the exact acknowledged bytes
// included, so a front end that updates once more after the end shows the
// final figure.
class FirmwareFollower {
public:
    FirmwareFollower(const FirmwareRun& run, FirmwareObserver& observer)
        : run_(run), observer_(observer) {}
    void Update();

private:
    const FirmwareRun& run_;
    FirmwareObserver& observer_;
    qint64 shown_ = 0;
    bool waitStarted_ = false;
    bool waitEnded_ = false;
};

// The whole image of a firmware file, read before anything is sent, so that a
// file that cannot be read leaves the gateway untouched. Raises VarnexError
// when it cannot be opened or read, or is 2 GiB or more.
QByteArray ReadFirmwareImage(const QString& fileName);
QByteArray ReadFirmwareImage(QIODevice& file);

// The size of a file that can be opened for reading, or -1.
qint64 FileSizeOf(const QString& name);
