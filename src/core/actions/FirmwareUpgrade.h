#pragma once

#include <QByteArray>
#include <QString>

class Clock;
class QIODevice;
class ReplySlot;
class UdpEndpoint;

// What the window shows of an upgrade while it runs.
class FirmwareObserver {
public:
    virtual ~FirmwareObserver() = default;
    // Every chunk so far is acknowledged: `bytes` of the image are with the gateway.
    virtual void ChunkAcknowledged(qint64 bytes) = 0;
    // The end datagram has gone: the long wait for the gateway's verdict begins.
    virtual void CompletionWaitStarted() = 0;
    virtual void CompletionWaitEnded() = 0;
};

enum class FirmwareOutcome {
    Succeeded,
    Failed,
    Abandoned,  // the window went away during a wait: nothing more is sent or shown
};

// One upgrade: the image in acknowledged chunks, then the end datagram and the
// gateway's verdict. One chunk is in flight at a time; each waits up to 4 s for
// its acknowledgement, the end up to 41 s. Runs on the UI thread, which keeps
// processing its events during the waits.
class FirmwareUpgrade {
public:
    static constexpr int ChunkLimitSeconds = 3;  // gives up after 4 s
    static constexpr int EndLimitSeconds = 40;   // gives up after 41 s

    // `image` is open for reading; the run closes it once it has been read.
    FirmwareUpgrade(const QByteArray& mac, QIODevice& image, UdpEndpoint& endpoint, ReplySlot& slot,
                    Clock& clock, FirmwareObserver& observer);

    // Raises VarnexError when the image cannot be read, is 2 GiB or more, or a
    // send fails; the caller's clean-up then ends the run.
    FirmwareOutcome Run();

    // Sends through the interface the gateway answered on (0: every interface
    // until its first acknowledgement tells).
    void SetInterface(int interfaceIndex) { interfaceIndex_ = interfaceIndex; }

    // Ends a wait at once; Run then gives Abandoned without sending anything
    // more. For a handler that runs inside a wait (the window being closed).
    void Abandon();

    qint32 ChunksAcknowledged() const { return sequence_; }
    // Why the run failed, for tests: empty after a success.
    const QString& Failure() const { return failure_; }

private:
    enum class Exchange { Accepted, Failed, Abandoned };
    QByteArray readChunk();
    // `end`: the end datagram, with its long wait and the blinking caption.
    Exchange exchange(const QByteArray& datagram, bool end);
    void send(const QByteArray& datagram);

    QByteArray mac_;
    QIODevice& image_;
    UdpEndpoint& endpoint_;
    ReplySlot& slot_;
    Clock& clock_;
    FirmwareObserver& observer_;
    int interfaceIndex_ = 0;
    qint32 sequence_ = 0;
    bool abandoned_ = false;
    QString failure_;
};

// The size of a file that can be opened for reading, or -1.
qint64 FileSizeOf(const QString& name);
