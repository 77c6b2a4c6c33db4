#pragma once

#include "discovery/DiscoveryReply.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QList>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// One operation on many gateways, each with its own result: the window's fleet
// window and varnexctl's batch commands both run their batches here.
//
// Up to `parallel` gateways are worked on at once, each by a job that runs on a
// worker thread of the batch and blocks on the engine's waits (the engine takes
// one exchange per gateway and tells replies apart by MAC, so jobs on different
// gateways never mix). A gateway that fails fails alone; the others go on.
// Stop starts no further gateway, lets the jobs that run finish (an upgrade
// sends the rest of its image, a write its read-back) and leaves the rest
// "not started".
class FleetBatch {
public:
    enum class State { Waiting, Running, Done, Failed, Skipped, NotStarted };
    struct Status {
        DiscoveryReply gateway;
        State state = State::Waiting;
        int percent = -1;  // while running, when the job tells it
        QString reason;    // why it failed or was skipped; what it did when done
    };
    struct LogEntry {
        QDateTime time;  // UTC
        QString mac;
        QString event;
    };

    // What a job hands back; `percent` may be told while it runs.
    struct Outcome {
        State state = State::Done;  // Done, Failed or Skipped
        QString reason;
    };
    class Job {
    public:
        virtual ~Job() = default;
        // Worker thread. `progress(percent)` may be called as often as wanted.
        // An exception (VarnexError or std::exception) fails the gateway with
        // its text.
        virtual Outcome Run(const DiscoveryReply& gateway,
                            const std::function<void(int percent)>& progress) = 0;
    };

    // `maxFailures`: after that many failures no further gateway is started
    // (0: no limit).
    FleetBatch(const QList<DiscoveryReply>& gateways, int parallel, int maxFailures = 0);
    ~FleetBatch();  // stops and waits for the running jobs
    FleetBatch(const FleetBatch&) = delete;
    FleetBatch& operator=(const FleetBatch&) = delete;

    // Called on a worker thread after a gateway's status changed, or a log line
    // was added; calls that come while one is unanswered are merged (see
    // Noticed). Set before Start.
    void SetOnChange(std::function<void()> onChange) { onChange_ = std::move(onChange); }
    void Noticed() { notified_.store(false); }

    void Start(std::shared_ptr<Job> job);
    void Stop();
    bool Stopping() const { return stopping_.load(); }
    // Blocks until every worker has ended; true when they have.
    bool Wait(const QDeadlineTimer& deadline);
    bool Finished() const;

    QList<Status> Statuses() const;
    QList<LogEntry> Log() const;
    int Count(State state) const;
    // "18 done, 2 failed, 1 skipped" (and "3 not started" when some were not).
    QString Summary() const;

private:
    void work();
    void set(int index, State state, int percent, const QString& reason);
    void log(const QString& mac, const QString& event);
    void notify();

    int parallel_;
    int maxFailures_;
    std::shared_ptr<Job> job_;
    std::function<void()> onChange_;
    std::atomic<bool> notified_{false};
    std::atomic<bool> stopping_{false};

    mutable std::mutex mutex_;
    std::condition_variable finished_;
    QList<Status> statuses_;
    QList<LogEntry> log_;
    int next_ = 0;
    int failures_ = 0;
    int workersRunning_ = 0;
    std::vector<std::thread> workers_;
};

// The name of a state as the fleet window and varnexctl show it.
QString FleetStateName(FleetBatch::State state);
