#include "options/Values.h"

#include <QLocale>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <optional>
#include <utility>

#include "meter/Commands.h"

namespace vx::options {

using meter::text;

namespace {

// The units of a time, largest first.
constexpr std::array<std::pair<char, double>, 4> kTimeUnits{
    {{'d', 86'400.0}, {'h', 3'600.0}, {'m', 60.0}, {'s', 1.0}}};

// Plain digits with at most one point ("0.1", "-2", "+5.25") are read by
// std::from_chars, correctly rounded as Qt reads them; anything else (an
// exponent, group separators) by the C locale of Qt, which a logger's every
// run would otherwise load.
std::optional<double> plainDecimal(QStringView t) {
    const qsizetype from = t.startsWith(u'+') || t.startsWith(u'-') ? 1 : 0;
    if (t.size() == from || t[from] == u'.' || t.back() == u'.' || t.count(u'.') > 1 ||
        !std::all_of(t.begin() + from, t.end(),
                     [](QChar c) { return (c >= u'0' && c <= u'9') || c == u'.'; })) {
        return std::nullopt;
    }
    const QByteArray bytes = t.mid(t.startsWith(u'+') ? 1 : 0).toLatin1();
    double v = 0;
    const char* end = bytes.constData() + bytes.size();
    const auto [ptr, ec] = std::from_chars(bytes.constData(), end, v);
    if (ec != std::errc() || ptr != end) {
        return std::nullopt;
    }
    return v;
}

std::optional<double> decimal(const QString& value) {
    const QString t = value.trimmed();
    if (const std::optional<double> plain = plainDecimal(t)) {
        return plain;
    }
    bool ok = false;
    const double v = QLocale::c().toDouble(t, &ok);
    if (!ok || !std::isfinite(v)) {
        return std::nullopt;
    }
    return v;
}

std::optional<double> unitSeconds(QChar c) {
    for (const auto& [unit, seconds] : kTimeUnits) {
        const char16_t u = c.unicode();
        const QChar lower = u < 0x80 ? QChar(u >= u'A' && u <= u'Z' ? u + 32 : u) : c.toLower();
        if (lower == QLatin1Char(unit)) {
            return seconds;
        }
    }
    return std::nullopt;
}

Real within(double v, const Limits& limits) {
    if (v < limits.low) {
        return {.value = v, .fault = Fault::TooSmall};
    }
    if (v > limits.high) {
        return {.value = v, .fault = Fault::TooLarge};
    }
    return {.value = v, .fault = Fault::None};
}

// Digits with an optional sign; toLongLong() alone would also take a
// base prefix and surrounding blanks. Checked by hand: the regular
// expression engine costs a program half a megabyte of memory.
bool signedDigits(QStringView t) {
    if (t.startsWith(u'+') || t.startsWith(u'-')) {
        t = t.mid(1);
    }
    return !t.isEmpty() &&
           std::all_of(t.begin(), t.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

}  // namespace

Whole wholeNumber(const QString& text, qint64 low, qint64 high) {
    const QString t = text.trimmed();
    if (!signedDigits(t)) {
        return {.value = 0, .fault = Fault::NotANumber};
    }
    bool ok = false;
    const qint64 n = t.toLongLong(&ok);
    if (!ok) {
        return {.value = 0,
                .fault = t.startsWith(QLatin1Char('-')) ? Fault::TooSmall : Fault::TooLarge};
    }
    if (n < low) {
        return {.value = n, .fault = Fault::TooSmall};
    }
    if (n > high) {
        return {.value = n, .fault = Fault::TooLarge};
    }
    return {.value = n, .fault = Fault::None};
}

Real seconds(const QString& text, const Limits& limits) {
    const std::optional<double> v = decimal(text);
    return v ? within(*v, limits) : Real{.value = 0.0, .fault = Fault::NotANumber};
}

Real duration(const QString& text, const Limits& limits) {
    constexpr Real kNotATime{.value = 0.0, .fault = Fault::NotANumber};
    double total = 0.0;
    int parts = 0;
    QString number;
    for (const QChar c : text) {
        const std::optional<double> unit = unitSeconds(c);
        if (!unit) {
            number += c;
            continue;
        }
        const std::optional<double> v = decimal(number);
        if (!v || *v < 0.0) {
            return kNotATime;
        }
        total += *v * *unit;
        ++parts;
        number.clear();
    }
    if (!number.trimmed().isEmpty() || parts == 0) {
        const std::optional<double> v = decimal(number);
        if (parts > 0 || !v || *v < 0.0) {
            return kNotATime;
        }
        total = *v;
    }
    if (!(total > 0.0)) {
        return kNotATime;
    }
    return total > limits.high ? Real{.value = total, .fault = Fault::TooLarge}
                               : Real{.value = total, .fault = Fault::None};
}

QString limitText(double seconds, Quantity quantity) {
    if (quantity == Quantity::Duration) {
        for (const auto& [unit, size] : kTimeUnits) {
            const double count = seconds / size;
            if (count >= 1.0 && count == std::floor(count)) {
                return QString::number(count, 'f', 0) + QLatin1Char(unit);
            }
        }
    }
    return QString::number(seconds) + QStringLiteral(" s");
}

QString outOfLimits(std::string_view option, const QString& value, Fault fault, const QString& low,
                    const QString& high) {
    return fault == Fault::TooSmall ? QStringLiteral("--%1: %2 is too small; the least is %3")
                                          .arg(text(option), value.trimmed(), low)
                                    : QStringLiteral("--%1: %2 is too large; the most is %3")
                                          .arg(text(option), value.trimmed(), high);
}

QString outOfLimits(const Option& option, const QString& value, Fault fault) {
    const Limits limits = option.limits.value_or(Limits{});
    return outOfLimits(option.name, value, fault, limitText(limits.low, limits.quantity),
                       limitText(limits.high, limits.quantity));
}

}  // namespace vx::options
