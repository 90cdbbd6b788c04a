#pragma once

#include <QDateTime>

#include <functional>

#include "timing/Clock.h"

class QObject;

// A clock that only moves when the program waits on it. Each pass of a wait
// runs pending events, calls the test's hook with the wait step (where the
// test can deliver replies or press buttons), runs events again, then
// advances the time by the step.
class FakeClock final : public vx::timing::Clock {
public:
    explicit FakeClock(QDateTime start = QDateTime(QDate(2016, 9, 22), QTime(14, 5, 9)))
        : start_(start), now_(std::move(start)) {}

    QDateTime now() const override { return now_; }
    qint64 elapsedNs() const override { return start_.msecsTo(now_) * 1'000'000; }
    void runEventsFor(qint64 ms) override;
    // Jumps to the due time when the event loop comes round.
    void callAt(qint64 dueNs, const QObject* context, std::function<void()> fn) override;

    void advance(qint64 ms) { now_ = now_.addMSecs(ms); }
    void set(const QDateTime& t) { now_ = t; }

    // Called on every pass of a wait with the pass's length in milliseconds.
    std::function<void(qint64 ms)> onWait;
    // Total milliseconds waited, and how many passes.
    qint64 waitedMs = 0;
    int passes = 0;

private:
    QDateTime start_;
    QDateTime now_;
};

// A real clock that runs `factor` times faster than the wall clock: the
// program's waits keep their shape against a real device, in a fraction of
// the time.
class FastClock final : public vx::timing::Clock {
public:
    explicit FastClock(double factor);
    QDateTime now() const override;
    qint64 elapsedNs() const override;
    void runEventsFor(qint64 ms) override;
    void callAt(qint64 dueNs, const QObject* context, std::function<void()> fn) override;

private:
    double factor_;
    QDateTime start_;
    qint64 startMs_;
};
