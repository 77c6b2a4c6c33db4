#pragma once

#include <QtGlobal>

// The program's sense of time: the pauses it must keep and the limits of its
// waits. The real clock is monotonic; tests pass one that runs faster so that a
// 41-second limit does not take 41 seconds.
class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds on this clock since an arbitrary fixed start.
    virtual qint64 nowMs() const = 0;
    // How many real milliseconds a span of `ms` on this clock lasts.
    virtual qint64 realMs(qint64 ms) const = 0;
    // A pause the program keeps: the window is repainted and replies handed to
    // the UI thread still run, but no operator input is taken meanwhile.
    virtual void pause(int ms) = 0;
};

class SystemClock : public Clock {
public:
    SystemClock();
    qint64 nowMs() const override;
    qint64 realMs(qint64 ms) const override { return ms; }
    void pause(int ms) override;

private:
    qint64 startNs_;
};

// Runs `factor` times faster than real time (tests).
class ScaledClock : public Clock {
public:
    explicit ScaledClock(double factor);
    qint64 nowMs() const override;
    qint64 realMs(qint64 ms) const override;
    void pause(int ms) override;

private:
    double factor_;
    qint64 startNs_;
};
