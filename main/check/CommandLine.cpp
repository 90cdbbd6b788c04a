#include "check/CommandLine.h"

#include <QTextStream>

#include <array>
#include <string_view>

#include "check/ConnectionCheck.h"
#include "meter/Commands.h"
#include "options/Arguments.h"
#include "options/Help.h"
#include "options/Line.h"

namespace vx::check {

namespace {

using meter::text;
using options::Option;

constexpr std::array kOptions{
    Option{.name = "check",
           .value = "COM",
           .help = "identify the meter on COM port {choices}, take one reading, print both, exit",
           .list = {.words = meter::kComPortItems, .what = "COM port", .span = true}},
    Option{.name = "baud",
           .value = "RATE",
           .help = "baud rate for --check: {choices} (default {default})",
           .list = options::kBaudList},
    Option{.name = "term",
           .value = "{choices}",
           .help = "termination character for --check (default {default})",
           .list = options::kTermList},
    Option{.name = "help", .help = "print this help and exit", .shortName = "h"},
    Option{.name = "version", .help = "print the version and exit", .shortName = "v"},
};

// The row of an option; a name not in the table does not compile.
consteval options::Index at(std::string_view name) {
    return options::indexOf(kOptions, name);
}

constexpr std::array<std::string_view, 1> kForms{
    "[--check [--baud] [--term]] [--help] [--version]"};

Request failure(const QString& error) {
    return {.action = Request::Action::Error, .check = {}, .error = error};
}

}  // namespace

bool isCommandLineRun(const QStringList& arguments) {
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (options::named(kOptions, arguments[i], options::Dashes::Strict)) {
            return true;
        }
    }
    return false;
}

Request parseArguments(const QStringList& arguments) {
    const options::Arguments given(kOptions, arguments.mid(1), options::Dashes::Strict);
    if (!given.error().isEmpty()) {
        return failure(given.error());
    }
    if (!given.positional().isEmpty()) {
        return failure(QStringLiteral("unknown option %1").arg(given.positional().front()));
    }
    if (given.isSet(at("help"))) {
        return {.action = Request::Action::Help, .check = {}, .error = {}};
    }
    if (given.isSet(at("version"))) {
        return {.action = Request::Action::Version, .check = {}, .error = {}};
    }
    if (!given.isSet(at("check"))) {
        return failure(QStringLiteral("--baud and --term go with --check"));
    }
    if (const QString bad = given.badChoice(); !bad.isEmpty()) {
        return failure(bad);
    }
    const options::Line line = options::lineOf(given, at("baud"), at("term"));
    return {.action = Request::Action::Check,
            .check = {.com = text(meter::kComPortItems[*given.choice(at("check"))]).toInt(),
                      .baud = line.baud,
                      .baudText = line.baudText,
                      .terminator = line.terminator,
                      .terminatorName = line.terminatorName},
            .error = {}};
}

QString usageText() {
    return options::usage(kOptions, "vxmeter", kForms) +
           QStringLiteral(
               "Without options, opens the window of the VX260 & VX480 Multimeter Software.\n") +
           options::describe(kOptions) +
           options::wrapped(QStringLiteral("COM n is the device named by the environment "
                                           "variable VXMETER_COMn, else the n-th serial port of "
                                           "the system (USB and ACM adapters first)."),
                            QString(), 0);
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
