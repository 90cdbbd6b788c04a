#pragma once

#include <QString>
#include <QStringList>

#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "options/Table.h"

namespace vx::options {

// A command line read against an option table. An option's value follows
// it (`--port COM1`) or its name after '=' (`--port=COM1`); `--` ends the
// options, and an argument that does not start with a dash is positional.
class Arguments {
public:
    // `arguments` without the program name.
    Arguments(std::span<const Option> table, const QStringList& arguments, Dashes dashes);

    // "unknown option --colour", "--port needs a value", "--quiet takes no
    // value"; empty when every argument was understood.
    const QString& error() const { return error_; }

    bool isSet(Index option) const { return !given_[option].isEmpty(); }
    // The last value given, or empty.
    QString value(Index option) const;
    // Every value given, in order.
    const QStringList& values(Index option) const { return given_[option]; }
    const QStringList& positional() const { return positional_; }

    // The message about the first option whose value is not in its list, in
    // table order; empty when there is none.
    QString badChoice() const;
    // The entry of the option's list its value names, the preset entry when
    // it is not given, or nothing.
    std::optional<std::size_t> choice(Index option) const;

private:
    std::span<const Option> table_;
    std::vector<QStringList> given_;
    QStringList positional_;
    QString error_;
};

// The option `argument` names ("--baud=9600" names baud), or nothing.
std::optional<Index> named(std::span<const Option> table, const QString& argument, Dashes dashes);

// The position of `value` in `words`; case and blanks do not matter.
std::optional<std::size_t> match(std::span<const std::string_view> words, const QString& value);

// How listed() writes a blank inside a word: as it is, or as a no-break
// space, so that wrapped help keeps the word whole (see wrapped() in Help.h).
enum class Blanks { Plain, Unbroken };
inline constexpr QChar kNoBreak(0x00A0);

// The words of a list as help and messages show them: "CR, LF", "1 to 15",
// "DC VOLTAGE (VOLT:DC), ...".
QString listed(const List& list, Blanks blanks);

// "--rate: rate must be one of SLOW, MEDIUM, FAST, not \"QUICK\"";
// a span list says "from 1 to 15".
QString notInList(const Option& option, const QString& value);

}  // namespace vx::options
