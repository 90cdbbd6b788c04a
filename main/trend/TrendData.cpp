#include "trend/TrendData.h"

#include <QDateTime>
#include <QLocale>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include <string_view>

#include "log/DataLog.h"

namespace vx::trend {

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

double parseValue(QStringView text) {
    // Replies are ASCII; anything beyond Latin-1 cannot be a number.
    const QByteArray bytes = text.toLatin1();
    if (bytes.size() != text.size()) {
        return kNaN;
    }
    return logread::readValue(std::string_view(bytes.constData(), std::size_t(bytes.size())))
        .number;
}

Point pointOf(qint64 msecs, const meter::Reading& reading) {
    Point point{.msecs = msecs,
                .primary = kNaN,
                .secondary = kNaN,
                .secondaryOn = reading.secondary.has_value()};
    const auto take = [](QStringView text, double& value, Gap& gap) {
        const QByteArray bytes = text.toLatin1();
        const logread::Value read =
            bytes.size() == text.size()
                ? logread::readValue(std::string_view(bytes.constData(), std::size_t(bytes.size())))
                : logread::Value{};
        value = read.number;
        gap = read.gap;
    };
    take(reading.primary, point.primary, point.primaryGap);
    if (reading.secondary) {
        take(*reading.secondary, point.secondary, point.secondaryGap);
    } else {
        point.secondaryGap = Gap::NotANumber;
    }
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
        if (points_.size() > 1 && points_[1].msecs < points_[0].msecs) {
            --outOfOrder_;
        }
        points_.pop_front();
    }
    if (!points_.empty() && point.msecs < points_.back().msecs) {
        ++outOfOrder_;
    }
    points_.push_back(point);
    if (point.secondaryOn) {
        ++secondaryCount_;
    }
}

void PointBuffer::clear() {
    points_.clear();
    secondaryCount_ = 0;
    outOfOrder_ = 0;
}

PointBuffer::Slice PointBuffer::around(qint64 from, qint64 to) const {
    if (!inOrder()) {
        return {points_.begin(), points_.end()};
    }
    auto begin = std::lower_bound(points_.begin(), points_.end(), from,
                                  [](const Point& p, qint64 t) { return p.msecs < t; });
    auto end = std::upper_bound(begin, points_.end(), to,
                                [](qint64 t, const Point& p) { return t < p.msecs; });
    if (begin != points_.begin()) {
        --begin;
    }
    if (end != points_.end()) {
        ++end;
    }
    return {begin, end};
}

namespace {

Extent extentOf(const Point& point, Column column) {
    const double value = valueOf(point, column);
    return {.lowAt = point.msecs, .highAt = point.msecs, .low = value, .high = value};
}

// A slice of a log file as one extent: its lowest and highest reading, or a
// gap when it holds no value of the column.
// The figures of one column of a slice; none beyond its columns.
const logread::Stats& statsIn(const logread::Bucket& bucket, LogColumn column) {
    static const logread::Stats none;
    return column < bucket.columns.size() ? bucket.columns[column] : none;
}

Extent extentOf(const logread::Bucket& bucket, qint64 width, LogColumn column) {
    const logread::Stats& stats = statsIn(bucket, column);
    if (stats.count() == 0) {
        const qint64 start = bucket.index * width;
        return {.lowAt = start, .highAt = start, .low = kNaN, .high = kNaN};
    }
    return {
        .lowAt = stats.minAt(), .highAt = stats.maxAt(), .low = stats.min(), .high = stats.max()};
}

qint64 timeOf(const Extent& extent) {
    return std::min(extent.lowAt, extent.highAt);
}

bool sliceMeets(const logread::Bucket& bucket, qint64 width, qint64 from, qint64 to) {
    const qint64 start = bucket.index * width;
    return start <= to && start + width > from;
}

logread::Value valueAndGap(double value, Gap gap) {
    if (isValue(value)) {
        return {.number = value, .gap = Gap::None};
    }
    return {.number = kNaN, .gap = gap == Gap::Overload ? Gap::Overload : Gap::NotANumber};
}

}  // namespace

std::vector<Extent> extentsOf(const PointBuffer& buffer, Column column, qint64 from, qint64 to) {
    std::vector<Extent> extents;
    const PointBuffer::Slice slice = buffer.around(from, to);
    extents.reserve(std::size_t(slice.end - slice.begin));
    const Point* before = nullptr;
    const Point* after = nullptr;
    for (auto it = slice.begin; it != slice.end; ++it) {
        const Point& point = *it;
        if (point.msecs < from) {
            if (before == nullptr || point.msecs > before->msecs) {
                before = &point;
            }
        } else if (point.msecs > to) {
            if (after == nullptr || point.msecs < after->msecs) {
                after = &point;
            }
        } else {
            extents.push_back(extentOf(point, column));
        }
    }
    if (before != nullptr) {
        extents.insert(extents.begin(), extentOf(*before, column));
    }
    if (after != nullptr) {
        extents.push_back(extentOf(*after, column));
    }
    return extents;
}

