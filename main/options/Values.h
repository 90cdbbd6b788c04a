#pragma once

#include <QString>

#include "options/Table.h"

// The numbers and times options take, read with the limits of their row.
namespace vx::options {

enum class Fault { None, NotANumber, TooSmall, TooLarge };

struct Whole {
    qint64 value = 0;
    Fault fault = Fault::None;
};

struct Real {
    double value = 0.0;
    Fault fault = Fault::None;
};

// A whole number from `low` to `high`: "42", "+42". Digits beyond what a
// 64-bit number holds are too large (or too small after a minus), not "not
// a number".
Whole wholeNumber(const QString& text, qint64 low, qint64 high);

// A decimal number of seconds within `limits`: "0.5", "86400".
Real seconds(const QString& text, const Limits& limits);

// A time in seconds, at most `limits.high`: a plain number of seconds
// ("90"), or parts of a number and a unit (s, m, h, d, any case), added up:
// "90s", "1h30m", "1.5h", "2d12h". Zero or less, a part without its unit
// among others ("1h30"), or anything else is NotANumber.
Real duration(const QString& text, const Limits& limits);

// A limit as help and messages show it: "0.1 s", "86400 s", "366d".
QString limitText(double seconds, Quantity quantity);

// "--count: 99999999999999999999 is too large; the most is
// 9223372036854775807"; `fault` is TooSmall or TooLarge.
QString outOfLimits(std::string_view option, const QString& value, Fault fault, const QString& low,
                    const QString& high);
// The same with the limits of the option's row.
QString outOfLimits(const Option& option, const QString& value, Fault fault);

}  // namespace vx::options
