#pragma once

#include <QDateTime>
#include <QElapsedTimer>

#include <functional>

class QObject;

namespace vx::cli {

// The logger's view of time: the wall clock for time stamps, a steady clock
// for the reading schedule, and a way to be called back at a point of that
// schedule from the event loop. Tests give a clock that jumps to each due
// time at once, so a run of a thousand readings takes no waiting.
class ScheduleClock {
public:
    virtual ~ScheduleClock() = default;

    // Local wall-clock date and time.
    virtual QDateTime now() const = 0;

    // Nanoseconds of the steady clock since this clock was made; never goes
    // back, whatever happens to the wall clock.
    virtual qint64 elapsedNs() const = 0;

    // Calls `fn` from the event loop once elapsedNs() has reached `dueNs`
    // (at the next pass when that time has already come). Nothing is called
    // once `context` is gone.
    virtual void callAt(qint64 dueNs, const QObject* context, std::function<void()> fn) = 0;
};

// The real clocks, with a precise timer: each reading starts within a
// millisecond of its due time and the event loop sleeps in between.
class SystemScheduleClock final : public ScheduleClock {
public:
    SystemScheduleClock();
    QDateTime now() const override;
    qint64 elapsedNs() const override;
    void callAt(qint64 dueNs, const QObject* context, std::function<void()> fn) override;

private:
    QElapsedTimer steady_;
};

}  // namespace vx::cli
