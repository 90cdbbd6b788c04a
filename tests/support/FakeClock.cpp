#include "support/FakeClock.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <cmath>

void FakeClock::runEventsFor(qint64 ms) {
    QCoreApplication::processEvents();
    ++passes;
    if (onWait) {
        onWait(ms);
    }
    QCoreApplication::processEvents();
    now_ = now_.addMSecs(ms);
    waitedMs += ms;
}

void FakeClock::callAt(qint64 dueNs, const QObject* context, std::function<void()> fn) {
    QTimer::singleShot(0, context, [this, dueNs, fn = std::move(fn)] {
        if (elapsedNs() < dueNs) {
            now_ = start_.addMSecs((dueNs + 999'999) / 1'000'000);
        }
        fn();
    });
}

namespace {
qint64 monotonicMs() {
    static QElapsedTimer timer = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return timer.elapsed();
}
}  // namespace

FastClock::FastClock(double factor)
    : factor_(factor), start_(QDateTime::currentDateTime()), startMs_(monotonicMs()) {}

QDateTime FastClock::now() const {
    return start_.addMSecs(std::llround(double(monotonicMs() - startMs_) * factor_));
}

void FastClock::runEventsFor(qint64 ms) {
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(static_cast<int>(std::max<qint64>(1, std::llround(double(ms) / factor_))));
    loop.exec();
}

qint64 FastClock::elapsedNs() const {
    return std::llround(double(monotonicMs() - startMs_) * factor_ * 1e6);
}

void FastClock::callAt(qint64 dueNs, const QObject* context, std::function<void()> fn) {
    const qint64 waitNs = std::max<qint64>(dueNs - elapsedNs(), 0);
    QTimer::singleShot(static_cast<int>(std::llround(double(waitNs) / 1e6 / factor_)),
                       Qt::PreciseTimer, context, std::move(fn));
}
