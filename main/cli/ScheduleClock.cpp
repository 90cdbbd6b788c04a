#include "cli/ScheduleClock.h"

#include <QTimer>

namespace vx::cli {

SystemScheduleClock::SystemScheduleClock() {
    steady_.start();
}

QDateTime SystemScheduleClock::now() const {
    return QDateTime::currentDateTime();
}

qint64 SystemScheduleClock::elapsedNs() const {
    return steady_.nsecsElapsed();
}

void SystemScheduleClock::callAt(qint64 dueNs, const QObject* context, std::function<void()> fn) {
    // Rounded up, so the call never comes before its time.
    const qint64 waitNs = std::max<qint64>(dueNs - elapsedNs(), 0);
    const int waitMs = static_cast<int>((waitNs + 999'999) / 1'000'000);
    QTimer::singleShot(waitMs, Qt::PreciseTimer, context, std::move(fn));
}

}  // namespace vx::cli
