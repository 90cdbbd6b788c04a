#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vxsim {

// Error numbers of the SCPI standard that the meter reports through SYST:ERR?.
enum class ScpiError : int {
    None = 0,
    Command = -100,
    Syntax = -102,
    DataType = -104,
    ParameterNotAllowed = -108,
    MissingParameter = -109,
    UndefinedHeader = -113,
    TriggerIgnored = -211,
    DataOutOfRange = -222,
    IllegalParameter = -224,
    QueueOverflow = -350,
    InputOverrun = -363,
};

std::string_view errorText(ScpiError error);

// The error queue entry as SYST:ERR? answers it: -113,"Undefined header" or +0,"No error".
std::string formatError(ScpiError error);

// One command line taken apart. Header keywords are reduced to their canonical short form
// ("voltage" -> "VOLT", "Func2" -> "FUNC2", "*idn" -> "*IDN") and joined by colons, so
// ":VOLTage:dc:RANGe 2" gives path "VOLT:DC:RANG", query false, parameter "2".
struct CommandLine {
    std::string path;
    bool query = false;
    std::string parameter;
};

struct ParsedLine {
    CommandLine command;
    ScpiError error = ScpiError::None;
};

// Parses one line (without its terminator). An empty or blank line gives an empty path.
ParsedLine parseCommandLine(std::string_view line);

// Canonical form of one header keyword; a word that is no known keyword comes back upper-cased.
std::string canonicalKeyword(std::string_view word);

// A plain decimal number as SCPI sends it: "2", "-1010", "0.002", "+1.5E-3", ".5".
std::optional<double> parseNumber(std::string_view text);

// A reading in the meter's exponent notation: sign, one digit, point, five digits, "E", sign,
// two digits, as in +1.23456E+00.
std::string formatReading(double value);

std::string upper(std::string_view text);
std::string_view trimmed(std::string_view text);

}  // namespace vxsim
