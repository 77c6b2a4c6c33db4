#include "fleet/FleetBatch.h"

#include "link/VarnexError.h"

#include <exception>

QString FleetStateName(FleetBatch::State state) {
    switch (state) {
        case FleetBatch::State::Waiting:
            return QStringLiteral("waiting");
        case FleetBatch::State::Running:
            return QStringLiteral("running");
        case FleetBatch::State::Done:
            return QStringLiteral("done");
        case FleetBatch::State::Failed:
            return QStringLiteral("failed");
        case FleetBatch::State::Skipped:
            return QStringLiteral("skipped");
        case FleetBatch::State::NotStarted:
            break;
    }
    return QStringLiteral("not started");
}

FleetBatch::FleetBatch(const QList<DiscoveryReply>& gateways, int parallel, int maxFailures)
    : parallel_(qBound(1, parallel, 64)), maxFailures_(qMax(0, maxFailures)) {
    for (const DiscoveryReply& g : gateways) {
        Status s;
        s.gateway = g;
        statuses_.append(s);
    }
}

FleetBatch::~FleetBatch() {
    Stop();
    for (std::thread& t : workers_) {
        if (t.joinable()) t.join();
    }
}

void FleetBatch::Start(std::shared_ptr<Job> job) {
    job_ = std::move(job);
    const int workers = qMin(parallel_, static_cast<int>(statuses_.size()));
    {
        std::lock_guard<std::mutex> lock(mutex_);
        workersRunning_ = workers;
    }
    for (int i = 0; i < workers; ++i) workers_.emplace_back(&FleetBatch::work, this);
    if (workers == 0) notify();
}

void FleetBatch::Stop() {
    stopping_.store(true);
}

bool FleetBatch::Finished() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return workersRunning_ == 0;
}

bool FleetBatch::Wait(const QDeadlineTimer& deadline) {
    std::unique_lock<std::mutex> lock(mutex_);
    while (workersRunning_ > 0) {
        if (deadline.hasExpired()) return false;
        const qint64 left = deadline.isForever() ? 1000 : qMax<qint64>(1, deadline.remainingTime());
        finished_.wait_for(lock, std::chrono::milliseconds(qMin<qint64>(left, 1000)));
    }
    return true;
}

void FleetBatch::work() {
    for (;;) {
        int index = -1;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            const bool tooManyFailures = maxFailures_ > 0 && failures_ >= maxFailures_;
            if (stopping_.load() || tooManyFailures) {
                // What nobody took is left as it was, for a retry.
                for (int i = next_; i < statuses_.size(); ++i) {
                    statuses_[i].state = State::NotStarted;
                    statuses_[i].reason =
                        tooManyFailures ? QStringLiteral("%1 failures: stopped").arg(failures_)
                                        : QStringLiteral("stopped");
                }
                next_ = statuses_.size();
            }
            if (next_ < statuses_.size()) index = next_++;
        }
        if (index < 0) break;
        DiscoveryReply gateway;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            gateway = statuses_[index].gateway;
        }
        set(index, State::Running, -1, QString());
        log(gateway.Mac, QStringLiteral("started"));
        Outcome outcome;
        try {
            outcome = job_->Run(gateway, [this, index](int percent) {
                set(index, State::Running, qBound(0, percent, 100), QString());
            });
        } catch (const VarnexError& e) {
            outcome = {State::Failed, e.text()};
        } catch (const std::exception& e) {
            outcome = {State::Failed, QString::fromLocal8Bit(e.what())};
        } catch (...) {
            outcome = {State::Failed, QStringLiteral("unknown error")};
        }
        if (outcome.state == State::Failed) {
            std::lock_guard<std::mutex> lock(mutex_);
            ++failures_;
        }
        set(index, outcome.state, outcome.state == State::Done ? 100 : -1, outcome.reason);
        log(gateway.Mac, outcome.reason.isEmpty() ? FleetStateName(outcome.state)
                                                  : FleetStateName(outcome.state) +
                                                        QStringLiteral(": ") + outcome.reason);
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        --workersRunning_;
    }
    finished_.notify_all();
    notify();
}

void FleetBatch::set(int index, State state, int percent, const QString& reason) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        Status& s = statuses_[index];
        s.state = state;
        s.percent = percent;
        s.reason = reason;
    }
    notify();
}

void FleetBatch::log(const QString& mac, const QString& event) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        log_.append({QDateTime::currentDateTimeUtc(), mac, event});
    }
    notify();
}

void FleetBatch::notify() {
    if (onChange_ && !notified_.exchange(true)) onChange_();
}

QList<FleetBatch::Status> FleetBatch::Statuses() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return statuses_;
}

QList<FleetBatch::LogEntry> FleetBatch::Log() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return log_;
}

int FleetBatch::Count(State state) const {
    std::lock_guard<std::mutex> lock(mutex_);
    int n = 0;
    for (const Status& s : statuses_) n += s.state == state ? 1 : 0;
    return n;
}

QString FleetBatch::Summary() const {
    QStringList parts{QStringLiteral("%1 done").arg(Count(State::Done)),
                      QStringLiteral("%1 failed").arg(Count(State::Failed)),
                      QStringLiteral("%1 skipped").arg(Count(State::Skipped))};
    if (const int n = Count(State::NotStarted)) parts << QStringLiteral("%1 not started").arg(n);
    return parts.join(QStringLiteral(", "));
}
