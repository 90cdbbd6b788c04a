#pragma once

#include <QString>

#include <span>
#include <string_view>

#include "options/Table.h"

// Help text drawn from an option table: a usage line per form, and one
// entry per option under its heading,
//
//   usage: vxmeter [--check COM [--baud RATE] [--term CR|LF]] [--help]
//                  [--version]
//     --check COM             identify the meter on COM port 1 to 15, ...
//
// every line at most kWidth columns, the descriptions from kColumn.
namespace vx::options {

inline constexpr int kWidth = 79;
inline constexpr int kColumn = 26;

// `text` filled into lines of at most kWidth columns: the first starts with
// `first`, the others with `indent` blanks. Lines break at blanks; a
// no-break space joins words and is written as a blank.
QString wrapped(const QString& text, const QString& first, int indent);

// "  LEFT" and `text` from kColumn; a left side that reaches the column
// gets a line of its own.
QString entry(const QString& left, const QString& text);

// The help of each option, under its section's heading ("Logging:").
QString describe(std::span<const Option> table);

// One usage line per form, the first after "usage: ": each form is
// written with the option names alone ("--port [--interval] [--quiet]"),
// and each name is followed here by its value's name from the table. The
// blanks inside brackets do not break.
QString usage(std::span<const Option> table, std::string_view program,
              std::span<const std::string_view> forms);

}  // namespace vx::options
