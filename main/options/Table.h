#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <string_view>

// A program's command line as data: one row per option, from which the
// command line is read and the help is written. A row reads
//
//   Option{.name = "baud", .value = "RATE", .help = "{choices} (default {default})",
//          .list = {.words = meter::kBaudRateItems, .preset = 4, .what = "baud rate"}}
//
// and stands for `--baud RATE` or `--baud=RATE`, shown in help as
//
//   --baud RATE               600, 1200, 2400, 4800, 9600, 19200, 38400 (default 9600)
//
// In `help`, {choices} is the list's words (with their other names in
// brackets), {default} the word of `preset`, {low} and {high} the limits.
// A value of "{choices}" shows the words as `CR|LF`.
namespace vx::options {

// The words a value is taken from; case and blanks do not matter.
struct List {
    std::span<const std::string_view> words = {};
    // Other names of the same entries, by position ("VOLT:DC" for "DC VOLTAGE").
    std::span<const std::string_view> aliases = {};
    int preset = -1;             // the entry taken when the option is not given; -1: none
    std::string_view what = {};  // "baud rate", for the message about a word not in the list
    bool span = false;           // shown as "1 to 15" rather than word by word
    bool open = false;           // other values are judged by the program, not refused here
};

// How the limits of a number are shown.
enum class Quantity { Seconds, Duration };

// The smallest and the largest value a number takes.
struct Limits {
    double low = 0.0;
    double high = 0.0;
    Quantity quantity = Quantity::Seconds;
};

struct Option {
    std::string_view name;        // "baud": given as --baud
    std::string_view value = {};  // the value's name in help; empty: a switch
    std::string_view help = {};
    std::string_view shortName = {};  // "q": also given as -q
    std::string_view section = {};    // the help heading; rows of one heading follow each other
    List list = {};
    std::optional<Limits> limits = {};
};

// How option names are written on the command line.
enum class Dashes {
    Strict,  // --name and -s
    Either,  // any name after one dash or two: --name, -name, -s, --s
};

using Index = std::size_t;

// The row of `name`; a name not in the table does not compile.
consteval Index indexOf(std::span<const Option> table, std::string_view name) {
    for (Index i = 0; i < table.size(); ++i) {
        if (table[i].name == name) {
            return i;
        }
    }
    throw "no such option";
}

// One field of every row of a table, as a table of its own:
// column<&meter::Choice::caption>(meter::kTermChars) is {"CR", "LF"}.
template <auto Field, typename Row, std::size_t N>
constexpr std::array<std::string_view, N> column(const std::array<Row, N>& rows) {
    std::array<std::string_view, N> out{};
    for (std::size_t i = 0; i < N; ++i) {
        out[i] = rows[i].*Field;
    }
    return out;
}

}  // namespace vx::options
