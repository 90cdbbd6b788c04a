#pragma once

#include <QString>

#include "meter/MeterTables.h"
#include "options/Arguments.h"
#include "options/Table.h"

// The line options both command lines take, from the window's own lists:
// --baud (its Baud Rate list, 9600 when not given) and --term (its
// termination characters, LF when not given).
namespace vx::options {

inline constexpr auto kTermCaptions = column<&meter::Choice::caption>(meter::kTermChars);

inline constexpr List kBaudList{
    .words = meter::kBaudRateItems, .preset = meter::kBaudRateStart, .what = "baud rate"};
inline constexpr List kTermList{
    .words = kTermCaptions, .preset = meter::kTermCharStart, .what = "termination character"};

// The line a command line asks for.
struct Line {
    qint32 baud = 0;
    QString baudText;        // "9600"
    QString terminator;      // "\n"
    QString terminatorName;  // "LF"
};

// The line `given` asks for with its options `baud` and `term` (rows with
// kBaudList and kTermList), once badChoice() found nothing.
Line lineOf(const Arguments& given, Index baud, Index term);

}  // namespace vx::options
