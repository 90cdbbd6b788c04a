#pragma once

#include <QtGlobal>

#include <limits>

// Running statistics of one reading column (primary or secondary display).
//
// Only valid numbers count: a reading that is not a number, or an overload
// (the meter answers +9.90000E+37), is a gap. Gaps are counted on their own and
// change nothing else, so count() is the number of valid readings and
// count() + gaps() the number of readings seen.
//
// Mean and variance use Welford's update, which stays accurate over a day of
// readings sitting on a large offset (for example 10.000012 V with microvolt
// noise), where a plain sum of squares would cancel to nothing.
class TrendStats {
public:
    // Adds one value; NaN, infinities and overloads are counted as gaps.
    void add(double value);
    void clear();

    qint64 count() const { return count_; }
    qint64 gaps() const { return gaps_; }

    // The following are NaN while count() is 0.
    double last() const { return count_ > 0 ? last_ : kNaN; }
    double min() const { return count_ > 0 ? min_ : kNaN; }
    double max() const { return count_ > 0 ? max_ : kNaN; }
    double mean() const { return count_ > 0 ? mean_ : kNaN; }
    double peakToPeak() const { return count_ > 0 ? max_ - min_ : kNaN; }
    // Sample standard deviation (divides by count() - 1); NaN below two values.
    double stdDev() const;

private:
    static constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

    qint64 count_ = 0;
    qint64 gaps_ = 0;
    double last_ = 0.0;
    double min_ = 0.0;
    double max_ = 0.0;
    double mean_ = 0.0;
    double m2_ = 0.0;  // sum of squared distances from the running mean
};
