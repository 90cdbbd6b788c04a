#include "shell/Clock.h"

#include <QEventLoop>
#include <QTimer>

namespace vx::shell {

QDateTime SystemClock::now() const {
    return QDateTime::currentDateTime();
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

}  // namespace vx::shell
