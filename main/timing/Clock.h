#pragma once

#include <QDateTime>
#include <QElapsedTimer>

#include <functional>

class QObject;

namespace vx::timing {

// The program's view of time. Every wait and every schedule goes through one
// Clock, so tests run the 1, 2 and 10 second waits and a thousand readings
// without sleeping.
class Clock {
public:
    virtual ~Clock() = default;

    // Local wall-clock date and time.
    virtual QDateTime now() const = 0;

    // Nanoseconds of the steady clock since this clock was made; never goes
    // back, whatever happens to the wall clock.
    virtual qint64 elapsedNs() const = 0;

    // Lets pending events run for about `ms` milliseconds of this clock's
    // time, blocking on the event loop in between.
    virtual void runEventsFor(qint64 ms) = 0;

    // Calls `fn` from the event loop once elapsedNs() has reached `dueNs`
    // (at the next pass when that time has already come). Nothing is called
    // once `context` is gone.
    virtual void callAt(qint64 dueNs, const QObject* context, std::function<void()> fn) = 0;
};

// The real clocks. Waits block on a nested event loop and calls come from a
// precise single-shot timer, so waiting costs no CPU and each call comes
// within a millisecond of its due time.
class SystemClock final : public Clock {
public:
    SystemClock();
    QDateTime now() const override;
    qint64 elapsedNs() const override;
    void runEventsFor(qint64 ms) override;
    void callAt(qint64 dueNs, const QObject* context, std::function<void()> fn) override;

private:
    QElapsedTimer steady_;
};

// Unless TZ names the zone, the C library looks at /etc/localtime again at
// every conversion to local time: a file system call each time Qt asks for
// the time of day. Naming that same file in TZ (when TZ is not set) has it
// read once; the times are the same. For programs that take the time at
// every reading; call first thing in main(), before any thread starts.
void readTimeZoneOnce();

}  // namespace vx::timing
