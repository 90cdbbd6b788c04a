#include "TrendData.h"

#include <QDateTime>
#include <QLocale>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "DataLog.h"

namespace trend {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

double valueOf(const Point& point, Column column) {
    if (column == Column::Primary) {
        return point.primary;
    }
    return point.secondaryOn ? point.secondary : kNaN;
}

QString formatValue(double value) {
    if (!isValue(value)) {
        return {};
    }
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

}  // namespace

bool isValue(double value) {
    return std::isfinite(value) && std::fabs(value) < kOverload;
}

double parseValue(QStringView text) {
    bool ok = false;
    const double value = QLocale::c().toDouble(text.trimmed(), &ok);
    return ok && isValue(value) ? value : kNaN;
}

Point parseReply(qint64 msecs, const QString& reply, bool secondaryOn) {
    Point point{.msecs = msecs, .primary = kNaN, .secondary = kNaN, .secondaryOn = secondaryOn};
    if (!secondaryOn) {
        point.primary = parseValue(reply);
        return point;
    }
    const qsizetype comma = reply.indexOf(QLatin1Char(','));
    if (comma < 0) {
        point.primary = parseValue(reply);
        return point;
    }
    point.primary = parseValue(QStringView(reply).left(comma));
    point.secondary = parseValue(QStringView(reply).mid(comma + 1));
    return point;
}

void PointBuffer::append(const Point& point) {
    if (capacity_ <= 0) {
        return;
    }
    while (size() >= capacity_) {
        if (points_.front().secondaryOn) {
            --secondaryCount_;
        }
        points_.pop_front();
    }
    points_.push_back(point);
    if (point.secondaryOn) {
        ++secondaryCount_;
    }
}

void PointBuffer::clear() {
    points_.clear();
    secondaryCount_ = 0;
}

QList<QList<QPointF>> decimate(const PointBuffer& buffer, Column column, int buckets) {
    QList<QList<QPointF>> runs;
    QList<QPointF> run;
    const auto endRun = [&] {
        if (!run.isEmpty()) {
            runs.append(run);
            run.clear();
        }
    };
    const auto& points = buffer.points();
    buckets = std::max(buckets, 1);

    if (buffer.size() <= 2 * static_cast<qsizetype>(buckets)) {
        for (const Point& point : points) {
            const double value = valueOf(point, column);
            if (isValue(value)) {
                run.append(QPointF(static_cast<double>(point.msecs), value));
            } else {
                endRun();
            }
        }
        endRun();
        return runs;
    }

    // The clock may have been set back during a run, so the span is taken
    // from the extremes rather than from the first and last readings.
    const auto [first, last] =
        std::minmax_element(points.begin(), points.end(),
                            [](const Point& a, const Point& b) { return a.msecs < b.msecs; });
    const qint64 t0 = first->msecs;
    const double width = static_cast<double>(last->msecs - t0 + 1) / buckets;
    const auto bucketOf = [&](const Point& point) {
        const auto index = static_cast<int>(static_cast<double>(point.msecs - t0) / width);
        return std::clamp(index, 0, buckets - 1);
    };

    auto it = points.begin();
    while (it != points.end()) {
        const int bucket = bucketOf(*it);
        const Point* low = nullptr;
        const Point* high = nullptr;
        for (; it != points.end() && bucketOf(*it) == bucket; ++it) {
            const double value = valueOf(*it, column);
            if (!isValue(value)) {
                continue;
            }
            if (low == nullptr || value < valueOf(*low, column)) {
                low = &*it;
            }
            if (high == nullptr || value > valueOf(*high, column)) {
                high = &*it;
            }
        }
        if (low == nullptr) {
            endRun();
            continue;
        }
        const Point* earlier = low->msecs <= high->msecs ? low : high;
        const Point* later = earlier == low ? high : low;
        run.append(QPointF(static_cast<double>(earlier->msecs), valueOf(*earlier, column)));
        if (later != earlier) {
            run.append(QPointF(static_cast<double>(later->msecs), valueOf(*later, column)));
        }
    }
    endRun();
    return runs;
}

namespace {

constexpr qint64 kSecond = 1000;
constexpr qint64 kMinute = 60 * kSecond;
constexpr qint64 kHour = 60 * kMinute;
constexpr qint64 kDay = 24 * kHour;
constexpr std::array kTimeSteps{
    kSecond,  2 * kSecond, 5 * kSecond, 10 * kSecond, 15 * kSecond, 30 * kSecond,
    kMinute,  2 * kMinute, 5 * kMinute, 10 * kMinute, 15 * kMinute, 30 * kMinute,
    kHour,    2 * kHour,   3 * kHour,   6 * kHour,    12 * kHour,   kDay,
    2 * kDay, 7 * kDay,    14 * kDay,   28 * kDay,    91 * kDay,    364 * kDay,
};

qint64 floorTo(qint64 value, qint64 step) {
    const qint64 q = value / step;
    return (value % step != 0 && value < 0 ? q - 1 : q) * step;
}

}  // namespace

TimeTicks timeTicks(qint64 from, qint64 to, int utcOffsetSecs, int maxTicks) {
    maxTicks = std::max(maxTicks, 2);
    to = std::max(to, from + 1);
    const qint64 offset = qint64(utcOffsetSecs) * kSecond;
    for (const qint64 step : kTimeSteps) {
        const qint64 start = floorTo(from + offset, step) - offset;
        const qint64 end = -floorTo(-(to + offset), step) - offset;
        const qint64 intervals = (end - start) / step;
        if (intervals < maxTicks) {
            return {.from = start, .to = end, .count = int(intervals) + 1};
        }
    }
    // Longer than any step covers (a clock set years off): plain division.
    return {.from = from, .to = to, .count = maxTicks};
}

QString columnTitle(const QString& name, const QString& unit) {
    return unit.isEmpty() ? name : name + QLatin1Char('(') + unit + QLatin1Char(')');
}

QByteArray csvText(const PointBuffer& buffer, const QString& primaryUnit,
                   const QString& secondaryUnit) {
    const bool withSecondary = buffer.anySecondary();
    QString header = QStringLiteral("Time,") + columnTitle(QStringLiteral("Primary"), primaryUnit);
    if (withSecondary) {
        header += QLatin1Char(',') + columnTitle(QStringLiteral("Secondary"), secondaryUnit);
    }
    QByteArray text = header.toLatin1() + "\r\n";
    text.reserve(text.size() + buffer.size() * 48);
    for (const Point& point : buffer.points()) {
        QString line = logTimeStamp(QDateTime::fromMSecsSinceEpoch(point.msecs)) +
                       QLatin1Char(',') + formatValue(point.primary);
        if (withSecondary) {
            line += QLatin1Char(',') + formatValue(valueOf(point, Column::Secondary));
        }
        text += line.toLatin1() + "\r\n";
    }
    return text;
}

}  // namespace trend
