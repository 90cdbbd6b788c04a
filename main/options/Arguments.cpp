#include "options/Arguments.h"

#include <algorithm>

#include "meter/Commands.h"

namespace vx::options {

using meter::text;

namespace {

// Captions match whatever their case and blanks: "dc voltage", "200mV".
// Plain ASCII, as every caption and nearly every argument is, is raised
// here; anything else goes through Qt's Unicode tables (a memory cost a
// logger's every run would otherwise pay).
QString folded(const QString& s) {
    const bool ascii =
        std::all_of(s.cbegin(), s.cend(), [](QChar c) { return c.unicode() < 0x80; });
    QString out = ascii ? QString(QLatin1StringView(s.toLatin1().toUpper())) : s.toUpper();
    out.remove(QLatin1Char(' '));
    return out;
}

}  // namespace

Arguments::Arguments(std::span<const Option> table, const QStringList& arguments, Dashes dashes)
    : table_(table), given_(table.size()) {
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == QStringLiteral("--")) {
            positional_ += arguments.mid(i + 1);
            return;
        }
        if (argument.size() < 2 || !argument.startsWith(QLatin1Char('-'))) {
            positional_ << argument;
            continue;
        }
        const QString name = argument.section(QLatin1Char('='), 0, 0);
        const std::optional<Index> index = named(table, argument, dashes);
        if (!index) {
            error_ = QStringLiteral("unknown option %1").arg(name);
            return;
        }
        const bool inlineValue = argument.contains(QLatin1Char('='));
        if (table[*index].value.empty()) {
            if (inlineValue) {
                error_ = QStringLiteral("%1 takes no value").arg(name);
                return;
            }
            given_[*index] << QString();
        } else if (inlineValue) {
            given_[*index] << argument.section(QLatin1Char('='), 1);
        } else if (i + 1 < arguments.size()) {
            given_[*index] << arguments[++i];
        } else {
            error_ = QStringLiteral("%1 needs a value").arg(name);
            return;
        }
    }
}

QString Arguments::value(Index option) const {
    return given_[option].isEmpty() ? QString() : given_[option].back();
}

QString Arguments::badChoice() const {
    for (Index i = 0; i < table_.size(); ++i) {
        const List& list = table_[i].list;
        if (isSet(i) && !list.words.empty() && !list.open && !choice(i)) {
            return notInList(table_[i], value(i));
        }
    }
    return {};
}

std::optional<std::size_t> Arguments::choice(Index option) const {
    const List& list = table_[option].list;
    if (!isSet(option)) {
        return list.preset < 0 ? std::nullopt
                               : std::optional<std::size_t>(static_cast<std::size_t>(list.preset));
    }
    const QString v = value(option);
    if (const auto i = match(list.words, v)) {
        return i;
    }
    return match(list.aliases, v);
}

std::optional<Index> named(std::span<const Option> table, const QString& argument, Dashes dashes) {
    const QString name = argument.section(QLatin1Char('='), 0, 0);
    const auto is = [&](std::string_view dash, std::string_view word) {
        return !word.empty() && name == text(dash) + text(word);
    };
    const bool either = dashes == Dashes::Either;
    for (Index i = 0; i < table.size(); ++i) {
        const Option& o = table[i];
        if (is("--", o.name) || is("-", o.shortName) || (either && is("-", o.name)) ||
            (either && is("--", o.shortName))) {
            return i;
        }
    }
    return std::nullopt;
}

std::optional<std::size_t> match(std::span<const std::string_view> words, const QString& value) {
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (folded(text(words[i])) == folded(value)) {
            return i;
        }
    }
    return std::nullopt;
}

QString listed(const List& list, Blanks blanks) {
    if (list.words.empty()) {
        return {};
    }
    if (list.span) {
        return QStringLiteral("%1 to %2").arg(text(list.words.front()), text(list.words.back()));
    }
    const QChar blank = blanks == Blanks::Plain ? QChar(QLatin1Char(' ')) : kNoBreak;
    QStringList names;
    for (std::size_t i = 0; i < list.words.size(); ++i) {
        QString name = text(list.words[i]);
        if (i < list.aliases.size()) {
            name += QStringLiteral(" (%1)").arg(text(list.aliases[i]));
        }
        names << name.replace(QLatin1Char(' '), blank);
    }
    return names.join(QStringLiteral(", "));
}

QString notInList(const Option& option, const QString& value) {
    const List& list = option.list;
    return QStringLiteral("--%1: %2 must be %3 %4, not \"%5\"")
        .arg(text(option.name), text(list.what),
             list.span ? QStringLiteral("from") : QStringLiteral("one of"),
             listed(list, Blanks::Plain), value);
}

}  // namespace vx::options
