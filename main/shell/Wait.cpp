#include "shell/Wait.h"

#include <cmath>

#include "timing/Clock.h"

namespace vx::shell {

void waitSeconds(timing::Clock& clock, double seconds, const std::function<bool()>& abandon) {
    const QDateTime end = clock.now().addMSecs(std::llround(seconds * 1000.0));
    for (QDateTime now = clock.now(); now < end; now = clock.now()) {
        // Never more than a second per pass: a clock set back by hours is
        // noticed within a second of being set forward again.
        clock.runEventsFor(std::min<qint64>(now.msecsTo(end), 1000));
        if (abandon && abandon()) {
            return;
        }
    }
}

}  // namespace vx::shell
