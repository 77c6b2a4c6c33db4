#pragma once

#include <QByteArray>
#include <QObject>

#include <atomic>
#include <condition_variable>
#include <mutex>

class Clock;

// LastAckReply / AckArrived: the last firmware acknowledgement, carried from the
// receiving thread to the UI thread. The text is stored before the flag is set,
// and the two threads never touch the text at the same time.
class ReplySlot : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Receiving thread: store the whole datagram and the interface it came in
    // on, then raise the flag.
    void Store(const QByteArray& datagram, int interfaceIndex = 0);

    // UI thread.
    void Clear();  // LastAckReply := empty, AckArrived := 0
    QByteArray LastAckReply() const;
    // The interface of the last stored reply (0: not known).
    int LastInterface() const;
    int AckArrived() const { return ackArrived_.load(std::memory_order_acquire); }
    // The reply's text, with the flag cleared again.
    QByteArray Take();
    // Sleeps until the flag is raised or `realMs` have passed; true when raised.
    bool WaitArrived(qint64 realMs);

private:
    mutable std::mutex mutex_;
    QByteArray lastAckReply_;
    int lastInterface_ = 0;
    std::atomic<int> ackArrived_{0};
    std::condition_variable arrivedCv_;
};

// Waits on the UI thread for an acknowledgement: the window keeps processing its
// messages (at least every 20 ms), the wait wakes as soon as one arrives, and
// gives up once the whole seconds elapsed exceed `limitSeconds` (a limit of 3
// ends after 4 seconds).
// Gives the reply's text, or an empty array when none came.
QByteArray WaitForReply(ReplySlot& slot, int limitSeconds, const Clock& clock);
