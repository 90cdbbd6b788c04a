#pragma once

#include <array>
#include <string_view>

// The fixed tables of the main window: list contents, and what each list
// entry means to the meter. Handlers look values up here by list index.
namespace vx::meter {

inline constexpr std::array<std::string_view, 15> kComPortItems{
    "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13", "14", "15"};
inline constexpr std::array<std::string_view, 7> kBaudRateItems{"600",  "1200",  "2400", "4800",
                                                                "9600", "19200", "38400"};
inline constexpr int kBaudRateStart = 4;

// Termination characters by TermChar index: "CR" is carriage return, "LF" line feed.
inline constexpr std::array<std::string_view, 2> kTermCharItems{"CR", "LF"};
inline constexpr std::array<std::string_view, 2> kTermChars{"\r", "\n"};
inline constexpr int kTermCharStart = 1;

// The primary functions, in FuncBox order.
struct Function {
    std::string_view item;      // FuncBox entry
    std::string_view mnemonic;  // SCPI mnemonic, held in `func`
    std::string_view unit;      // PrimaryUnit text
    std::string_view header;    // log column header, held in `func_selection`
};

inline constexpr std::array kFunctions{
    Function{.item = "CONTINUITY", .mnemonic = "CONT", .unit = "Ohm", .header = "Continuity(Ohm)"},
    Function{.item = "DIODE", .mnemonic = "DIOD", .unit = "DCV", .header = "Diode(DCV)"},
    Function{.item = "FREQUENCY", .mnemonic = "FREQ", .unit = "Hz", .header = "Frequency(Hz)"},
    Function{.item = "PERIOD", .mnemonic = "PER", .unit = "S", .header = "Period(Sec)"},
    Function{
        .item = "2W RESISTANCE", .mnemonic = "RES", .unit = "Ohm", .header = "2W Resistance(Ohm)"},
    Function{.item = "AC CURRENT", .mnemonic = "CURR:AC", .unit = "AAC", .header = "AC Current(A)"},
    Function{.item = "DC CURRENT", .mnemonic = "CURR:DC", .unit = "ADC", .header = "DC Current(A)"},
    Function{.item = "AC VOLTAGE", .mnemonic = "VOLT:AC", .unit = "VAC", .header = "AC Voltage(V)"},
    Function{.item = "DC VOLTAGE", .mnemonic = "VOLT:DC", .unit = "VDC", .header = "DC Voltage(V)"},
};
inline constexpr int kFunctionStart = 8;

inline constexpr std::array<std::string_view, 3> kTriggerItems{"BUS", "MANUAL", "IMMEDIATE"};
inline constexpr int kTriggerStart = 2;
inline constexpr std::array<std::string_view, 2> kDisplayItems{"DISABLED", "ENABLED"};
inline constexpr int kDisplayStart = 1;
inline constexpr std::array<std::string_view, 2> kRangeTypeItems{"MANUAL", "AUTO"};
inline constexpr int kRangeTypeStart = 1;
inline constexpr std::array<std::string_view, 3> kRateItems{"SLOW", "MEDIUM", "FAST"};
inline constexpr std::array<std::string_view, 2> kRefMethodItems{"Input", "Custom"};

}  // namespace vx::meter