std::vector<Extent> extentsOf(const logread::Series& series, LogColumn column, qint64 from,
                              qint64 to) {
    const auto& buckets = series.buckets();
    const qint64 width = series.width();
    // Slices are in time order: the first that ends after `from`, less one.
    auto first = std::partition_point(buckets.begin(), buckets.end(),
                                      [&](const auto& b) { return (b.index + 1) * width <= from; });
    if (first != buckets.begin()) {
        --first;
    }
    std::vector<Extent> extents;
    for (auto it = first; it != buckets.end(); ++it) {
        extents.push_back(extentOf(*it, width, column));
        if (it->index * width > to) {
            break;
        }
    }
    return extents;
}

QList<QList<QPointF>> reduce(const std::vector<Extent>& extents, int buckets) {
    QList<QList<QPointF>> runs;
    QList<QPointF> run;
    const auto endRun = [&] {
        if (!run.isEmpty()) {
            runs.append(run);
            run.clear();
        }
    };
    const auto addExtent = [&](const Extent& e) {
        const bool lowFirst = e.lowAt <= e.highAt;
        run.append(QPointF(double(lowFirst ? e.lowAt : e.highAt), lowFirst ? e.low : e.high));
        if (e.lowAt != e.highAt || e.low != e.high) {
            run.append(QPointF(double(lowFirst ? e.highAt : e.lowAt), lowFirst ? e.high : e.low));
        }
    };
    buckets = std::max(buckets, 1);

    if (extents.size() <= 2 * std::size_t(buckets)) {
        for (const Extent& extent : extents) {
            if (extent.isGap()) {
                endRun();
            } else {
                addExtent(extent);
            }
        }
        endRun();
        return runs;
    }

    // The clock may have been set back during a run, so the span is taken
    // from the extremes rather than from the first and last readings.
    const auto [first, last] =
        std::minmax_element(extents.begin(), extents.end(),
                            [](const Extent& a, const Extent& b) { return timeOf(a) < timeOf(b); });
    const qint64 t0 = timeOf(*first);
    const double width = static_cast<double>(timeOf(*last) - t0 + 1) / buckets;
    const auto bucketOf = [&](const Extent& extent) {
        const auto index = static_cast<int>(static_cast<double>(timeOf(extent) - t0) / width);
        return std::clamp(index, 0, buckets - 1);
    };

    auto it = extents.begin();
    while (it != extents.end()) {
        const int bucket = bucketOf(*it);
        Extent slice{.lowAt = 0, .highAt = 0, .low = kNaN, .high = kNaN};
        for (; it != extents.end() && bucketOf(*it) == bucket; ++it) {
            if (it->isGap()) {
                continue;
            }
            if (slice.isGap() || it->low < slice.low) {
                slice.low = it->low;
                slice.lowAt = it->lowAt;
            }
            if (!isValue(slice.high) || it->high > slice.high) {
                slice.high = it->high;
                slice.highAt = it->highAt;
            }
        }
        if (slice.isGap()) {
            endRun();
        } else {
            addExtent(slice);
        }
    }
    endRun();
    return runs;
}

QList<QList<QPointF>> decimate(const PointBuffer& buffer, Column column, int buckets) {
    std::vector<Extent> extents;
    extents.reserve(buffer.points().size());
    for (const Point& point : buffer.points()) {
        extents.push_back(extentOf(point, column));
    }
    return reduce(extents, buckets);
}

logread::Stats statsOf(const PointBuffer& buffer, Column column, qint64 from, qint64 to) {
    logread::Stats stats;
    const PointBuffer::Slice slice = buffer.around(from, to);
    for (auto it = slice.begin; it != slice.end; ++it) {
        const Point& point = *it;
        if (point.msecs < from || point.msecs > to) {
            continue;
        }
        if (column == Column::Primary) {
            stats.add(valueAndGap(point.primary, point.primaryGap), point.msecs);
        } else if (point.secondaryOn) {
            stats.add(valueAndGap(point.secondary, point.secondaryGap), point.msecs);
        }
    }
    return stats;
}

logread::Stats statsOf(const logread::Series& series, LogColumn column, qint64 from, qint64 to) {
    logread::Stats stats;
    for (const logread::Bucket& bucket : series.buckets()) {
        if (sliceMeets(bucket, series.width(), from, to)) {
            stats.merge(statsIn(bucket, column));
        }
    }
    return stats;
}

Nearest nearestTo(const PointBuffer& buffer, qint64 at) {
    const Point* best = nullptr;
    const PointBuffer::Slice slice = buffer.around(at, at);
    for (auto it = slice.begin; it != slice.end; ++it) {
        const Point& point = *it;
        if (best == nullptr || std::abs(point.msecs - at) < std::abs(best->msecs - at)) {
            best = &point;
        }
    }
    Nearest nearest;
    if (best == nullptr) {
        return nearest;
    }
    nearest.found = true;
    nearest.from = nearest.to = best->msecs;
    nearest.primary.add(valueAndGap(best->primary, best->primaryGap), best->msecs);
    if (best->secondaryOn) {
        nearest.secondary.add(valueAndGap(best->secondary, best->secondaryGap), best->msecs);
    }
    return nearest;
}

