#pragma once

#include <cstdint>
#include <limits>
#include <string_view>

// One reading value as the meter sends it: a number in exponent notation such
// as "+1.23456E+00". An overload is sent as "+9.90000E+37" (or its negative);
// anything that does not read as a number (an error text, an empty field) is
// not a number. Both are gaps: they break a plotted line and never count in a
// mean, a minimum or a maximum.
namespace vx::logread {

// Magnitudes from here on are the meter's overload mark, not measurements.
inline constexpr double kOverload = 9.9e37;

enum class Gap : std::uint8_t { None, Overload, NotANumber };

struct Value {
    double number = std::numeric_limits<double>::quiet_NaN();  // NaN for a gap
    Gap gap = Gap::NotANumber;

    bool ok() const { return gap == Gap::None; }
};

// True for a finite value below the overload mark.
bool isValue(double value);

// Reads `text` as one value. Blanks, tabs and a left-over CR around it are
// allowed; a leading '+' is allowed; nothing else may follow the number.
Value readValue(std::string_view text);

}  // namespace vx::logread
