#pragma once

#include <QByteArray>
#include <QList>
#include <QPointF>
#include <QString>
#include <QStringView>

#include <deque>
#include <vector>

#include "logread/LogReader.h"
#include "logread/Stats.h"
#include "logread/Values.h"
#include "meter/Reading.h"

// The readings behind the Trend window, without widgets.
//
// A reading reply is one number in exponent notation, "+1.23456E+00", or with
// the secondary display on the primary and secondary numbers joined by the
// meter's comma, "+1.23456E+00,+6.00010E+01". An overload is sent as
// "+9.90000E+37" (or its negative). Overloads and texts that are not numbers
// are kept as gaps (NaN), so they break the plotted line and never count in
// the statistics or stretch the scale.
namespace vx::trend {

using logread::Gap;
using logread::isValue;
using logread::kOverload;

// One reading a second for 24 hours.
inline constexpr qsizetype kMaxPoints = 86'400;

// The number in `text` (surrounding blanks and a left-over CR allowed), or
// NaN when it is not a number or is an overload.
double parseValue(QStringView text);

struct Point {
    qint64 msecs = 0;  // local time of the reading, ms since the epoch
    double primary = 0.0;
    double secondary = 0.0;      // NaN when a gap or when the secondary display was off
    bool secondaryOn = false;    // whether the reply carried a secondary value
    Gap primaryGap = Gap::None;  // why a value is NaN
    Gap secondaryGap = Gap::None;
};

// The values of `reading` as numbers. A reading with the secondary display on
// but no secondary text (a reply without a comma) gives a secondary gap.
Point pointOf(qint64 msecs, const meter::Reading& reading);

// The last kMaxPoints readings; appending to a full buffer drops the oldest.
class PointBuffer {
public:
    explicit PointBuffer(qsizetype capacity = kMaxPoints) : capacity_(capacity) {}

    void append(const Point& point);
    void clear();

    qsizetype size() const { return static_cast<qsizetype>(points_.size()); }
    qsizetype capacity() const { return capacity_; }
    bool isEmpty() const { return points_.empty(); }
    const Point& at(qsizetype i) const { return points_[static_cast<std::size_t>(i)]; }
    const std::deque<Point>& points() const { return points_; }
    // Whether any kept reading carried a secondary value.
    bool anySecondary() const { return secondaryCount_ > 0; }
    // Whether the kept readings are in time order (no clock set back among
    // them), so a span of them can be found by halving.
    bool inOrder() const { return outOfOrder_ == 0; }

    using Iterator = std::deque<Point>::const_iterator;
    struct Slice {
        Iterator begin;
        Iterator end;
    };
    // The readings that may lie in [from, to], with one more on each side:
    // found by halving when in order, otherwise all of them.
    Slice around(qint64 from, qint64 to) const;

private:
    qsizetype capacity_;
    std::deque<Point> points_;
    qsizetype secondaryCount_ = 0;
    qsizetype outOfOrder_ = 0;  // readings earlier than the one before them
};

enum class Column { Primary, Secondary };

// A column of a log file's session by its place: the primary (0) and the
// secondary (1), or the channels of a log of several meters in header order.
using LogColumn = std::size_t;
inline constexpr LogColumn logColumn(Column column) {
    return column == Column::Primary ? 0 : 1;
}

// The lowest and highest value of one column over one reading (both the
// same) or one time slice of a log file; a gap when `low` is NaN.
struct Extent {
    qint64 lowAt = 0;
    qint64 highAt = 0;
    double low = 0.0;
    double high = 0.0;

    bool isGap() const { return !isValue(low); }
};

// The extents of one column with a time inside [from, to], in order, and the
// nearest one on each side outside it, so that the line runs to the edges.
// For the secondary column, readings without a secondary value are gaps.
std::vector<Extent> extentsOf(const PointBuffer& buffer, Column column, qint64 from, qint64 to);
std::vector<Extent> extentsOf(const logread::Series& series, LogColumn column, qint64 from,
                              qint64 to);

// Extents reduced for drawing, as runs of connected points (x: ms since the
// epoch, y: value). Up to 2 * buckets extents are drawn as they are and every
// gap breaks the line. Beyond that their time span is cut into `buckets`
// equal slices (one per pixel column or two), and each slice gives its
// minimum and its maximum, in time order, so no spike is lost; a slice made
// only of gaps breaks the line.
QList<QList<QPointF>> reduce(const std::vector<Extent>& extents, int buckets);

// All kept points of one column reduced for drawing.
QList<QList<QPointF>> decimate(const PointBuffer& buffer, Column column, int buckets);

// The figures of one column over the readings taken in [from, to]. For a log
// file, every time slice that meets the span counts whole.
logread::Stats statsOf(const PointBuffer& buffer, Column column, qint64 from, qint64 to);
logread::Stats statsOf(const logread::Series& series, LogColumn column, qint64 from, qint64 to);

// The reading nearest to a time, or the time slice of a log file nearest to
// it with the figures of the readings in it: of the columns `first` (as the
// primary) and 1 (as the secondary).
struct Nearest {
    bool found = false;
    qint64 from = 0;  // time of the reading, or first and last second of the slice
    qint64 to = 0;
    logread::Stats primary;
    logread::Stats secondary;
};
Nearest nearestTo(const PointBuffer& buffer, qint64 at);
Nearest nearestTo(const logread::Series& series, qint64 at, LogColumn first = 0);

// How one column is named on screen: "Primary" and "VDC", or a log header's
// "DC Voltage(V)" and "V".
struct ColumnLabel {
    QString name;
    QString unit;
};

// The labels of a log header, "DC Voltage(V)" or "DC Voltage(V),Frequency(Hz)":
// the unit is the text in the last brackets.
ColumnLabel headerLabel(const QString& title);

// The cursor readout of a reading:
//   14:05:09 09/22/2016   Primary 1.50012 VDC   Secondary: overload
// or of a slice of several:
//   14:05:00 09/22/2016 to 14:05:15 09/22/2016, 16 readings   Primary 1.49 to 12.5 V
//   (lowest 14:05:02, highest 14:05:07)
QString readoutText(const Nearest& nearest, const ColumnLabel& primary,
                    const ColumnLabel& secondary, bool secondaryShown);

// The kept readings as CSV text: a header line, then one line per reading with
// the time stamp "hh:mm:ss mm/dd/yyyy" (24-hour, as in the log file) and the
// value(s); a gap is an empty field. The secondary column is there when any
// kept reading had one. Lines end with CR LF.
//
//   Time,Primary(VDC),Secondary(Hz)
//   14:05:09 09/22/2016,1.50012,1000.01
//   14:05:10 09/22/2016,,1000.02
QByteArray csvText(const PointBuffer& buffer, const QString& primaryUnit,
                   const QString& secondaryUnit);

// The time axis: a range widened to whole multiples of a round step (1, 2, 5,
// 10, 15, 30 seconds or minutes, 1 to 12 hours, days) in local time, so each
// grid line falls on a readable time such as 14:05:30, with at most
// `maxTicks` lines.
struct TimeTicks {
    qint64 from = 0;  // ms since the epoch
    qint64 to = 0;
    int count = 0;  // grid lines, both ends included
};
TimeTicks timeTicks(qint64 from, qint64 to, int utcOffsetSecs, int maxTicks);

// "Primary(VDC)", or "Primary" without a unit.
QString columnTitle(const QString& name, const QString& unit);

}  // namespace vx::trend
