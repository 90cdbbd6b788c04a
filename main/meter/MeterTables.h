#pragma once

#include <array>
#include <string_view>

// The fixed lists of the main window. A list whose entries mean something
// beyond their caption holds Choices: the caption shown in the list, and the
// word that entry puts on the line. Handlers look entries up by list index.
namespace vx::meter {

struct Choice {
    std::string_view caption;  // the list entry
    std::string_view word;     // what the entry sends
};

inline constexpr std::array<std::string_view, 15> kComPortItems{
    "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13", "14", "15"};
inline constexpr std::array<std::string_view, 7> kBaudRateItems{"600",  "1200",  "2400", "4800",
                                                                "9600", "19200", "38400"};
inline constexpr int kBaudRateStart = 4;

// Termination characters by TermChar index: carriage return and line feed.
inline constexpr std::array kTermChars{
    Choice{.caption = "CR", .word = "\r"},
    Choice{.caption = "LF", .word = "\n"},
};
inline constexpr int kTermCharStart = 1;

// Trigger sources by Trigger index. Only the bus source takes a software
// trigger ("Click to Trigger").
inline constexpr std::array kTriggerSources{
    Choice{.caption = "BUS", .word = "BUS"},
    Choice{.caption = "MANUAL", .word = "MAN"},
    Choice{.caption = "IMMEDIATE", .word = "IMM"},
};
inline constexpr int kTriggerBus = 0;
inline constexpr int kTriggerStart = 2;

// Front panel display modes by Display index.
inline constexpr std::array kDisplayModes{
    Choice{.caption = "DISABLED", .word = "OFF"},
    Choice{.caption = "ENABLED", .word = "ON"},
};
inline constexpr int kDisplayStart = 1;

// Range types by RangeType index: the automatic ranging word. Only manual
// ranging makes the range list usable.
inline constexpr std::array kRangeTypes{
    Choice{.caption = "MANUAL", .word = "OFF"},
    Choice{.caption = "AUTO", .word = "ON"},
};
inline constexpr int kRangeTypeManual = 0;
inline constexpr int kRangeTypeAuto = 1;
inline constexpr int kRangeTypeStart = kRangeTypeAuto;

// Measurement rates by Rate index: the integration time in power-line cycles.
inline constexpr std::array kRates{
    Choice{.caption = "SLOW", .word = "10"},
    Choice{.caption = "MEDIUM", .word = "1"},
    Choice{.caption = "FAST", .word = "0.1"},
};

inline constexpr std::array<std::string_view, 2> kRefMethodItems{"Input", "Custom"};

}  // namespace vx::meter
