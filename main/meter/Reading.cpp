#include "meter/Reading.h"

namespace vx::meter {

Reading splitReply(const QString& reply, bool secondaryOn, Measure measure) {
    Reading reading{.primary = reply, .secondary = std::nullopt, .measure = std::move(measure)};
    if (!secondaryOn) {
        return reading;
    }
    const qsizetype comma = reply.indexOf(u',');
    if (comma < 0) {
        // No second value in the reply: an empty one, never an old one.
        reading.secondary = QString();
        return reading;
    }
    reading.primary = reply.left(comma);
    reading.secondary = reply.mid(comma + 1);
    return reading;
}

}  // namespace vx::meter
