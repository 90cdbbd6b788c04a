#include "logread/Values.h"

#include <charconv>
#include <cmath>
#include <system_error>

namespace vx::logread {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
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

bool hasNegativeExponent(std::string_view text) {
    const auto e = text.find_first_of("eE");
    return e != std::string_view::npos && e + 1 < text.size() && text[e + 1] == '-';
}

}  // namespace

bool isValue(double value) {
    return std::isfinite(value) && std::fabs(value) < kOverload;
}

Value readValue(std::string_view text) {
    text = trimmed(text);
    std::string_view digits = text;
    if (!digits.empty() && digits.front() == '+') {
        digits.remove_prefix(1);
        if (!digits.empty() && digits.front() == '-') {
            return {};
        }
    }
    // The meter writes digits only; "inf" and "nan" are words, not numbers.
    if (digits.empty() || digits.find_first_of("iInN") != std::string_view::npos) {
        return {};
    }
    double number = 0.0;
    const char* end = digits.data() + digits.size();
    const auto [ptr, ec] = std::from_chars(digits.data(), end, number);
    if (ptr != end) {
        return {};
    }
    if (ec == std::errc::result_out_of_range) {
        // Too small for a double reads as zero; too large is beyond any range.
        if (hasNegativeExponent(digits)) {
            return {.number = 0.0, .gap = Gap::None};
        }
        return {.number = std::numeric_limits<double>::quiet_NaN(), .gap = Gap::Overload};
    }
    if (ec != std::errc()) {
        return {};
    }
    if (!isValue(number)) {
        return {.number = std::numeric_limits<double>::quiet_NaN(), .gap = Gap::Overload};
    }
    return {.number = number, .gap = Gap::None};
}

}  // namespace vx::logread
