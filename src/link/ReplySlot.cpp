#include "link/ReplySlot.h"

#include "link/Clock.h"

#include <QEventLoop>
#include <QTimer>

void ReplySlot::Store(const QByteArray& datagram) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        lastAckReply_ = datagram;
    }
    ackArrived_.store(1, std::memory_order_release);
    emit Arrived();
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

QByteArray ReplySlot::Take() {
    QByteArray text = LastAckReply();
    ackArrived_.store(0, std::memory_order_release);
    return text;
}

QByteArray WaitForReply(ReplySlot& slot, int limitSeconds, const Clock& clock) {
    const qint64 start = clock.nowMs();
    // Whole seconds elapsed must exceed the limit: that is reached at limit + 1 s.
    const qint64 endMs = start + (static_cast<qint64>(limitSeconds) + 1) * 1000;

    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    deadline.setTimerType(Qt::PreciseTimer);
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    // Queued: the signal comes from the receiving thread.
    QObject::connect(&slot, &ReplySlot::Arrived, &loop, &QEventLoop::quit, Qt::QueuedConnection);

    while (slot.AckArrived() == 0) {
        const qint64 left = endMs - clock.nowMs();
        if (left <= 0) break;
        deadline.start(static_cast<int>(qMax<qint64>(1, clock.realMs(left))));
        loop.exec();
    }
    deadline.stop();
    if (slot.LastAckReply().isEmpty()) return QByteArray();
    return slot.Take();
}
