#pragma once

#include <cstdint>
#include <limits>

#include "logread/Values.h"

namespace vx::logread {

// Running statistics of one reading column (primary or secondary display).
//
// Only valid numbers count: a reading that is not a number, or an overload,
// is a gap. Gaps are counted on their own and change nothing else, so count()
// is the number of valid readings and count() + gaps() the number of readings
// seen.
//
// Mean and variance use Welford's update, which stays accurate over a day of
// readings sitting on a large offset (for example 10.000012 V with microvolt
// noise), where a plain sum of squares would cancel to nothing. Two sets of
// figures combine with Chan's formula, so the figures of a time span can be
// built from those of its slices.
class Stats {
public:
    // Adds one value taken at `at` (ms since the epoch); NaN, infinities and
    // overloads are counted as gaps.
    void add(double value, std::int64_t at = 0);
    void addGap(Gap gap);
    void add(const Value& value, std::int64_t at);
    // Adds the figures of readings taken after those already here.
    void merge(const Stats& later);
    void clear();

    std::int64_t count() const { return count_; }
    std::int64_t gaps() const { return gaps_; }
    std::int64_t overloads() const { return overloads_; }

    // The following are NaN (or 0 for the times) while count() is 0.
    double last() const { return count_ > 0 ? last_ : kNaN; }
    double min() const { return count_ > 0 ? min_ : kNaN; }
    double max() const { return count_ > 0 ? max_ : kNaN; }
    std::int64_t minAt() const { return minAt_; }
    std::int64_t maxAt() const { return maxAt_; }
    double mean() const { return count_ > 0 ? mean_ : kNaN; }
    double peakToPeak() const { return count_ > 0 ? max_ - min_ : kNaN; }
    // Sample standard deviation (divides by count() - 1); NaN below two values.
    double stdDev() const;

private:
    static constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

    std::int64_t count_ = 0;
    std::int64_t gaps_ = 0;
    std::int64_t overloads_ = 0;
    std::int64_t minAt_ = 0;
    std::int64_t maxAt_ = 0;
    double last_ = 0.0;
    double min_ = 0.0;
    double max_ = 0.0;
    double mean_ = 0.0;
    double m2_ = 0.0;  // sum of squared distances from the running mean
};

}  // namespace vx::logread
