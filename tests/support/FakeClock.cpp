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
