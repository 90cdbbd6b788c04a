#include "TrendStats.h"

#include <algorithm>
#include <cmath>

#include "TrendData.h"

void TrendStats::add(double value) {
    if (!trend::isValue(value)) {
        ++gaps_;
        return;
    }
    ++count_;
    last_ = value;
    if (count_ == 1) {
        min_ = max_ = mean_ = value;
        m2_ = 0.0;
        return;
    }
    min_ = std::min(min_, value);
    max_ = std::max(max_, value);
    const double delta = value - mean_;
    mean_ += delta / static_cast<double>(count_);
    m2_ += delta * (value - mean_);
}

void TrendStats::clear() {
    *this = TrendStats{};
}

double TrendStats::stdDev() const {
    if (count_ < 2) {
        return kNaN;
    }
    return std::sqrt(std::max(0.0, m2_) / static_cast<double>(count_ - 1));
}
