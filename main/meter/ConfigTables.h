#pragma once

#include <array>
#include <span>
#include <string_view>

#include "meter/MeterTables.h"

// What the measurement configuration handlers send and show, as data. Every
// lookup by `func` is one search of kFunctions comparing the whole mnemonic,
// case-sensitively; no two rows share a mnemonic, so at most one matches.
// The same tables serve the VX260 and VX480.
namespace vx::meter {

// What a primary function Set does to a control group: enable it, disable
// it, or leave it as it was.
enum class Enable { Keep, On, Off };

// What a primary function Set does to a list's entries.
enum class Refill {
    Keep,     // the previous entries stay
    Replace,  // emptied, then the function's entries appended (none: left empty)
};

// Ranges: the Range entry and the range in volts, amperes or ohms as plain
// decimal text. The AC voltage top range is 750 V, the DC one 1000 V.
inline constexpr std::array kRangesDcVolts{
    Choice{.caption = "200 mV", .word = "0.2"},  Choice{.caption = "2 V", .word = "2"},
    Choice{.caption = "20 V", .word = "20"},     Choice{.caption = "200 V", .word = "200"},
    Choice{.caption = "1000 V", .word = "1000"},
};
inline constexpr std::array kRangesAcVolts{
    Choice{.caption = "200 mV", .word = "0.2"}, Choice{.caption = "2 V", .word = "2"},
    Choice{.caption = "20 V", .word = "20"},    Choice{.caption = "200 V", .word = "200"},
    Choice{.caption = "750 V", .word = "750"},
};
inline constexpr std::array kRangesAmps{
    Choice{.caption = "2 mA", .word = "0.002"}, Choice{.caption = "20 mA", .word = "0.02"},
    Choice{.caption = "200 mA", .word = "0.2"}, Choice{.caption = "2 A", .word = "2"},
    Choice{.caption = "20 A", .word = "20"},
};
inline constexpr std::array kRangesOhms{
    Choice{.caption = "200 ohm", .word = "200"},
    Choice{.caption = "2 kohm", .word = "2000"},
    Choice{.caption = "20 kohm", .word = "20000"},
    Choice{.caption = "200 kohm", .word = "200000"},
    Choice{.caption = "2 Mohm", .word = "2000000"},
    Choice{.caption = "20 Mohm", .word = "20000000"},
};

// Secondary functions: the FuncBoxTwo entry and the text sent after
// ":FUNC2 ". Under frequency and period the entry itself is sent, blank
// included.
inline constexpr std::array kSecondariesDcVolts{
    Choice{.caption = "AC VOLTAGE", .word = "VOLT:AC"},
    Choice{.caption = "dBm", .word = "dBm"},
    Choice{.caption = "dB", .word = "dB"},
    Choice{.caption = "FREQUENCY", .word = "FREQ"},
};
inline constexpr std::array kSecondariesAcVolts{
    Choice{.caption = "DC VOLTAGE", .word = "VOLT:DC"},
    Choice{.caption = "dBm", .word = "dBm"},
    Choice{.caption = "dB", .word = "dB"},
    Choice{.caption = "FREQUENCY", .word = "FREQ"},
};
inline constexpr std::array kSecondariesDcAmps{
    Choice{.caption = "AC CURRENT", .word = "CURR:AC"},
    Choice{.caption = "FREQUENCY", .word = "FREQ"},
};
inline constexpr std::array kSecondariesAcAmps{
    Choice{.caption = "DC CURRENT", .word = "CURR:DC"},
    Choice{.caption = "FREQUENCY", .word = "FREQ"},
};
inline constexpr std::array kSecondariesThreshold{
    Choice{.caption = "AC VOLTAGE", .word = "AC VOLTAGE"},
    Choice{.caption = "AC CURRENT", .word = "AC CURRENT"},
};

// What a range line puts between `func` and the value: frequency and period
// set the voltage range of their input threshold.
inline constexpr std::string_view kRangeInfix = ":RANG ";
inline constexpr std::string_view kThresholdRangeInfix = ":THR:VOLT:RANG ";

// How a primary function Set rebuilds the window. The steps run in this
// order: `func`; the secondary display buttons (with SecondaryUnit emptied
// first when they are switched off); the secondary list; the range type
// controls; "MANUAL" chosen in RangeType; the range controls; the range
// list; the units.
struct Rebuild {
    Enable secondaryButtons;  // FuncBoxTwoStateOn, FuncBoxTwoStateOff
    Refill secondList;
    Enable rangeTypeControls;  // RangeType, SetRangeType
    bool chooseManual;         // RangeType shows "MANUAL" (nothing is sent)
    Enable rangeControls;      // Range, SetRange
    Refill rangeList;
};

// Continuity and diode: no secondary display and no range; the range list
// keeps its entries.
inline constexpr Rebuild kRebuildNoRange{.secondaryButtons = Enable::Off,
                                         .secondList = Refill::Replace,
                                         .rangeTypeControls = Enable::Off,
                                         .chooseManual = false,
                                         .rangeControls = Enable::Off,
                                         .rangeList = Refill::Keep};
// Frequency and period: the threshold range is always chosen by hand.
inline constexpr Rebuild kRebuildThreshold{.secondaryButtons = Enable::Keep,
                                           .secondList = Refill::Replace,
                                           .rangeTypeControls = Enable::Off,
                                           .chooseManual = true,
                                           .rangeControls = Enable::On,
                                           .rangeList = Refill::Replace};
// Resistance: ranges but no secondary display; the secondary list keeps
// its entries.
inline constexpr Rebuild kRebuildResistance{.secondaryButtons = Enable::Off,
                                            .secondList = Refill::Keep,
                                            .rangeTypeControls = Enable::On,
                                            .chooseManual = false,
                                            .rangeControls = Enable::Keep,
                                            .rangeList = Refill::Replace};
// Current and voltage: ranges and a secondary display.
inline constexpr Rebuild kRebuildRanged{.secondaryButtons = Enable::Keep,
                                        .secondList = Refill::Replace,
                                        .rangeTypeControls = Enable::On,
                                        .chooseManual = false,
                                        .rangeControls = Enable::Keep,
                                        .rangeList = Refill::Replace};

// The primary functions, in FuncBox order: everything the program knows
// about each.
struct Function {
    std::string_view caption;   // FuncBox entry
    std::string_view mnemonic;  // SCPI mnemonic, held in `func`
    std::string_view unit;      // PrimaryUnit text
    std::string_view header;    // log column header, held in `func_selection`
    Rebuild rebuild;
    // FuncBoxTwo entries; none: no secondary line is sent.
    std::span<const Choice> secondaries = {};
    // Range entries; none: no range line is sent.
    std::span<const Choice> ranges = {};
    std::string_view rangeInfix = {};
    // The function whose rate the rate line sets; empty: this one.
    std::string_view rateFunction = {};
};

inline constexpr std::array kFunctions{
    Function{.caption = "CONTINUITY",
             .mnemonic = "CONT",
             .unit = "Ohm",
             .header = "Continuity(Ohm)",
             .rebuild = kRebuildNoRange},
    Function{.caption = "DIODE",
             .mnemonic = "DIOD",
             .unit = "DCV",
             .header = "Diode(DCV)",
             .rebuild = kRebuildNoRange},
    Function{.caption = "FREQUENCY",
             .mnemonic = "FREQ",
             .unit = "Hz",
             .header = "Frequency(Hz)",
             .rebuild = kRebuildThreshold,
             .secondaries = kSecondariesThreshold,
             .ranges = kRangesAcVolts,
             .rangeInfix = kThresholdRangeInfix,
             .rateFunction = "VOLT:DC"},
    Function{.caption = "PERIOD",
             .mnemonic = "PER",
             .unit = "S",
             .header = "Period(Sec)",
             .rebuild = kRebuildThreshold,
             .secondaries = kSecondariesThreshold,
             .ranges = kRangesAcVolts,
             .rangeInfix = kThresholdRangeInfix,
             .rateFunction = "VOLT:DC"},
    Function{.caption = "2W RESISTANCE",
             .mnemonic = "RES",
             .unit = "Ohm",
             .header = "2W Resistance(Ohm)",
             .rebuild = kRebuildResistance,
             .ranges = kRangesOhms,
             .rangeInfix = kRangeInfix},
    Function{.caption = "AC CURRENT",
             .mnemonic = "CURR:AC",
             .unit = "AAC",
             .header = "AC Current(A)",
             .rebuild = kRebuildRanged,
             .secondaries = kSecondariesAcAmps,
             .ranges = kRangesAmps,
             .rangeInfix = kRangeInfix},
    Function{.caption = "DC CURRENT",
             .mnemonic = "CURR:DC",
             .unit = "ADC",
             .header = "DC Current(A)",
             .rebuild = kRebuildRanged,
             .secondaries = kSecondariesDcAmps,
             .ranges = kRangesAmps,
             .rangeInfix = kRangeInfix},
    Function{.caption = "AC VOLTAGE",
             .mnemonic = "VOLT:AC",
             .unit = "VAC",
             .header = "AC Voltage(V)",
             .rebuild = kRebuildRanged,
             .secondaries = kSecondariesAcVolts,
             .ranges = kRangesAcVolts,
             .rangeInfix = kRangeInfix},
    Function{.caption = "DC VOLTAGE",
             .mnemonic = "VOLT:DC",
             .unit = "VDC",
             .header = "DC Voltage(V)",
             .rebuild = kRebuildRanged,
             .secondaries = kSecondariesDcVolts,
             .ranges = kRangesDcVolts,
             .rangeInfix = kRangeInfix},
};
inline constexpr int kFunctionStart = 8;

// FuncBox entries, in FuncBox order.
inline constexpr auto kFunctionCaptions = [] {
    std::array<std::string_view, kFunctions.size()> captions{};
    for (std::size_t i = 0; i < kFunctions.size(); ++i) {
        captions[i] = kFunctions[i].caption;
    }
    return captions;
}();

// What a sent secondary text shows in SecondaryUnit, and the header of the
// secondary column of the log.
struct SecondaryUnit {
    std::string_view text;
    std::string_view unit;
    std::string_view header;
};
inline constexpr std::array kSecondaryUnits{
    SecondaryUnit{.text = "VOLT:AC", .unit = "VAC", .header = "AC Voltage(V)"},
    SecondaryUnit{.text = "VOLT:DC", .unit = "VDC", .header = "DC Voltage(V)"},
    SecondaryUnit{.text = "AC VOLTAGE", .unit = "VAC", .header = "AC Voltage(V)"},
    SecondaryUnit{.text = "CURR:AC", .unit = "AAC", .header = "AC Current(A)"},
    SecondaryUnit{.text = "CURR:DC", .unit = "ADC", .header = "DC Current(A)"},
    SecondaryUnit{.text = "AC CURRENT", .unit = "A", .header = "AC Current(A)"},
    SecondaryUnit{.text = "FREQ", .unit = "Hz", .header = "Frequency(Hz)"},
    SecondaryUnit{.text = "dBm", .unit = "dBm", .header = "dBm"},
    SecondaryUnit{.text = "dB", .unit = "dB", .header = "dB"},
};

constexpr bool hasSecondaryUnit(std::string_view text) {
    for (const SecondaryUnit& row : kSecondaryUnits) {
        if (row.text == text) {
            return true;
        }
    }
    return false;
}

// The facts the handlers rely on: each `func` names at most one row; a
// function offers ranges exactly when Set fills the range list with them, and
// each has its infix; a function with secondary functions gets them into the
// list, and each text it sends has a unit and a header.
constexpr bool functionsConsistent() {
    for (std::size_t i = 0; i < kFunctions.size(); ++i) {
        const Function& f = kFunctions[i];
        if (f.mnemonic.empty()) {
            return false;
        }
        for (std::size_t j = 0; j < i; ++j) {
            if (kFunctions[j].mnemonic == f.mnemonic) {
                return false;
            }
        }
        if (f.ranges.empty() != (f.rebuild.rangeList == Refill::Keep) ||
            f.ranges.empty() != f.rangeInfix.empty()) {
            return false;
        }
        if (!f.secondaries.empty() && f.rebuild.secondList != Refill::Replace) {
            return false;
        }
        for (const Choice& c : f.secondaries) {
            if (!hasSecondaryUnit(c.word)) {
                return false;
            }
        }
    }
    return true;
}
static_assert(functionsConsistent());

// The custom reference value is held within these bounds; zero is sent as
// the smallest value the meter takes instead.
inline constexpr double kRefLimit = 1010.0;
inline constexpr std::string_view kRefUpperText = "1010";
inline constexpr std::string_view kRefLowerText = "-1010";
inline constexpr std::string_view kRefZeroText = "0.001";

}  // namespace vx::meter
