#include "cli/Options.h"

#include <QCommandLineParser>
#include <QLocale>

#include <cmath>
#include <span>

#include "meter/Commands.h"

namespace vx::cli {

namespace {

using meter::text;

constexpr double kMinIntervalSeconds = 0.1;
constexpr double kMaxIntervalSeconds = 86'400.0;
constexpr double kNsPerSecond = 1e9;

// Captions match whatever their case and blanks: "dc voltage", "200mV".
QString folded(const QString& s) {
    QString out = s.toUpper();
    out.remove(QLatin1Char(' '));
    return out;
}

std::optional<int> indexOf(std::span<const std::string_view> items, const QString& value) {
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (folded(text(items[i])) == folded(value)) {
            return static_cast<int>(i);
        }
    }
    return std::nullopt;
}

QString listOf(std::span<const std::string_view> items) {
    QStringList names;
    for (std::string_view item : items) {
        names << text(item);
    }
    return names.join(QStringLiteral(", "));
}

std::optional<int> functionIndex(const QString& value) {
    for (std::size_t i = 0; i < meter::kFunctions.size(); ++i) {
        const auto& f = meter::kFunctions[i];
        if (folded(text(f.caption)) == folded(value) || folded(text(f.mnemonic)) == folded(value)) {
            return static_cast<int>(i);
        }
    }
    return std::nullopt;
}

std::optional<double> decimal(const QString& value) {
    bool ok = false;
    const double v = QLocale::c().toDouble(value.trimmed(), &ok);
    if (!ok || !std::isfinite(v)) {
        return std::nullopt;
    }
    return v;
}

// "90", "90s", "15m", "12h", "2d".
std::optional<qint64> durationNs(const QString& value) {
    constexpr std::array<std::pair<char, double>, 4> kUnits{
        {{'s', 1.0}, {'m', 60.0}, {'h', 3600.0}, {'d', 86'400.0}}};
    QString number = value.trimmed();
    double scale = 1.0;
    for (const auto& [suffix, seconds] : kUnits) {
        if (number.endsWith(QLatin1Char(suffix), Qt::CaseInsensitive)) {
            number.chop(1);
            scale = seconds;
            break;
        }
    }
    const std::optional<double> v = decimal(number);
    if (!v || *v <= 0.0 || *v * scale > 366.0 * 86'400.0) {
        return std::nullopt;
    }
    return std::llround(*v * scale * kNsPerSecond);
}

const meter::Function& functionAt(int function) {
    return meter::kFunctions[static_cast<std::size_t>(function)];
}

QString functionName(int function) {
    return text(functionAt(function).caption);
}

QString funcOf(const Settings& settings) {
    return settings.function ? text(functionAt(*settings.function).mnemonic) : QString();
}

std::optional<QString> secondaryTextOf(const Settings& settings) {
    if (!settings.function || !settings.secondary) {
        return std::nullopt;
    }
    return meter::secondaryText(funcOf(settings), *settings.secondary);
}

// The measurement settings; an error text naming the option, or empty.
QString parseSettings(const QCommandLineParser& p, Settings& s) {
    if (p.isSet(QStringLiteral("function"))) {
        const QString v = p.value(QStringLiteral("function"));
        s.function = functionIndex(v);
        if (!s.function) {
            return QStringLiteral("--function: unknown function \"%1\"; one of %2")
                .arg(v, listOf(meter::kFunctionCaptions));
        }
    }
    const auto needsFunction = [&](const QString& option) -> QString {
        return s.function
                   ? QString()
                   : QStringLiteral("--%1 needs --function: the choices depend on it").arg(option);
    };
    if (p.isSet(QStringLiteral("secondary"))) {
        if (QString e = needsFunction(QStringLiteral("secondary")); !e.isEmpty()) {
            return e;
        }
        const QString v = p.value(QStringLiteral("secondary"));
        const auto& fn = functionAt(*s.function);
        if (fn.secondaries.empty()) {
            return QStringLiteral("--secondary: %1 has no secondary display")
                .arg(functionName(*s.function));
        }
        const auto items = meter::captions(fn.secondaries);
        s.secondary = indexOf(items, v);
        if (!s.secondary) {
            return QStringLiteral("--secondary: \"%1\" is not offered with %2; one of %3")
                .arg(v, functionName(*s.function), listOf(items));
        }
    }
    if (p.isSet(QStringLiteral("range"))) {
        if (QString e = needsFunction(QStringLiteral("range")); !e.isEmpty()) {
            return e;
        }
        const QString v = p.value(QStringLiteral("range"));
        const auto& fn = functionAt(*s.function);
        if (fn.rebuild.rangeList != meter::Refill::Replace) {
            return QStringLiteral("--range: %1 has no range to choose")
                .arg(functionName(*s.function));
        }
        const bool autoOffered = fn.rebuild.rangeTypeControls == meter::Enable::On;
        if (autoOffered && folded(v) == QStringLiteral("AUTO")) {
            s.autoRange = true;
        } else {
            const auto items = meter::captions(fn.ranges);
            s.range = indexOf(items, v);
            if (!s.range) {
                return QStringLiteral("--range: \"%1\" is not a range of %2; one of %3%4")
                    .arg(v, functionName(*s.function), listOf(items),
                         autoOffered ? QStringLiteral(", AUTO") : QString());
            }
        }
    }
    if (p.isSet(QStringLiteral("rate"))) {
        if (QString e = needsFunction(QStringLiteral("rate")); !e.isEmpty()) {
            return e;
        }
        const QString v = p.value(QStringLiteral("rate"));
        const auto items = meter::captions(meter::kRates);
        s.rate = indexOf(items, v);
        if (!s.rate) {
            return QStringLiteral("--rate: unknown rate \"%1\"; one of %2").arg(v, listOf(items));
        }
    }
    if (p.isSet(QStringLiteral("display"))) {
        const QString v = p.value(QStringLiteral("display"));
        s.display = indexOf(meter::words(meter::kDisplayModes), v);
        if (!s.display) {
            return QStringLiteral("--display: \"%1\" is neither ON nor OFF").arg(v);
        }
    }
    return {};
}

// The logging and port options; an error text naming the option, or empty.
QString parseRun(const QCommandLineParser& p, Options& o) {
    o.port = p.value(QStringLiteral("port"));
    if (p.isSet(QStringLiteral("port")) && o.port.trimmed().isEmpty()) {
        return QStringLiteral("--port: empty port name");
    }
    if (p.isSet(QStringLiteral("baud"))) {
        const QString v = p.value(QStringLiteral("baud"));
        if (!indexOf(meter::kBaudRateItems, v)) {
            return QStringLiteral("--baud: %1 is not one of %2")
                .arg(v, listOf(meter::kBaudRateItems));
        }
        o.baud = v.trimmed().toInt();
    }
    if (p.isSet(QStringLiteral("term"))) {
        const QString v = p.value(QStringLiteral("term"));
        const std::optional<int> t = indexOf(meter::captions(meter::kTermChars), v);
        if (!t) {
            return QStringLiteral("--term: \"%1\" is neither CR nor LF").arg(v);
        }
        o.terminator = text(meter::kTermChars[static_cast<std::size_t>(*t)].word);
    }
    if (p.isSet(QStringLiteral("interval"))) {
        const QString v = p.value(QStringLiteral("interval"));
        const std::optional<double> seconds = decimal(v);
        if (!seconds) {
            return QStringLiteral("--interval: \"%1\" is not a number of seconds").arg(v);
        }
        if (*seconds < kMinIntervalSeconds || *seconds > kMaxIntervalSeconds) {
            return QStringLiteral("--interval: %1 s is outside 0.1 to 86400 s").arg(v);
        }
        o.intervalNs = std::llround(*seconds * kNsPerSecond);
    }
    if (p.isSet(QStringLiteral("count")) && p.isSet(QStringLiteral("duration"))) {
        return QStringLiteral("--count and --duration cannot both be given");
    }
    if (p.isSet(QStringLiteral("count"))) {
        const QString v = p.value(QStringLiteral("count"));
        bool ok = false;
        const qint64 n = v.trimmed().toLongLong(&ok);
        if (!ok || n < 1) {
            return QStringLiteral("--count: \"%1\" is not a number of readings from 1 up").arg(v);
        }
        o.count = n;
    }
    if (p.isSet(QStringLiteral("duration"))) {
        const QString v = p.value(QStringLiteral("duration"));
        o.durationNs = durationNs(v);
        if (!o.durationNs) {
            return QStringLiteral(
                       "--duration: \"%1\" is not a time such as 90, 90s, 15m, 12h or 2d")
                .arg(v);
        }
    }
    if (p.isSet(QStringLiteral("format"))) {
        const QString v = p.value(QStringLiteral("format")).toLower();
        if (v == QStringLiteral("text")) {
            o.format = Format::Text;
        } else if (v == QStringLiteral("csv")) {
            o.format = Format::Csv;
        } else if (v == QStringLiteral("json")) {
            o.format = Format::Json;
        } else {
            return QStringLiteral("--format: \"%1\" is not one of text, csv, json")
                .arg(p.value(QStringLiteral("format")));
        }
    }
    o.output = p.value(QStringLiteral("output"));
    if (p.isSet(QStringLiteral("output")) && o.output.isEmpty()) {
        return QStringLiteral("--output: empty file name");
    }
    if (!o.output.isEmpty() && !o.settings.function) {
        return QStringLiteral("--output needs --function: the file's header names the function");
    }
    o.quiet = p.isSet(QStringLiteral("quiet"));
    o.reconnect = p.isSet(QStringLiteral("reconnect"));
    o.sends = p.values(QStringLiteral("send"));
    return {};
}

}  // namespace

Parsed parseOptions(const QStringList& arguments) {
    Parsed parsed;
    Options& o = parsed.options;
    QCommandLineParser p;
    p.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const auto valued = [&](const char* name, const char* valueName) {
        p.addOption(QCommandLineOption(QString::fromLatin1(name), QString(),
                                       QString::fromLatin1(valueName)));
    };
    const auto flag = [&](QStringList names) { p.addOption(QCommandLineOption(names)); };
    for (const char* name :
         {"port", "baud", "term", "function", "secondary", "range", "rate", "display", "interval",
          "count", "duration", "output", "format", "send"}) {
        valued(name, "value");
    }
    flag({QStringLiteral("quiet"), QStringLiteral("q")});
    flag({QStringLiteral("reconnect")});
    flag({QStringLiteral("list-ports")});
    flag({QStringLiteral("help"), QStringLiteral("h")});
    flag({QStringLiteral("version")});
    if (!p.parse(QStringList{QStringLiteral("vxlog")} + arguments)) {
        parsed.error = p.errorText();
        return parsed;
    }
    if (p.isSet(QStringLiteral("help"))) {
        o.mode = Mode::Help;
        return parsed;
    }
    if (p.isSet(QStringLiteral("version"))) {
        o.mode = Mode::Version;
        return parsed;
    }
    if (!p.positionalArguments().isEmpty()) {
        parsed.error = QStringLiteral("unexpected argument \"%1\"").arg(p.positionalArguments()[0]);
        return parsed;
    }
    if (p.isSet(QStringLiteral("list-ports"))) {
        o.mode = Mode::ListPorts;
        return parsed;
    }
    if (parsed.error = parseSettings(p, o.settings); !parsed.error.isEmpty()) {
        return parsed;
    }
    if (parsed.error = parseRun(p, o); !parsed.error.isEmpty()) {
        return parsed;
    }
    if (o.port.isEmpty()) {
        parsed.error = QStringLiteral("--port is missing");
        return parsed;
    }
    if (!o.sends.isEmpty()) {
        o.mode = Mode::Send;
        for (const char* name : {"output", "count", "duration", "interval", "reconnect"}) {
            if (p.isSet(QString::fromLatin1(name))) {
                parsed.error = QStringLiteral("--send cannot be combined with --%1")
                                   .arg(QString::fromLatin1(name));
                return parsed;
            }
        }
    }
    return parsed;
}

std::optional<int> comNumber(const QString& port) {
    QString digits = port.trimmed();
    if (digits.startsWith(QStringLiteral("COM"), Qt::CaseInsensitive)) {
        digits = digits.mid(3);
    }
    bool ok = false;
    const int n = digits.toInt(&ok);
    if (!ok || n < 1 || digits.isEmpty() || !digits.front().isDigit()) {
        return std::nullopt;
    }
    return n;
}

QStringList settingLines(const Settings& s) {
    QStringList lines;
    const QString func = funcOf(s);
    if (s.function) {
        lines << meter::functionLine(func);
    }
    if (const auto secondary = secondaryTextOf(s)) {
        lines << meter::secondaryStateLine(true) << meter::secondaryLine(*secondary);
    }
    if (s.function) {
        const auto& fn = functionAt(*s.function);
        // With a range type list, a fixed range is chosen as the window
        // does: MANUAL first, then the range.
        if (s.autoRange) {
            lines << meter::rangeTypeLine(func, meter::kRangeTypeAuto);
        } else if (s.range) {
            if (fn.rebuild.rangeTypeControls == meter::Enable::On) {
                lines << meter::rangeTypeLine(func, meter::kRangeTypeManual);
            }
            if (const auto line = meter::rangeLine(func, *s.range)) {
                lines << *line;
            }
        }
        if (s.rate) {
            lines << meter::rateLine(func, *s.rate);
        }
    }
    if (s.display) {
        lines << meter::displayLine(*s.display);
    }
    return lines;
}

QString primaryHeader(const Settings& s) {
    return meter::primaryHeader(funcOf(s)).value_or(QString());
}

QString primaryUnit(const Settings& s) {
    return s.function ? text(functionAt(*s.function).unit) : QString();
}

QString secondaryHeader(const Settings& s) {
    const auto secondary = secondaryTextOf(s);
    const meter::SecondaryUnit* row = secondary ? meter::secondaryUnit(*secondary) : nullptr;
    return row ? text(row->header) : QString();
}

QString secondaryUnit(const Settings& s) {
    const auto secondary = secondaryTextOf(s);
    const meter::SecondaryUnit* row = secondary ? meter::secondaryUnit(*secondary) : nullptr;
    return row ? text(row->unit) : QString();
}

QString usageLine() {
    return QStringLiteral(
        "usage: vxlog --port PORT [settings] [--interval S] [--count N | --duration TIME] "
        "[--output FILE] [--format text|csv|json] [--quiet] [--reconnect]\n"
        "       vxlog --port PORT [settings] --send COMMAND [--send COMMAND ...]\n"
        "       vxlog --list-ports | --help | --version\n");
}

QString helpText() {
    return usageLine() + QStringLiteral(R"(
Logs a VX260 or VX480 multimeter without a window: identifies the meter
(*IDN?, shown on stderr), applies the settings given, then reads it with
FETC? on a fixed schedule from the start.

Port and line:
  --port PORT         COM<n> or <n> (mapped as the window maps COM numbers,
                      VXMETER_COM<n> included), a device path, or
                      tcp://HOST:PORT (a serial device server)
  --baud RATE         600 1200 2400 4800 9600 19200 38400 (default 9600)
  --term CR|LF        termination character (default LF)

Settings (each sends what the window sends for the same choice):
  --function NAME     CONTINUITY, DIODE, FREQUENCY, PERIOD, 2W RESISTANCE,
                      AC CURRENT, DC CURRENT, AC VOLTAGE, DC VOLTAGE, or the
                      mnemonic (VOLT:DC); case does not matter
  --secondary NAME    a secondary function of that function; turns the
                      secondary display on
  --range NAME        a range of that function ("200 mV", "2 kohm") or AUTO
  --rate NAME         SLOW, MEDIUM or FAST
  --display ON|OFF    the meter's front panel display

Logging:
  --interval SECONDS  time between readings, at least 0.1 (default 1)
  --count N           stop after N readings
  --duration TIME     stop after TIME: 90, 90s, 15m, 12h, 2d
  --output FILE       append to FILE in the window's log format
  --format FORMAT     standard output as text, csv or json (one object a line)
  --quiet, -q         nothing on standard output
  --reconnect         when the meter is lost, retry every 5 s and carry on

Other:
  --send COMMAND      send COMMAND and print its reply (commands with '?');
                      may be given several times
  --list-ports        the device each COM number maps to now
  --help, --version

Signals: SIGINT and SIGTERM end the run with a summary; SIGHUP reopens the
output file (for log rotation).
Exit status: 0 done, 2 bad options, 3 port not opened, 4 no reply to *IDN?,
5 output file not written, 6 meter lost.
)");
}

}  // namespace vx::cli
