#include "link/Clock.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <chrono>
#include <thread>

namespace {
qint64 monotonicNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void keepPause(qint64 realMs) {
    if (realMs <= 0) return;
    // A batch's worker thread has no events to keep going: it just sleeps.
    const QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() != app->thread()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(realMs));
        return;
    }
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(realMs), Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}
}  // namespace

SystemClock::SystemClock() : startNs_(monotonicNs()) {}

qint64 SystemClock::nowMs() const {
    return (monotonicNs() - startNs_) / 1000000;
}

void SystemClock::pause(int ms) {
    keepPause(ms);
}

ScaledClock::ScaledClock(double factor) : factor_(factor), startNs_(monotonicNs()) {}

qint64 ScaledClock::nowMs() const {
    return static_cast<qint64>(static_cast<double>(monotonicNs() - startNs_) * factor_ / 1e6);
}

qint64 ScaledClock::realMs(qint64 ms) const {
    return static_cast<qint64>(static_cast<double>(ms) / factor_ + 0.999);
}

void ScaledClock::pause(int ms) {
    keepPause(realMs(ms));
}
