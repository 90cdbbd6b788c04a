#include "check/CommandLine.h"

#include <QTextStream>

#include <array>
#include <optional>
#include <span>
#include <string_view>

#include "check/ConnectionCheck.h"
#include "meter/Commands.h"

namespace vx::check {

namespace {

enum class Key { Check, Baud, Term, Help, Version };

struct Option {
    Key key;
    std::string_view name;
    std::string_view shortName;  // empty: none
    std::string_view value;      // name of the value in the usage text; empty for a switch
    std::string_view help;
};

constexpr std::array kOptions{
    Option{Key::Check, "--check", "", "COM",
           "identify the meter on COM port 1 to 15, take one reading, print both, exit"},
    Option{Key::Baud, "--baud", "", "RATE", "baud rate for --check (default 9600)"},
    Option{Key::Term, "--term", "", "CR|LF", "termination character for --check (default LF)"},
    Option{Key::Help, "--help", "-h", "", "print this help and exit"},
    Option{Key::Version, "--version", "-v", "", "print the version and exit"},
};

using meter::text;

const Option* findOption(const QString& name) {
    for (const Option& option : kOptions) {
        if (name == text(option.name) ||
            (!option.shortName.empty() && name == text(option.shortName))) {
            return &option;
        }
    }
    return nullptr;
}

// The option name of an argument: "--baud=9600" is "--baud".
QString nameOf(const QString& argument) {
    return argument.section(u'=', 0, 0);
}

// The index of `value` in `items`, or nothing.
std::optional<std::size_t> indexIn(std::span<const std::string_view> items, const QString& value) {
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (value == text(items[i])) {
            return i;
        }
    }
    return std::nullopt;
}

QString listed(std::span<const std::string_view> items) {
    QStringList names;
    for (const std::string_view item : items) {
        names << text(item);
    }
    return names.join(QStringLiteral(", "));
}

Request failure(const QString& error) {
    return {.action = Request::Action::Error, .check = {}, .error = error};
}

}  // namespace

bool isCommandLineRun(const QStringList& arguments) {
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (findOption(nameOf(arguments[i])) != nullptr) {
            return true;
        }
    }
    return false;
}

Request parseArguments(const QStringList& arguments) {
    Request request;
    request.action = Request::Action::Check;
    std::optional<QString> com;
    std::optional<QString> baud;
    std::optional<QString> term;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        const QString name = nameOf(argument);
        const Option* option = findOption(name);
        if (option == nullptr) {
            return failure(QStringLiteral("unknown option %1").arg(argument));
        }
        const bool inlineValue = argument.contains(u'=');
        QString value;
        if (!option->value.empty()) {
            if (inlineValue) {
                value = argument.section(u'=', 1);
            } else if (i + 1 < arguments.size()) {
                value = arguments[++i];
            } else {
                return failure(QStringLiteral("%1 needs a value").arg(name));
            }
        } else if (inlineValue) {
            return failure(QStringLiteral("%1 takes no value").arg(name));
        }
        switch (option->key) {
            case Key::Help:
                return {.action = Request::Action::Help, .check = {}, .error = {}};
            case Key::Version:
                return {.action = Request::Action::Version, .check = {}, .error = {}};
            case Key::Check:
                com = value;
                break;
            case Key::Baud:
                baud = value;
                break;
            case Key::Term:
                term = value;
                break;
        }
    }
    if (!com) {
        return failure(QStringLiteral("--baud and --term go with --check"));
    }

    CheckOptions& check = request.check;
    const auto comIndex = indexIn(meter::kComPortItems, *com);
    if (!comIndex) {
        return failure(
            QStringLiteral("--check: COM port must be from %1 to %2, not \"%3\"")
                .arg(text(meter::kComPortItems.front()), text(meter::kComPortItems.back()), *com));
    }
    check.com = com->toInt();
    const auto baudIndex = baud ? indexIn(meter::kBaudRateItems, *baud)
                                : std::optional<std::size_t>(meter::kBaudRateStart);
    if (!baudIndex) {
        return failure(QStringLiteral("--baud: baud rate must be one of %1, not \"%2\"")
                           .arg(listed(meter::kBaudRateItems), *baud));
    }
    check.baudText = text(meter::kBaudRateItems[*baudIndex]);
    check.baud = check.baudText.toInt();
    const auto termNames = meter::captions(meter::kTermChars);
    const auto termIndex =
        term ? indexIn(termNames, *term) : std::optional<std::size_t>(meter::kTermCharStart);
    if (!termIndex) {
        return failure(QStringLiteral("--term: termination character must be one of %1, not \"%2\"")
                           .arg(listed(termNames), *term));
    }
    check.terminatorName = text(meter::kTermChars[*termIndex].caption);
    check.terminator = text(meter::kTermChars[*termIndex].word);
    return request;
}

QString usageText() {
    QString usage = QStringLiteral(
        "usage: vxmeter [--check COM [--baud RATE] [--term CR|LF]] [--help] [--version]\n"
        "Without options, opens the window of the VX260 & VX480 Multimeter Software.\n");
    for (const Option& option : kOptions) {
        QString left = QStringLiteral("  ");
        if (!option.shortName.empty()) {
            left += text(option.shortName) + QStringLiteral(", ");
        }
        left += text(option.name);
        if (!option.value.empty()) {
            left += u' ' + text(option.value);
        }
        usage += left.leftJustified(24) + u' ' + text(option.help) + u'\n';
    }
    usage += QStringLiteral(
        "COM n is the device named by the environment variable VXMETER_COMn, else the n-th\n"
        "serial port of the system (USB and ACM adapters first).\n");
    return usage;
}

int run(const QStringList& arguments, link::PortOpener& opener, timing::Clock& clock,
        QTextStream& out, QTextStream& err) {
    const Request request = parseArguments(arguments);
    switch (request.action) {
        case Request::Action::Help:
            out << usageText();
            return 0;
        case Request::Action::Version:
            out << "vxmeter " << VX_VERSION << '\n';
            return 0;
        case Request::Action::Check:
            return checkConnection(request.check, opener, clock, out, err);
        case Request::Action::Error:
            break;
    }
    err << "vxmeter: " << request.error << '\n' << usageText();
    return 2;
}

}  // namespace vx::check
