#include "discovery/DiscoveryInbox.h"

#include <QElapsedTimer>
#include <QMetaObject>

#include <algorithm>

DiscoveryInbox::DiscoveryInbox(QObject* parent) : QObject(parent) {}

void DiscoveryInbox::Post(const DiscoveryReply& reply) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.push_back(reply);
        if (drainPosted_) return;
        drainPosted_ = true;
    }
    postDrain();
}

void DiscoveryInbox::postDrain() {
    QMetaObject::invokeMethod(this, "drainBatch", Qt::QueuedConnection);
}

int DiscoveryInbox::Pending() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<int>(queue_.size());
}

void DiscoveryInbox::Discard() {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.clear();
}

void DiscoveryInbox::DrainAll() {
    drain(false);
}

bool DiscoveryInbox::takeFront(DiscoveryReply& reply) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (queue_.empty()) {
        // The next Post must ask for a new drain.
        drainPosted_ = false;
        return false;
    }
    reply = std::move(queue_.front());
    queue_.pop_front();
    return true;
}

bool DiscoveryInbox::takeBatch(QVector<DiscoveryReply>& batch) {
    batch.clear();
    std::lock_guard<std::mutex> lock(mutex_);
    if (queue_.empty()) {
        drainPosted_ = false;
        return false;
    }
    const auto count = std::min<size_t>(queue_.size(), MaxBatch);
    batch.reserve(static_cast<int>(count));
    for (size_t i = 0; i < count; ++i) {
        batch.append(std::move(queue_.front()));
        queue_.pop_front();
    }
    return true;
}

void DiscoveryInbox::handleOne(const DiscoveryReply& reply) {
    try {
        if (handler_) handler_(reply);
    } catch (...) {
        // A reply the list cannot take (a row is being edited, say) is lost
        // alone, silently, like any datagram whose handler fails.
    }
}

void DiscoveryInbox::handleBatch(const QVector<DiscoveryReply>& batch) {
    try {
        batchHandler_(batch);
    } catch (...) {
        // As above: the list could have taken none of them one by one either.
    }
}

void DiscoveryInbox::drain(bool budgeted) {
    QElapsedTimer elapsed;
    elapsed.start();
    DiscoveryReply reply;
    QVector<DiscoveryReply> batch;
    while (batchHandler_ ? takeBatch(batch) : takeFront(reply)) {
        if (batchHandler_) {
            handleBatch(batch);
        } else {
            handleOne(reply);
        }
        if (budgeted && elapsed.elapsed() >= budgetMs_) {
            std::lock_guard<std::mutex> lock(mutex_);
            if (queue_.empty()) {
                drainPosted_ = false;
                return;
            }
            // Still posted: the rest waits behind the events that came meanwhile.
            postDrain();
            return;
        }
    }
}
