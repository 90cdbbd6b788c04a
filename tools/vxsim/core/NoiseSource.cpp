#include "vxsim/core/NoiseSource.h"

#include <cmath>
#include <numbers>

namespace vxsim {

std::uint64_t NoiseSource::next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

double NoiseSource::uniform() {
    // 53 random bits, shifted away from zero so that the logarithm below stays finite.
    return (static_cast<double>(next() >> 11) + 1.0) / 9007199254740992.0;
}

double NoiseSource::gaussian() {
    if (hasSpare_) {
        hasSpare_ = false;
        return spare_;
    }
    const double radius = std::sqrt(-2.0 * std::log(uniform()));
    const double angle = 2.0 * std::numbers::pi * uniform();
    spare_ = radius * std::sin(angle);
    hasSpare_ = true;
    return radius * std::cos(angle);
}

}  // namespace vxsim
