#pragma once

#include <cstdint>

namespace vxsim {

// Reproducible measurement noise: a splitmix64 sequence from a given starting value, shaped into
// normally distributed numbers (Box-Muller). The same starting value gives the same numbers on
// every machine, which the standard library's distributions do not promise.
class NoiseSource {
public:
    explicit NoiseSource(std::uint64_t start = 1) : state_(start) {}

    // A number from the standard normal distribution.
    double gaussian();

private:
    std::uint64_t next();
    double uniform();  // in (0, 1]

    std::uint64_t state_;
    double spare_ = 0.0;
    bool hasSpare_ = false;
};

}  // namespace vxsim
