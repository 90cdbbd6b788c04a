#include "logread/Stats.h"

#include <algorithm>
#include <cmath>

namespace vx::logread {

void Stats::add(double value, std::int64_t at) {
    if (!isValue(value)) {
        addGap(std::isnan(value) ? Gap::NotANumber : Gap::Overload);
        return;
    }
    ++count_;
    last_ = value;
    if (count_ == 1) {
        min_ = max_ = mean_ = value;
        minAt_ = maxAt_ = at;
        m2_ = 0.0;
        return;
    }
    if (value < min_) {
        min_ = value;
        minAt_ = at;
    }
    if (value > max_) {
        max_ = value;
        maxAt_ = at;
    }
    const double delta = value - mean_;
    mean_ += delta / static_cast<double>(count_);
    m2_ += delta * (value - mean_);
}

void Stats::addGap(Gap gap) {
    ++gaps_;
    if (gap == Gap::Overload) {
        ++overloads_;
    }
}

void Stats::add(const Value& value, std::int64_t at) {
    if (value.ok()) {
        add(value.number, at);
    } else {
        addGap(value.gap);
    }
}

void Stats::merge(const Stats& later) {
    gaps_ += later.gaps_;
    overloads_ += later.overloads_;
    if (later.count_ == 0) {
        return;
    }
    if (count_ == 0) {
        const std::int64_t gaps = gaps_;
        const std::int64_t overloads = overloads_;
        *this = later;
        gaps_ = gaps;
        overloads_ = overloads;
        return;
    }
    const double n1 = static_cast<double>(count_);
    const double n2 = static_cast<double>(later.count_);
    const double n = n1 + n2;
    const double delta = later.mean_ - mean_;
    mean_ += delta * n2 / n;
    m2_ += later.m2_ + delta * delta * n1 * n2 / n;
    count_ += later.count_;
    last_ = later.last_;
    if (later.min_ < min_) {
        min_ = later.min_;
        minAt_ = later.minAt_;
    }
    if (later.max_ > max_) {
        max_ = later.max_;
        maxAt_ = later.maxAt_;
    }
}

void Stats::clear() {
    *this = Stats{};
}

double Stats::stdDev() const {
    if (count_ < 2) {
        return kNaN;
    }
    return std::sqrt(std::max(0.0, m2_) / static_cast<double>(count_ - 1));
}

}  // namespace vx::logread
