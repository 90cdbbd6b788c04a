#pragma once

#include <QDateTime>

namespace vx::shell {

// The program's view of time. Every wait of the program goes through one
// Clock, so tests can run the 1, 2 and 10 second waits without sleeping.
class Clock {
public:
    virtual ~Clock() = default;

    // Local wall-clock date and time.
    virtual QDateTime now() const = 0;

    // Lets pending window and serial events run for about `ms` milliseconds of
    // this clock's time, blocking on the event loop in between.
    virtual void runEventsFor(qint64 ms) = 0;
};

// The real wall clock; waits block on a nested event loop with a precise
// single-shot timer, so a waiting handler costs no CPU.
class SystemClock final : public Clock {
public:
    QDateTime now() const override;
    void runEventsFor(qint64 ms) override;
};

}  // namespace vx::shell
