#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "calc/Expression.h"

// Reading computed channels and limits from their texts, by recursive
// descent. Standard library only.
//
//   definition  NAME "=" sum
//   limit       sum ("<" | "<=" | ">" | ">=") ["-"] NUMBER ["for" TIME]
//   sum         product (("+" | "-") product)*
//   product     unary (("*" | "/") unary)*
//   unary       "-" unary | power
//   power       primary ["^" unary]             (right to left: 2^3^2 is 2^9)
//   primary     NUMBER | NAME | FUNCTION "(" sum ("," sum)* ")" | "(" sum ")"
//
// so -2^2 is -4 and 2^-1 is 0.5. A NUMBER is digits with an optional point
// and exponent (1.5E-3, .5); a NAME a letter or "_" first, then letters,
// digits and "_"; case matters. Blanks and tabs between parts are skipped.
// TIME, everything after "for", is left to the caller to read.
//
// A fault is told as the end of a message: what was wrong and, where a
// place says more, its column (1 for the first character):
//   expected a number, a channel or "(" after "*" (column 5)
//   no channel J; channels: V, I
namespace vx::calc {

// Longest text, and deepest nesting of brackets, signs, powers and
// arguments; deeper texts are refused rather than recursed into.
inline constexpr std::size_t kMaxLength = 4096;
inline constexpr int kMaxDepth = 256;

// The channels a text may name.
struct Scope {
    std::span<const std::string> channels;    // by channel index
    std::span<const std::string> later = {};  // defined after the one being read
};

struct ParsedDefinition {
    std::string name;
    Expression expression;
    std::string error;  // empty when the text was good
};

enum class Compare : std::uint8_t { Less, LessEqual, Greater, GreaterEqual };

struct ParsedLimit {
    Expression expression;
    Compare compare = Compare::Less;
    double threshold = 0.0;
    std::string_view hold;       // the text after "for", trimmed; empty without it
    std::size_t holdColumn = 0;  // where it starts
    std::string error;           // empty when the text was good
};

// "P=V*I": a new channel named P, computed from the channels of `scope`.
ParsedDefinition parseDefinition(std::string_view text, const Scope& scope);

// "I>2.0 for 5s": a comparison over the channels of `scope`.
ParsedLimit parseLimit(std::string_view text, const Scope& scope);

// The name a definition's text starts with, "P" for "P=V*I"; empty when it
// starts with none.
std::string_view definedName(std::string_view text);

// Why `name` cannot name a channel beside `channels` (not a name, a function's
// name, taken); empty when it can.
std::string nameFault(std::string_view name, std::span<const std::string> channels);

// Whether `value` compares with `threshold` as `compare` says; false for NaN.
bool holds(Compare compare, double value, double threshold);

}  // namespace vx::calc
