#include "vxsim/core/Scpi.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

namespace vxsim {

namespace {

struct ErrorEntry {
    ScpiError error;
    std::string_view text;
};

constexpr std::array kErrors{
    ErrorEntry{.error = ScpiError::None, .text = "No error"},
    ErrorEntry{.error = ScpiError::Command, .text = "Command error"},
    ErrorEntry{.error = ScpiError::Syntax, .text = "Syntax error"},
    ErrorEntry{.error = ScpiError::DataType, .text = "Data type error"},
    ErrorEntry{.error = ScpiError::ParameterNotAllowed, .text = "Parameter not allowed"},
    ErrorEntry{.error = ScpiError::MissingParameter, .text = "Missing parameter"},
    ErrorEntry{.error = ScpiError::UndefinedHeader, .text = "Undefined header"},
    ErrorEntry{.error = ScpiError::TriggerIgnored, .text = "Trigger ignored"},
    ErrorEntry{.error = ScpiError::DataOutOfRange, .text = "Data out of range"},
    ErrorEntry{.error = ScpiError::IllegalParameter, .text = "Illegal parameter value"},
    ErrorEntry{.error = ScpiError::QueueOverflow, .text = "Queue overflow"},
    ErrorEntry{.error = ScpiError::InputOverrun, .text = "Input buffer overrun"},
};

// Header keywords: the short form is the canonical one; the long form is also accepted.
// Nothing in between is (SCPI allows exactly the two forms).
struct Keyword {
    std::string_view shortForm;
    std::string_view longForm;
};

constexpr std::array kKeywords{
    Keyword{"FUNC", "FUNCTION"},   Keyword{"VOLT", "VOLTAGE"},   Keyword{"CURR", "CURRENT"},
    Keyword{"RES", "RESISTANCE"},  Keyword{"FREQ", "FREQUENCY"}, Keyword{"PER", "PERIOD"},
    Keyword{"CONT", "CONTINUITY"}, Keyword{"DIOD", "DIODE"},     Keyword{"AC", "AC"},
    Keyword{"DC", "DC"},           Keyword{"RANG", "RANGE"},     Keyword{"AUTO", "AUTO"},
    Keyword{"THR", "THRESHOLD"},   Keyword{"NPLC", "NPLCYCLES"}, Keyword{"TRIG", "TRIGGER"},
    Keyword{"SOUR", "SOURCE"},     Keyword{"DISP", "DISPLAY"},   Keyword{"ENAB", "ENABLE"},
    Keyword{"HOLD", "HOLD"},       Keyword{"STAT", "STATE"},     Keyword{"REF", "REFERENCE"},
    Keyword{"ACQ", "ACQUIRE"},     Keyword{"SYST", "SYSTEM"},    Keyword{"ERR", "ERROR"},
    Keyword{"FETC", "FETCH"},      Keyword{"READ", "READ"},      Keyword{"SENS", "SENSE"},
    Keyword{"DBM", "DBM"},         Keyword{"DB", "DB"},
};

bool isAlpha(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Bytes a terminal cannot type: control characters other than blanks, DEL and the upper half.
bool isForeign(char c) {
    const auto u = static_cast<unsigned char>(c);
    return (u < 0x20 && !isBlank(c)) || u >= 0x7F;
}

bool validNode(std::string_view node) {
    if (node.empty() || !isAlpha(node.front())) {
        return false;
    }
    return std::all_of(node.begin(), node.end(), [](char c) { return isAlpha(c) || isDigit(c); });
}

}  // namespace

std::string upper(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; });
    return out;
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

std::string_view errorText(ScpiError error) {
    for (const auto& entry : kErrors) {
        if (entry.error == error) {
            return entry.text;
        }
    }
    return "Unknown error";
}

std::string formatError(ScpiError error) {
    const int number = static_cast<int>(error);
    std::string out = number >= 0 ? "+" : "";
    out += std::to_string(number);
    out += ",\"";
    out += errorText(error);
    out += '"';
    return out;
}

std::string canonicalKeyword(std::string_view word) {
    const std::string up = upper(word);
    // A numeric suffix (FUNC2) belongs to the keyword before it; suffix 1 is the default.
    std::size_t stem = up.size();
    while (stem > 0 && isDigit(up[stem - 1])) {
        --stem;
    }
    const std::string_view base(up.data(), stem);
    const std::string_view suffix(up.data() + stem, up.size() - stem);
    for (const auto& keyword : kKeywords) {
        if (base == keyword.shortForm || base == keyword.longForm) {
            std::string out(keyword.shortForm);
            if (!suffix.empty() && suffix != "1") {
                out += suffix;
            }
            return out;
        }
    }
    return up;
}

ParsedLine parseCommandLine(std::string_view line) {
    ParsedLine result;
    line = trimmed(line);
    if (line.empty()) {
        return result;
    }
    if (std::any_of(line.begin(), line.end(), isForeign)) {
        result.error = ScpiError::Command;
        return result;
    }
    const auto blank = line.find_first_of(" \t");
    std::string_view header = line.substr(0, blank);
    if (blank != std::string_view::npos) {
        result.command.parameter = std::string(trimmed(line.substr(blank)));
    }
    if (!header.empty() && header.back() == '?') {
        result.command.query = true;
        header.remove_suffix(1);
    }
    if (!header.empty() && header.front() == '*') {
        const std::string_view name = header.substr(1);
        if (!validNode(name)) {
            result.error = ScpiError::Syntax;
            return result;
        }
        std::string path(1, '*');
        path += upper(name);
        result.command.path = std::move(path);
        return result;
    }
    if (!header.empty() && header.front() == ':') {
        header.remove_prefix(1);
    }
    std::string path;
    bool first = true;
    while (true) {
        const auto colon = header.find(':');
        const std::string_view node = header.substr(0, colon);
        if (!validNode(node)) {
            result.error = ScpiError::Syntax;
            return result;
        }
        const std::string keyword = canonicalKeyword(node);
        // SENSe is the optional root of the measurement settings: SENS:VOLT:DC:RANG = VOLT:DC:RANG.
        if (!(first && keyword == "SENS" && colon != std::string_view::npos)) {
            if (!path.empty()) {
                path += ':';
            }
            path += keyword;
        }
        first = false;
        if (colon == std::string_view::npos) {
            break;
        }
        header.remove_prefix(colon + 1);
    }
    result.command.path = std::move(path);
    return result;
}

std::optional<double> parseNumber(std::string_view text) {
    text = trimmed(text);
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (!text.empty() && text.front() == '-') {
            return std::nullopt;
        }
    }
    if (text.empty()) {
        return std::nullopt;
    }
    // from_chars wants a digit before the point; SCPI allows ".5" and "-.5".
    std::string buffer(text);
    const std::size_t sign = buffer.front() == '-' ? 1 : 0;
    if (buffer.size() > sign && buffer[sign] == '.') {
        buffer.insert(buffer.begin() + static_cast<std::ptrdiff_t>(sign), '0');
    }
    double value = 0.0;
    const char* begin = buffer.data();
    const char* end = buffer.data() + buffer.size();
    const auto [ptr, ec] = std::from_chars(begin, end, value, std::chars_format::general);
    if (ec != std::errc() || ptr != end || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::string formatReading(double value) {
    if (value == 0.0 || !std::isfinite(value)) {
        value = std::isfinite(value) ? 0.0 : std::copysign(9.9e37, value);
    }
    std::array<char, 32> buffer{};
    const auto [ptr, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(),
                                         std::fabs(value), std::chars_format::scientific, 5);
    std::string digits(buffer.data(), ec == std::errc() ? ptr : buffer.data());
    // to_chars writes 1.23456e+00; the meter writes +1.23456E+00.
    std::replace(digits.begin(), digits.end(), 'e', 'E');
    return (std::signbit(value) && value != 0.0 ? "-" : "+") + digits;
}

}  // namespace vxsim
