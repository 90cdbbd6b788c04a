#include "cli/Text.h"

#include <locale.h>
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>

#include "log/DataLog.h"
#include "trend/TrendData.h"

namespace vx::cli {

// "%.8g": the statistics in the summary and the status line. printf's own
// conversion in the C locale (the user's decimal comma never shows), which
// is what std::to_chars is defined to write; its code is in every process
// already, while the C++ library's conversion costs a third of a megabyte of
// memory at its first call.
QString number(double v, int digits) {
    static const locale_t c = ::newlocale(LC_ALL_MASK, "C", nullptr);
    const locale_t previous = ::uselocale(c);
    std::array<char, 40> buffer{};
    const int n = std::snprintf(buffer.data(), buffer.size(), "%.*g", digits, v);
    ::uselocale(previous);
    return QString::fromLatin1(buffer.data(), std::clamp(n, 0, int(buffer.size()) - 1));
}

QString seconds(int ms) {
    return number(ms / 1000.0, 3);
}

static QString two(qint64 v) {
    return QString::number(v).rightJustified(2, QLatin1Char('0'));
}

// "01:02:03" on the status line; "01:02:03.456" in the summary.
QString clockText(qint64 ns, bool withMs) {
    const qint64 ms = ns / 1'000'000;
    const qint64 s = ms / 1000;
    QString text =
        two(s / 3600) + QLatin1Char(':') + two(s / 60 % 60) + QLatin1Char(':') + two(s % 60);
    if (withMs) {
        text += QLatin1Char('.') + QString::number(ms % 1000).rightJustified(3, QLatin1Char('0'));
    }
    return text;
}

QString countText(qint64 n, const QString& noun) {
    return QString::number(n) + QLatin1Char(' ') + noun + (n == 1 ? "" : "s");
}

// ISO 8601 with the UTC offset: "2016-09-22T14:05:09.000+02:00", "Z" for
// UTC. Written digit by digit as Qt writes it; years of other than four
// digits and offsets with seconds are left to Qt.
QString isoTime(const QDateTime& when) {
    const int offset = when.offsetFromUtc();
    const QDate date = when.date();
    const QTime time = when.time();
    if (!date.isValid() || !time.isValid() || date.year() < 1000 || date.year() > 9999 ||
        offset % 60 != 0) {
        return when.toOffsetFromUtc(offset).toString(Qt::ISODateWithMs);
    }
    QString text;
    text.reserve(29);
    log::appendDigits(text, date.year(), 4);
    text += u'-';
    log::appendDigits(text, date.month(), 2);
    text += u'-';
    log::appendDigits(text, date.day(), 2);
    text += u'T';
    log::appendDigits(text, time.hour(), 2);
    text += u':';
    log::appendDigits(text, time.minute(), 2);
    text += u':';
    log::appendDigits(text, time.second(), 2);
    text += u'.';
    log::appendDigits(text, time.msec(), 3);
    if (offset == 0) {
        text += u'Z';
        return text;
    }
    text += offset < 0 ? u'-' : u'+';
    log::appendDigits(text, std::abs(offset) / 3600, 2);
    text += u':';
    log::appendDigits(text, std::abs(offset) / 60 % 60, 2);
    return text;
}

QString csvField(const QString& field) {
    if (!field.contains(QLatin1Char(',')) && !field.contains(QLatin1Char('"'))) {
        return field;
    }
    QString quoted = field;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QJsonValue jsonNumber(double v) {
    return trend::isValue(v) ? QJsonValue(v) : QJsonValue(QJsonValue::Null);
}

QString withUnit(const QString& value, const QString& unit) {
    return unit.isEmpty() ? value : value + QLatin1Char(' ') + unit;
}

QString visible(const QString& text) {
    QString shown;
    shown.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x20 || (u >= 0x7f && u <= 0x9f)) {
            constexpr char kHex[] = "0123456789ABCDEF";
            shown += QStringLiteral("\\x");
            shown += QLatin1Char(kHex[u >> 4 & 0xf]);
            shown += QLatin1Char(kHex[u & 0xf]);
        } else {
            shown += c;
        }
    }
    return shown;
}

}  // namespace vx::cli
