#include "timing/Clock.h"

#include <QEventLoop>
#include <QTimer>

#include <algorithm>

namespace vx::timing {

SystemClock::SystemClock() {
    steady_.start();
}

QDateTime SystemClock::now() const {
    return QDateTime::currentDateTime();
}

qint64 SystemClock::elapsedNs() const {
    return steady_.nsecsElapsed();
}

void SystemClock::runEventsFor(qint64 ms) {
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(static_cast<int>(std::max<qint64>(ms, 0)));
    loop.exec();
}

void readTimeZoneOnce() {
    if (!qEnvironmentVariableIsSet("TZ")) {
        qputenv("TZ", ":/etc/localtime");
    }
}

void SystemClock::callAt(qint64 dueNs, const QObject* context, std::function<void()> fn) {
    // Rounded up, so the call never comes before its time.
    const qint64 waitNs = std::max<qint64>(dueNs - elapsedNs(), 0);
    const int waitMs = static_cast<int>((waitNs + 999'999) / 1'000'000);
    QTimer::singleShot(waitMs, Qt::PreciseTimer, context, std::move(fn));
}

}  // namespace vx::timing