Nearest nearestTo(const logread::Series& series, qint64 at, LogColumn first) {
    const auto& buckets = series.buckets();
    const qint64 width = series.width();
    const auto distance = [&](const logread::Bucket& b) {
        const qint64 start = b.index * width;
        return at < start ? start - at : std::max<qint64>(0, at - (start + width - 1));
    };
    const logread::Bucket* best = nullptr;
    for (const logread::Bucket& bucket : buckets) {
        if (best == nullptr || distance(bucket) < distance(*best)) {
            best = &bucket;
        }
    }
    Nearest nearest;
    if (best == nullptr) {
        return nearest;
    }
    nearest.found = true;
    nearest.primary = statsIn(*best, first);
    nearest.secondary = statsIn(*best, 1);
    nearest.from = best->index * width;
    nearest.to = nearest.from + width - logread::kStampResolutionMs;
    if (nearest.primary.count() == 1 && nearest.primary.gaps() == 0) {
        nearest.from = nearest.to = nearest.primary.minAt();  // one reading: its own time
    }
    return nearest;
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
        QString line = log::logTimeStamp(QDateTime::fromMSecsSinceEpoch(point.msecs)) +
                       QLatin1Char(',') + formatValue(point.primary);
        if (withSecondary) {
            line += QLatin1Char(',') + formatValue(valueOf(point, Column::Secondary));
        }
        text += line.toLatin1() + "\r\n";
    }
    return text;
}

ColumnLabel headerLabel(const QString& title) {
    const QString name = title.trimmed();
    if (!name.endsWith(QLatin1Char(')'))) {
        return {.name = name, .unit = QString()};
    }
    const qsizetype open = name.lastIndexOf(QLatin1Char('('));
    if (open < 0) {
        return {.name = name, .unit = QString()};
    }
    return {.name = name, .unit = name.mid(open + 1, name.size() - open - 2)};
}

namespace {

QString withUnit(double value, const QString& unit) {
    const QString number = QString::number(value, 'g', 7);
    return unit.isEmpty() ? number : number + QLatin1Char(' ') + unit;
}

QString clockOf(qint64 msecs) {
    return QDateTime::fromMSecsSinceEpoch(msecs).toString(QStringLiteral("HH:mm:ss"));
}

QString gapText(const logread::Stats& stats) {
    if (stats.overloads() == stats.gaps()) {
        return stats.gaps() == 1 ? QStringLiteral("overload")
                                 : QStringLiteral("%1 overloads").arg(stats.gaps());
    }
    if (stats.overloads() == 0) {
        return stats.gaps() == 1 ? QStringLiteral("not a number")
                                 : QStringLiteral("%1 replies not a number").arg(stats.gaps());
    }
    return QStringLiteral("%1 overloads, %2 replies not a number")
        .arg(stats.overloads())
        .arg(stats.gaps() - stats.overloads());
}

QString columnReadout(const logread::Stats& stats, const ColumnLabel& label) {
    if (stats.count() == 0 && stats.gaps() == 0) {
        return label.name + QStringLiteral(": no reading");
    }
    if (stats.count() == 0) {
        return label.name + QStringLiteral(": ") + gapText(stats);
    }
    QString text = label.name + QLatin1Char(' ');
    if (stats.count() == 1) {
        text += withUnit(stats.last(), label.unit);
    } else {
        text += QStringLiteral("%1 to %2 (lowest %3, highest %4)")
                    .arg(QString::number(stats.min(), 'g', 7), withUnit(stats.max(), label.unit),
                         clockOf(stats.minAt()), clockOf(stats.maxAt()));
    }
    if (stats.gaps() > 0) {
        text += QStringLiteral(", ") + gapText(stats);
    }
    return text;
}

}  // namespace

QString readoutText(const Nearest& nearest, const ColumnLabel& primary,
                    const ColumnLabel& secondary, bool secondaryShown) {
    if (!nearest.found) {
        return QStringLiteral("No readings");
    }
    const QString from = log::logTimeStamp(QDateTime::fromMSecsSinceEpoch(nearest.from));
    const qint64 readings = nearest.primary.count() + nearest.primary.gaps();
    QString text = from;
    if (nearest.to != nearest.from || readings > 1) {
        // "03:12:06 to 03:12:07 12/07/2026": the date once when it is the same.
        const QString to = log::logTimeStamp(QDateTime::fromMSecsSinceEpoch(nearest.to));
        text = (from.mid(9) == to.mid(9) ? from.left(8) : from) +
               QStringLiteral(" to %1, %2 readings").arg(to).arg(readings);
    }
    text += QStringLiteral("   ") + columnReadout(nearest.primary, primary);
    if (secondaryShown) {
        text += QStringLiteral("   ") + columnReadout(nearest.secondary, secondary);
    }
    return text;
}

}  // namespace vx::trend
