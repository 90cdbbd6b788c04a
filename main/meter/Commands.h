#pragma once

#include <QString>

#include <optional>

#include "meter/ConfigTables.h"

// The command line (without its terminator) that each configuration choice
// sends, built from the tables in ConfigTables.h. `func` is the primary
// function's mnemonic ("VOLT:DC"); an index is a position in the setting's
// list, and an index without an entry (-1: nothing chosen) gives an empty
// value while the line is still sent. The window's handlers and vxlog both
// build their lines here, so the two programs send the same bytes.
namespace vx::meter {

// ":FUNC VOLT:DC"
QString functionLine(const QString& func);

// ":FUNC2:STAT 1" or ":FUNC2:STAT 0"
QString secondaryStateLine(bool on);

// The text sent after ":FUNC2 " for secondary list entry `index` under
// `func`, or nothing when `func` has no secondary functions (continuity,
// diode, resistance, or no function yet): then no line is sent at all.
std::optional<QString> secondaryText(const QString& func, int index);

// ":FUNC2 VOLT:AC"
QString secondaryLine(const QString& text);

// The unit and log header a sent secondary text stands for; null for a text
// not in the table (the empty text included).
const SecondaryUnit* secondaryUnit(const QString& text);

// "VOLT:DC:RANG 1000", "FREQ:THR:VOLT:RANG 0.2", or nothing when `func` has
// no range list (continuity, diode, no function yet).
std::optional<QString> rangeLine(const QString& func, int index);

// "VOLT:DC:RANG:AUTO OFF" for "MANUAL", "... ON" for "AUTO".
QString rangeTypeLine(const QString& func, int index);

// ":VOLT:DC:NPLC 10"; frequency and period set the DC voltage rate.
QString rateLine(const QString& func, int index);

// ":TRIG:SOUR BUS"
QString triggerLine(int index);

// "DISP:ENAB ON"
QString displayLine(int index);

// "HOLD:STATE ON" or "HOLD:STATE OFF"
QString holdLine(bool on);

// The log header of the primary column for `func`, looked up in the order
// of kHeaderLookupOrder; nothing when `func` matches no function.
std::optional<QString> primaryHeader(const QString& func);

// The table text as a QString (the tables are single-byte text).
inline QString text(std::string_view s) {
    return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}

}  // namespace vx::meter
