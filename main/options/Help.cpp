#include "options/Help.h"

#include <QRegularExpression>
#include <QStringList>

#include "meter/Commands.h"
#include "options/Arguments.h"
#include "options/Values.h"

namespace vx::options {

using meter::text;

namespace {

// The value's name: "RATE", or the list's words as "CR|LF".
QString valueName(const Option& option) {
    if (option.value == "{choices}") {
        QStringList words;
        for (const std::string_view word : option.list.words) {
            words << text(word);
        }
        return words.join(QLatin1Char('|'));
    }
    return text(option.value);
}

QString leftOf(const Option& option) {
    QString left = QStringLiteral("  ");
    if (!option.shortName.empty()) {
        left += QLatin1Char('-') + text(option.shortName) + QStringLiteral(", ");
    }
    left += QStringLiteral("--") + text(option.name);
    if (!option.value.empty()) {
        left += QLatin1Char(' ') + valueName(option);
    }
    return left;
}

QString helpOf(const Option& option) {
    QString help = text(option.help);
    const List& list = option.list;
    help.replace(QStringLiteral("{choices}"), listed(list, Blanks::Unbroken));
    if (list.preset >= 0) {
        help.replace(QStringLiteral("{default}"),
                     text(list.words[static_cast<std::size_t>(list.preset)]));
    }
    if (option.limits) {
        const Limits& l = *option.limits;
        help.replace(QStringLiteral("{low}"), limitText(l.low, l.quantity));
        help.replace(QStringLiteral("{high}"), limitText(l.high, l.quantity));
    }
    Q_ASSERT_X(!help.contains(QLatin1Char('{')), "vx::options::describe",
               "a placeholder without its fact");
    return help;
}

const Option* find(std::span<const Option> table, const QString& name) {
    for (const Option& option : table) {
        if (text(option.name) == name) {
            return &option;
        }
    }
    return nullptr;
}

// The form with each option name followed by its value's name, and the
// blanks inside brackets made unbreakable.
QString filledForm(std::span<const Option> table, std::string_view form) {
    static const QRegularExpression kName(QStringLiteral("--([a-z-]+)"));
    QString out;
    qsizetype from = 0;
    const QString f = text(form);
    for (auto it = kName.globalMatch(f); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        out += f.mid(from, m.capturedEnd() - from);
        from = m.capturedEnd();
        const Option* option = find(table, m.captured(1));
        Q_ASSERT_X(option != nullptr, "vx::options::usage", "a form names no option of the table");
        if (option != nullptr && !option->value.empty()) {
            out += kNoBreak + valueName(*option);
        }
    }
    out += f.mid(from);
    int depth = 0;
    for (QChar& c : out) {
        depth += c == QLatin1Char('[') ? 1 : c == QLatin1Char(']') ? -1 : 0;
        if (depth > 0 && c == QLatin1Char(' ')) {
            c = kNoBreak;
        }
    }
    return out;
}

}  // namespace

QString wrapped(const QString& text, const QString& first, int indent) {
    QString out;
    QString line = first;
    bool lineHasWord = false;
    for (const QString& word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (lineHasWord && line.size() + 1 + word.size() > kWidth) {
            out += line + QLatin1Char('\n');
            line = QString(indent, QLatin1Char(' '));
            lineHasWord = false;
        }
        if (lineHasWord) {
            line += QLatin1Char(' ');
        }
        line += word;
        lineHasWord = true;
    }
    out += line + QLatin1Char('\n');
    return out.replace(kNoBreak, QLatin1Char(' '));
}

QString entry(const QString& left, const QString& text) {
    if (left.size() + 2 > kColumn) {
        return left + QLatin1Char('\n') +
               wrapped(text, QString(kColumn, QLatin1Char(' ')), kColumn);
    }
    return wrapped(text, left.leftJustified(kColumn), kColumn);
}

QString describe(std::span<const Option> table) {
    QString out;
    std::string_view section;
    for (const Option& option : table) {
        if (option.section != section && !option.section.empty()) {
            out += QLatin1Char('\n') + text(option.section) + QStringLiteral(":\n");
        }
        section = option.section;
        out += entry(leftOf(option), helpOf(option));
    }
    return out;
}

QString usage(std::span<const Option> table, std::string_view program,
              std::span<const std::string_view> forms) {
    QString out;
    const QString first = QStringLiteral("usage: ");
    for (const std::string_view form : forms) {
        const QString start = (out.isEmpty() ? first : QString(first.size(), QLatin1Char(' '))) +
                              text(program) + QLatin1Char(' ');
        out += wrapped(filledForm(table, form), start, static_cast<int>(start.size()));
    }
    return out;
}

}  // namespace vx::options
