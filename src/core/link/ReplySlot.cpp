#include "link/ReplySlot.h"

#include "link/Clock.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <chrono>

void ReplySlot::Store(const QByteArray& datagram, int interfaceIndex) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        lastAckReply_ = datagram;  // the text first,
        lastInterface_ = interfaceIndex;
        ackArrived_.store(1, std::memory_order_release);  // the flag second
    }
    arrivedCv_.notify_all();
}

void ReplySlot::Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    lastAckReply_.clear();
    ackArrived_.store(0, std::memory_order_release);
}

QByteArray ReplySlot::LastAckReply() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return lastAckReply_;
}

int ReplySlot::LastInterface() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return lastInterface_;
}

QByteArray ReplySlot::Take() {
    QByteArray text = LastAckReply();
    ackArrived_.store(0, std::memory_order_release);
    return text;
}

bool ReplySlot::WaitArrived(qint64 realMs) {
    std::unique_lock<std::mutex> lock(mutex_);
    return arrivedCv_.wait_for(lock, std::chrono::milliseconds(realMs),
                               [&] { return ackArrived_.load(std::memory_order_acquire) != 0; });
}

QByteArray WaitForReply(ReplySlot& slot, int limitSeconds, const Clock& clock) {
    const qint64 start = clock.nowMs();
    // Whole seconds elapsed must exceed the limit: that is reached at limit + 1 s.
    const qint64 endMs = start + (static_cast<qint64>(limitSeconds) + 1) * 1000;
    // The window's messages are processed at least this often while nothing arrives.
    constexpr qint64 kRepaintMs = 20;
    // ...and not more often than this: a run of quick replies (thousands of
    // firmware chunks a second) does not pay for a pass over the event queue on
    // every one, yet the window still repaints and takes input at a steady pace.
    constexpr qint64 kEventsEveryMs = 10;
    static thread_local QElapsedTimer sinceEvents;

    while (slot.AckArrived() == 0) {
        if (!sinceEvents.isValid() || sinceEvents.elapsed() >= kEventsEveryMs) {
            QCoreApplication::processEvents();
            sinceEvents.start();
            if (slot.AckArrived() != 0) break;
        }
        const qint64 left = endMs - clock.nowMs();
        if (left <= 0) break;
        // Sleeps on the slot itself: a reply wakes it at once, without a trip
        // through the event queue.
        slot.WaitArrived(qBound<qint64>(1, clock.realMs(left), kRepaintMs));
    }
    if (slot.LastAckReply().isEmpty()) return QByteArray();
    return slot.Take();
}
