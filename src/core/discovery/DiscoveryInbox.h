#pragma once

#include "discovery/DiscoveryReply.h"

#include <QObject>
#include <QVector>

#include <deque>
#include <functional>
#include <mutex>

// Carries decoded discovery replies from the receiving thread to the thread that
// owns the inbox (the UI thread), in arrival order.
//
// The receiving thread only queues a reply and, when the queue was empty, posts
// one drain request. The owner thread then hands the replies to the handler in
// batches: a batch ends once it has run for the time budget, and the rest waits
// for a new drain request posted behind whatever events came meanwhile. A burst
// of thousands of replies thus never holds the event loop for long, and the
// order is kept because only the owner thread takes replies out, front first.
class DiscoveryInbox : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<void(const DiscoveryReply&)>;
    using BatchHandler = std::function<void(const QVector<DiscoveryReply>&)>;

    explicit DiscoveryInbox(QObject* parent = nullptr);

    // Owner thread, before replies can arrive. An error the handler raises drops
    // that reply only.
    void SetHandler(Handler handler) { handler_ = std::move(handler); }
    // Instead of the handler: up to MaxBatch replies at a time, in arrival
    // order, so that the list can take each batch with one model signal. An
    // error it raises drops that batch.
    void SetBatchHandler(BatchHandler handler) { batchHandler_ = std::move(handler); }
    static constexpr int MaxBatch = 256;
    void SetBudgetMs(int ms) { budgetMs_ = ms; }

    // Any thread.
    void Post(const DiscoveryReply& reply);
    int Pending() const;

    // Owner thread: forgets the replies not yet handled.
    void Discard();
    // Owner thread: hands every pending reply to the handler now, without budget.
    void DrainAll();

private:
    // Queued by name: the request carries no functor whose lifetime two threads share.
    Q_INVOKABLE void drainBatch() { drain(true); }
    void postDrain();
    void drain(bool budgeted);
    bool takeFront(DiscoveryReply& reply);
    bool takeBatch(QVector<DiscoveryReply>& batch);
    void handleOne(const DiscoveryReply& reply);
    void handleBatch(const QVector<DiscoveryReply>& batch);

    Handler handler_;
    BatchHandler batchHandler_;
    int budgetMs_ = 4;  // leaves room for the repaint that follows each batch
    mutable std::mutex mutex_;
    std::deque<DiscoveryReply> queue_;
    bool drainPosted_ = false;
};
