#pragma once

#include <array>
#include <span>
#include <string_view>

#include "meter/MeterTables.h"

// What the measurement configuration handlers send and show, as data. Every
// lookup by `func` compares the whole mnemonic, case-sensitively, trying the
// rows in the order written here. The same tables serve the VX260 and VX480.
namespace vx::meter {

// What a primary function Set does to a control group: enable it, disable
// it, or leave it as it was.
enum class Enable { Keep, On, Off };

// What a primary function Set does to a list's entries.
enum class Refill {
    Keep,     // the previous entries stay
    Replace,  // emptied, then the function's entries appended (none: left empty)
};

// Range list contents. Frequency and period show the voltage ranges of their
// input threshold; the AC voltage top range is 750 V, the DC one 1000 V.
inline constexpr std::array<std::string_view, 5> kRangeItemsAcVolts{"200 mV", "2 V", "20 V",
                                                                    "200 V", "750 V"};
inline constexpr std::array<std::string_view, 5> kRangeItemsDcVolts{"200 mV", "2 V", "20 V",
                                                                    "200 V", "1000 V"};
inline constexpr std::array<std::string_view, 5> kRangeItemsAmps{"2 mA", "20 mA", "200 mA", "2 A",
                                                                 "20 A"};
inline constexpr std::array<std::string_view, 6> kRangeItemsOhms{"200 ohm",  "2 kohm", "20 kohm",
                                                                 "200 kohm", "2 Mohm", "20 Mohm"};

// Secondary function list contents.
inline constexpr std::array<std::string_view, 2> kSecondItemsThreshold{"AC VOLTAGE", "AC CURRENT"};
inline constexpr std::array<std::string_view, 2> kSecondItemsAcAmps{"DC CURRENT", "FREQUENCY"};
inline constexpr std::array<std::string_view, 2> kSecondItemsDcAmps{"AC CURRENT", "FREQUENCY"};
inline constexpr std::array<std::string_view, 4> kSecondItemsAcVolts{"DC VOLTAGE", "dBm", "dB",
                                                                     "FREQUENCY"};
inline constexpr std::array<std::string_view, 4> kSecondItemsDcVolts{"AC VOLTAGE", "dBm", "dB",
                                                                     "FREQUENCY"};

// How a primary function Set rebuilds the window, one row per FuncBox entry
// in FuncBox order. The steps run in this order: `func`; the secondary
// display buttons (with SecondaryUnit emptied first when they are switched
// off); the secondary list; the range type controls; "MANUAL" chosen in
// RangeType; the range controls; the range list; the units.
struct FunctionSetup {
    std::string_view mnemonic;
    Enable secondaryButtons;  // FuncBoxTwoStateOn, FuncBoxTwoStateOff
    Refill secondList;
    std::span<const std::string_view> secondItems;
    Enable rangeTypeControls;  // RangeType, SetRangeType
    bool chooseManual;         // RangeType shows "MANUAL" (nothing is sent)
    Enable rangeControls;      // Range, SetRange
    Refill rangeList;
    std::span<const std::string_view> rangeItems;
};

inline constexpr std::array<FunctionSetup, kFunctions.size()> kFunctionSetups{
    FunctionSetup{.mnemonic = "CONT",
                  .secondaryButtons = Enable::Off,
                  .secondList = Refill::Replace,
                  .secondItems = {},
                  .rangeTypeControls = Enable::Off,
                  .chooseManual = false,
                  .rangeControls = Enable::Off,
                  .rangeList = Refill::Keep,
                  .rangeItems = {}},
    FunctionSetup{.mnemonic = "DIOD",
                  .secondaryButtons = Enable::Off,
                  .secondList = Refill::Replace,
                  .secondItems = {},
                  .rangeTypeControls = Enable::Off,
                  .chooseManual = false,
                  .rangeControls = Enable::Off,
                  .rangeList = Refill::Keep,
                  .rangeItems = {}},
    FunctionSetup{.mnemonic = "FREQ",
                  .secondaryButtons = Enable::Keep,
                  .secondList = Refill::Replace,
                  .secondItems = kSecondItemsThreshold,
                  .rangeTypeControls = Enable::Off,
                  .chooseManual = true,
                  .rangeControls = Enable::On,
                  .rangeList = Refill::Replace,
                  .rangeItems = kRangeItemsAcVolts},
    FunctionSetup{.mnemonic = "PER",
                  .secondaryButtons = Enable::Keep,
                  .secondList = Refill::Replace,
                  .secondItems = kSecondItemsThreshold,
                  .rangeTypeControls = Enable::Off,
                  .chooseManual = true,
                  .rangeControls = Enable::On,
                  .rangeList = Refill::Replace,
                  .rangeItems = kRangeItemsAcVolts},
    FunctionSetup{.mnemonic = "RES",
                  .secondaryButtons = Enable::Off,
                  .secondList = Refill::Keep,
                  .secondItems = {},
                  .rangeTypeControls = Enable::On,
                  .chooseManual = false,
                  .rangeControls = Enable::Keep,
                  .rangeList = Refill::Replace,
                  .rangeItems = kRangeItemsOhms},
    FunctionSetup{.mnemonic = "CURR:AC",
                  .secondaryButtons = Enable::Keep,
                  .secondList = Refill::Replace,
                  .secondItems = kSecondItemsAcAmps,
                  .rangeTypeControls = Enable::On,
                  .chooseManual = false,
                  .rangeControls = Enable::Keep,
                  .rangeList = Refill::Replace,
                  .rangeItems = kRangeItemsAmps},
    FunctionSetup{.mnemonic = "CURR:DC",
                  .secondaryButtons = Enable::Keep,
                  .secondList = Refill::Replace,
                  .secondItems = kSecondItemsDcAmps,
                  .rangeTypeControls = Enable::On,
                  .chooseManual = false,
                  .rangeControls = Enable::Keep,
                  .rangeList = Refill::Replace,
                  .rangeItems = kRangeItemsAmps},
    FunctionSetup{.mnemonic = "VOLT:AC",
                  .secondaryButtons = Enable::Keep,
                  .secondList = Refill::Replace,
                  .secondItems = kSecondItemsAcVolts,
                  .rangeTypeControls = Enable::On,
                  .chooseManual = false,
                  .rangeControls = Enable::Keep,
                  .rangeList = Refill::Replace,
                  .rangeItems = kRangeItemsAcVolts},
    FunctionSetup{.mnemonic = "VOLT:DC",
                  .secondaryButtons = Enable::Keep,
                  .secondList = Refill::Replace,
                  .secondItems = kSecondItemsDcVolts,
                  .rangeTypeControls = Enable::On,
                  .chooseManual = false,
                  .rangeControls = Enable::Keep,
                  .rangeList = Refill::Replace,
                  .rangeItems = kRangeItemsDcVolts},
};

constexpr bool setupsFollowFunctions() {
    for (std::size_t i = 0; i < kFunctions.size(); ++i) {
        if (kFunctionSetups[i].mnemonic != kFunctions[i].mnemonic) {
            return false;
        }
    }
    return true;
}
static_assert(setupsFollowFunctions(), "one setup row per FuncBox entry, in FuncBox order");

// The order in which `func` is matched to find the primary log header.
inline constexpr std::array<std::string_view, 9> kHeaderLookupOrder{
    "VOLT:DC", "VOLT:AC", "CURR:AC", "CURR:DC", "RES", "FREQ", "PER", "DIOD", "CONT"};

// Range values by Range index: volts, amperes or ohms as plain decimal text.
// The line is `func`, the infix, the value. Frequency and period set the
// voltage range of their input threshold.
struct RangeGroup {
    std::array<std::string_view, 2> mnemonics;  // an empty second one matches nothing
    std::string_view infix;
    std::span<const std::string_view> values;
};

inline constexpr std::array<std::string_view, 5> kRangeValuesDcVolts{"0.2", "2", "20", "200",
                                                                     "1000"};
inline constexpr std::array<std::string_view, 5> kRangeValuesAcVolts{"0.2", "2", "20", "200",
                                                                     "750"};
inline constexpr std::array<std::string_view, 5> kRangeValuesAmps{"0.002", "0.02", "0.2", "2",
                                                                  "20"};
inline constexpr std::array<std::string_view, 6> kRangeValuesOhms{"200",    "2000",    "20000",
                                                                  "200000", "2000000", "20000000"};

inline constexpr std::array kRangeGroups{
    RangeGroup{.mnemonics = {"VOLT:DC", ""}, .infix = ":RANG ", .values = kRangeValuesDcVolts},
    RangeGroup{.mnemonics = {"VOLT:AC", ""}, .infix = ":RANG ", .values = kRangeValuesAcVolts},
    RangeGroup{.mnemonics = {"CURR:AC", "CURR:DC"}, .infix = ":RANG ", .values = kRangeValuesAmps},
    RangeGroup{.mnemonics = {"RES", ""}, .infix = ":RANG ", .values = kRangeValuesOhms},
    RangeGroup{
        .mnemonics = {"PER", "FREQ"}, .infix = ":THR:VOLT:RANG ", .values = kRangeValuesAcVolts},
};

// Range type by RangeType index: the automatic ranging word, and whether the
// range list becomes usable (manual ranging) or not.
struct RangeTypeChoice {
    std::string_view value;
    bool rangeUsable;
};
inline constexpr std::string_view kRangeTypeInfix = ":RANG:AUTO ";
inline constexpr std::array kRangeTypeChoices{
    RangeTypeChoice{.value = "OFF", .rangeUsable = true},  // "MANUAL"
    RangeTypeChoice{.value = "ON", .rangeUsable = false},  // "AUTO"
};

// Secondary functions by FuncBoxTwo index, for the primary function in
// `func`. Under frequency and period the list entry itself is sent, blank
// included.
struct SecondaryGroup {
    std::array<std::string_view, 2> mnemonics;  // an empty second one matches nothing
    std::span<const std::string_view> texts;
};

inline constexpr std::array<std::string_view, 4> kSecondTextsDcVolts{"VOLT:AC", "dBm", "dB",
                                                                     "FREQ"};
inline constexpr std::array<std::string_view, 4> kSecondTextsAcVolts{"VOLT:DC", "dBm", "dB",
                                                                     "FREQ"};
inline constexpr std::array<std::string_view, 2> kSecondTextsDcAmps{"CURR:AC", "FREQ"};
inline constexpr std::array<std::string_view, 2> kSecondTextsAcAmps{"CURR:DC", "FREQ"};
inline constexpr std::array<std::string_view, 2> kSecondTextsThreshold{"AC VOLTAGE", "AC CURRENT"};

inline constexpr std::array kSecondaryGroups{
    SecondaryGroup{.mnemonics = {"VOLT:DC", ""}, .texts = kSecondTextsDcVolts},
    SecondaryGroup{.mnemonics = {"VOLT:AC", ""}, .texts = kSecondTextsAcVolts},
    SecondaryGroup{.mnemonics = {"CURR:DC", ""}, .texts = kSecondTextsDcAmps},
    SecondaryGroup{.mnemonics = {"CURR:AC", ""}, .texts = kSecondTextsAcAmps},
    SecondaryGroup{.mnemonics = {"PER", "FREQ"}, .texts = kSecondTextsThreshold},
};

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

// Integration time in power-line cycles by Rate index ("SLOW", "MEDIUM",
// "FAST"). The line is ":" `func` ":NPLC " value, except that frequency and
// period set the rate of DC voltage.
inline constexpr std::array<std::string_view, 3> kRateNplc{"10", "1", "0.1"};
inline constexpr std::array<std::string_view, 2> kRateViaDcVolts{"PER", "FREQ"};
inline constexpr std::string_view kRateDcVoltsPrefix = ":VOLT:DC:NPLC ";

// Trigger source by Trigger index, and whether "Click to Trigger" is usable
// with it: only the bus source takes a software trigger.
struct TriggerSource {
    std::string_view mnemonic;
    bool softwareTrigger;
};
inline constexpr std::array kTriggerSources{
    TriggerSource{.mnemonic = "BUS", .softwareTrigger = true},
    TriggerSource{.mnemonic = "MAN", .softwareTrigger = false},
    TriggerSource{.mnemonic = "IMM", .softwareTrigger = false},
};

// Front panel display word by Display index ("DISABLED", "ENABLED").
inline constexpr std::array<std::string_view, 2> kDisplayWords{"OFF", "ON"};

static_assert(kRateNplc.size() == kRateItems.size());
static_assert(kTriggerSources.size() == kTriggerItems.size());
static_assert(kDisplayWords.size() == kDisplayItems.size());
static_assert(kRangeTypeChoices.size() == kRangeTypeItems.size());

// The custom reference value is held within these bounds; zero is sent as
// the smallest value the meter takes instead.
inline constexpr double kRefLimit = 1010.0;
inline constexpr std::string_view kRefUpperText = "1010";
inline constexpr std::string_view kRefLowerText = "-1010";
inline constexpr std::string_view kRefZeroText = "0.001";

}  // namespace vx::meter
