#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <string_view>
#include <vector>

// Computed channels: an expression over the channels of a row, compiled once
// into postfix steps that run on a value stack, so that a row costs no name
// look-up and no allocation. Standard library only.
//
// Every result is a finite number or NaN: a missing input, a division by
// zero, the square root of a negative number or an overflow give NaN, never
// an infinity and never an exception.
namespace vx::calc {

inline constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

enum class Op : std::uint8_t {
    Number,
    Channel,
    Negate,
    Add,
    Subtract,
    Multiply,
    Divide,
    Power,
    Abs,
    Sqrt,
    Min,
    Max,
    Integral,
};

struct Step {
    Op op = Op::Number;
    // Channel: the channel's index; Min and Max: the number of arguments;
    // Integral: its slot among the expression's integrals.
    std::uint32_t index = 0;
    double number = 0.0;  // Number: the value
};

// The functions an expression may call, with how many arguments each takes.
struct Function {
    std::string_view name;
    Op op;
    std::uint32_t least;
    std::uint32_t most;
};

inline constexpr std::uint32_t kAnyCount = std::numeric_limits<std::uint32_t>::max();

inline constexpr std::array<Function, 5> kFunctions{{
    {"abs", Op::Abs, 1, 1},
    {"sqrt", Op::Sqrt, 1, 1},
    {"min", Op::Min, 1, kAnyCount},
    {"max", Op::Max, 1, kAnyCount},
    {"integral", Op::Integral, 1, 1},
}};

struct Expression {
    std::vector<Step> steps;
    std::size_t stack = 0;      // the most values held at once while evaluating
    std::size_t integrals = 0;  // integral() calls, each with its own running sum
};

// The running state of one integral(): the previous row and the sum so far.
struct Integral {
    double time = kNaN;
    double value = kNaN;
    double sum = 0.0;
};

// `expression` on one row at `time` (seconds): `channels` are the row's values
// by channel index, `stack` holds at least `expression.stack` values and
// `integrals` the expression's `expression.integrals` states, which carry
// over from row to row. An integral adds the trapezoid between the previous
// row and this one; an interval with NaN at either end, or whose time does
// not move forward, adds nothing and the sum is kept.
double evaluate(const Expression& expression, double time, std::span<const double> channels,
                std::span<double> stack, std::span<Integral> integrals);

}  // namespace vx::calc
