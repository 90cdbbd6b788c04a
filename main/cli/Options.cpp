#include "cli/Options.h"

#include <QFileInfo>
#include <QProcess>
#include <QSettings>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <span>
#include <string_view>
#include <vector>

#include "calc/Channels.h"
#include "meter/Commands.h"
#include "options/Arguments.h"
#include "options/Help.h"
#include "options/Line.h"
#include "options/Values.h"
#include "serve/Access.h"

namespace vx::cli {

namespace {

using meter::text;
using options::Index;
using options::Option;

constexpr double kNsPerSecond = 1e9;
constexpr qint64 kMostReadings = std::numeric_limits<qint64>::max();

constexpr auto kFunctionMnemonics = options::column<&meter::Function::mnemonic>(meter::kFunctions);
constexpr auto kRateCaptions = options::column<&meter::Choice::caption>(meter::kRates);
constexpr auto kDisplayWords = options::column<&meter::Choice::word>(meter::kDisplayModes);
// By Format.
constexpr std::array<std::string_view, 4> kFormatWords{"text", "csv", "json", "influx"};
// The secondary display off, under any function.
constexpr std::array<std::string_view, 1> kSecondaryOffWords{"OFF"};
// Automatic ranging, where the function offers a range type.
constexpr std::array kAutoRangeWords{meter::kRangeTypes[meter::kRangeTypeAuto].caption};

constexpr std::string_view kPortAndLine = "Port and line";
constexpr std::string_view kSettings =
    "Settings (each sends what the window sends for the same choice)";
constexpr std::string_view kLogging = "Logging";
constexpr std::string_view kOther = "Other";
constexpr std::string_view kLivePage = "Live page (in a browser, loaded only with --serve)";
constexpr std::string_view kPublishing = "Publishing (MQTT)";
// By publish::PayloadFormat.
constexpr std::array<std::string_view, 2> kPayloadWords{"json", "influx"};

constexpr std::array kOptions{
    Option{.name = "meter",
           .value = "NAME=PORT[,SETTING=VALUE...]",
           .help = "one meter of a bench, given once for each: NAME (letters, digits, _) heads "
                   "its column, PORT as --port, then any of baud, term, function, secondary, "
                   "range, rate, display, as their options take them (V=COM1,function=VOLT:DC); "
                   "every tick reads all meters at once",
           .section = kPortAndLine},
    Option{.name = "bench",
           .value = "FILE",
           .help = "the meters of a bench from an INI file: a [NAME] group for each meter with "
                   "port= and its settings as --meter takes them, columns in name order unless "
                   "[bench] meters=NAME,NAME... orders them",
           .section = kPortAndLine},
    Option{.name = "port",
           .value = "PORT",
           .help = "COM<n> or <n> (mapped as the window maps COM numbers, VXMETER_COM<n> "
                   "included), a device path, or tcp://HOST:PORT (a serial device server)",
           .section = kPortAndLine},
    Option{.name = "baud",
           .value = "RATE",
           .help = "{choices} (default {default})",
           .section = kPortAndLine,
           .list = options::kBaudList},
    Option{.name = "term",
           .value = "{choices}",
           .help = "termination character (default {default})",
           .section = kPortAndLine,
           .list = options::kTermList},
    Option{.name = "function",
           .value = "NAME",
           .help = "{choices}; case and blanks do not matter",
           .section = kSettings,
           .list = {.words = meter::kFunctionCaptions,
                    .aliases = kFunctionMnemonics,
                    .what = "function"}},
    Option{.name = "secondary",
           .value = "NAME",
           .help = "a secondary function of that function, which turns the secondary display "
                   "on, or {choices}, which turns it off (as a logging run without --secondary "
                   "does); see below",
           .section = kSettings,
           .list = {.words = kSecondaryOffWords, .open = true}},
    Option{.name = "range",
           .value = "NAME",
           .help = "a range of that function, or {choices} where it ranges by itself; see below",
           .section = kSettings,
           .list = {.words = kAutoRangeWords, .open = true}},
    Option{.name = "rate",
           .value = "NAME",
           .help = "{choices}",
           .section = kSettings,
           .list = {.words = kRateCaptions, .what = "rate"}},
    Option{.name = "display",
           .value = "{choices}",
           .help = "the meter's front panel display",
           .section = kSettings,
           .list = {.words = kDisplayWords, .what = "display"}},
    Option{.name = "interval",
           .value = "SECONDS",
           .help = "time between readings, {low} to {high} (default 1 s)",
           .section = kLogging,
           .limits = options::Limits{.low = 0.1, .high = 86'400.0}},
    Option{.name = "count", .value = "N", .help = "stop after N readings", .section = kLogging},
    Option{.name = "duration",
           .value = "TIME",
           .help = "stop after TIME, at most {high}: seconds, or numbers each with s, m, h or "
                   "d, added up (90, 15m, 1h30m, 1.5h, 2d12h)",
           .section = kLogging,
           .limits =
               options::Limits{
                   .low = 0.0, .high = 366.0 * 86'400.0, .quantity = options::Quantity::Duration}},
    Option{.name = "output",
           .value = "FILE",
           .help = "append to FILE in the window's log format (needs --function)",
           .section = kLogging},
    Option{.name = "format",
           .value = "{choices}",
           .help = "standard output: {choices} (json: one object a line; influx: InfluxDB line "
                   "protocol, also into --output; default {default})",
           .section = kLogging,
           .list = {.words = kFormatWords, .preset = 0, .what = "format"}},
    Option{.name = "quiet",
           .help = "nothing on standard output",
           .shortName = "q",
           .section = kLogging},
    Option{.name = "reconnect",
           .help = "when the meter is lost, retry every 5 s and carry on",
           .section = kLogging},
    Option{.name = "calc",
           .value = "NAME=EXPR",
           .help = "with --meter: a computed channel from the meters and earlier ones, with + - "
                   "* / ^, brackets, numbers, abs, sqrt, min, max and integral(x) over time in "
                   "seconds (P=V*I, E=integral(P)/3600); may be given several times",
           .section = kLogging},
    Option{.name = "limit",
           .value = "TEXT",
           .help = "with --meter: EXPR < <= > >= NUMBER [for TIME] (V<11.5, I>2.0 for 5s); a row "
                   "outside is marked (JSON \"limits\", a line on stderr when it is first "
                   "reached); may be given several times",
           .section = kLogging},
    Option{.name = "stop-on-limit",
           .help = "end the run, status 7, on the row where a limit is reached",
           .section = kLogging},
    Option{.name = "on-limit",
           .value = "COMMAND",
           .help = "run COMMAND (split into words at blanks, \"double quotes\" keep blanks; never "
                   "given to a shell) when a "
                   "limit is reached, with VXLOG_LIMIT, VXLOG_CHANNEL, VXLOG_VALUE and "
                   "VXLOG_TIME in its environment",
           .section = kLogging},
    // The live page.
    Option{.name = "serve",
           .value = "[ADDRESS:]PORT",
           .help = "serve a live page of the run and JSON (/api/status, /api/readings?since=N) on "
                   "PORT (0: any free one), on 127.0.0.1 unless ADDRESS is given (0.0.0.0: every "
                   "interface, which needs --serve-token); read-only",
           .section = kLivePage},
    Option{.name = "serve-token",
           .value = "FILE",
           .help = "every request must carry the token in FILE's first line (at least 16 letters, "
                   "digits, - _ . ~): http://HOST:PORT/?token=TOKEN, or the header "
                   "Authorization: Bearer TOKEN",
           .section = kLivePage},
    // Publishing: the broker module (publish/).
    Option{.name = "mqtt",
           .value = "URL",
           .help = "publish every reading with QoS 1 to the broker at mqtt://HOST[:PORT]/PREFIX "
                   "(or mqtts:// for TLS): PREFIX/readings, and PREFIX/status (retained online, "
                   "offline as the last will); readings wait in a journal while the broker is "
                   "away",
           .section = kPublishing},
    Option{.name = "mqtt-ca",
           .value = "FILE",
           .help = "with mqtts://: the certificate authority (PEM) that signed the broker's "
                   "certificate (default: the system's)",
           .section = kPublishing},
    Option{.name = "mqtt-auth",
           .value = "FILE",
           .help = "username=NAME and password=SECRET lines for the broker (else "
                   "VXLOG_MQTT_USERNAME and VXLOG_MQTT_PASSWORD; never on the command line)",
           .section = kPublishing},
    Option{.name = "mqtt-format",
           .value = "{choices}",
           .help = "the payload: JSON or InfluxDB line protocol (default {default})",
           .section = kPublishing,
           .list = {.words = kPayloadWords, .preset = 0, .what = "payload format"}},
    Option{.name = "mqtt-discovery",
           .help = "announce each channel to Home Assistant (retained homeassistant/sensor/... "
                   "config messages)",
           .section = kPublishing},
    Option{.name = "journal",
           .value = "FILE",
           .help = "the journal (default $XDG_STATE_HOME/vxlog/mqtt-HOST-PORT-PREFIX.journal)",
           .section = kPublishing},
    Option{.name = "journal-size",
           .value = "BYTES",
           .help = "the journal's largest size, with K, M or G (default 64M, at least 64K); when "
                   "full the oldest readings are dropped",
           .section = kPublishing},
    Option{.name = "journal-sync",
           .value = "SECONDS",
           .help = "force the journal to the disk at most this often, {low} to {high} (default "
                   "1; 0: every reading); readings go to the broker once on the disk",
           .section = kPublishing,
           .limits = options::Limits{.low = 0.0, .high = 60.0}},
    Option{.name = "send",
           .value = "COMMAND",
           .help = "send COMMAND and print its reply (commands with '?'); may be given several "
                   "times",
           .section = kOther},
    Option{
        .name = "list-ports", .help = "the device each COM number maps to now", .section = kOther},
    Option{.name = "help", .help = "this help", .shortName = "h", .section = kOther},
    Option{.name = "version", .help = "the version", .section = kOther},
};

// The row of an option; a name not in the table does not compile.
consteval options::Index at(std::string_view name) {
    return options::indexOf(kOptions, name);
}

constexpr std::array<std::string_view, 4> kForms{
    "--port [settings] [--interval] [--count | --duration] [--output] [--format] [--quiet] "
    "[--reconnect] [--serve [--serve-token]] [--mqtt ...]",
    "--meter --meter [--meter ...] [--interval] [--count | --duration] [--format] [--quiet] "
    "[--reconnect] [--serve [--serve-token]] [--mqtt ...]",
    "--port [settings] --send [--send ...]",
    "--list-ports | --help | --version",
};

std::optional<int> position(std::optional<std::size_t> index) {
    return index ? std::optional<int>(static_cast<int>(*index)) : std::nullopt;
}

QString name(Index option) {
    return QStringLiteral("--") + text(kOptions[option].name);
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

bool autoRangeOffered(const meter::Function& fn) {
    return fn.rebuild.rangeTypeControls == meter::Enable::On;
}

// What --secondary and --range take under a function: its own entries, then
// the words every function (or every function with a range type) takes.
std::vector<std::string_view> secondaryWords(const meter::Function& fn) {
    std::vector<std::string_view> words = meter::captions(fn.secondaries);
    words.insert(words.end(), kSecondaryOffWords.begin(), kSecondaryOffWords.end());
    return words;
}

std::vector<std::string_view> rangeWords(const meter::Function& fn) {
    std::vector<std::string_view> words = meter::captions(fn.ranges);
    if (autoRangeOffered(fn)) {
        words.insert(words.end(), kAutoRangeWords.begin(), kAutoRangeWords.end());
    }
    return words;
}

// "--range: \"750 V\" is not offered with DC VOLTAGE; one of 200 mV, ..."
QString notOffered(Index option, const QString& value, int function,
                   std::span<const std::string_view> words) {
    return QStringLiteral("%1: \"%2\" is not offered with %3; one of %4")
        .arg(name(option), value, functionName(function),
             options::listed({.words = words}, options::Blanks::Plain));
}

// The measurement settings; an error text naming the option, or empty.
QString parseSettings(const options::Arguments& given, Settings& s) {
    s.function = position(given.choice(at("function")));
    const auto needsFunction = [&](Index option) -> QString {
        return s.function ? QString()
                          : QStringLiteral("%1 needs --function: the choices depend on it")
                                .arg(name(option));
    };
    if (given.isSet(at("secondary")) && given.choice(at("secondary"))) {
        s.secondaryOff = true;
    } else if (given.isSet(at("secondary"))) {
        if (QString e = needsFunction(at("secondary")); !e.isEmpty()) {
            return e;
        }
        const QString v = given.value(at("secondary"));
        const auto& fn = functionAt(*s.function);
        if (fn.secondaries.empty()) {
            return QStringLiteral("--secondary: %1 has no secondary display, only %2")
                .arg(functionName(*s.function), text(kSecondaryOffWords.front()));
        }
        s.secondary = position(options::match(meter::captions(fn.secondaries), v));
        if (!s.secondary) {
            return notOffered(at("secondary"), v, *s.function, secondaryWords(fn));
        }
    }
    if (given.isSet(at("range"))) {
        if (QString e = needsFunction(at("range")); !e.isEmpty()) {
            return e;
        }
        const QString v = given.value(at("range"));
        const auto& fn = functionAt(*s.function);
        if (fn.rebuild.rangeList != meter::Refill::Replace) {
            return QStringLiteral("--range: %1 has no range to choose")
                .arg(functionName(*s.function));
        }
        s.autoRange = given.choice(at("range")) && autoRangeOffered(fn);
        s.range = position(options::match(meter::captions(fn.ranges), v));
        if (!s.autoRange && !s.range) {
            return notOffered(at("range"), v, *s.function, rangeWords(fn));
        }
    }
    if (given.isSet(at("rate"))) {
        if (QString e = needsFunction(at("rate")); !e.isEmpty()) {
            return e;
        }
        s.rate = position(given.choice(at("rate")));
    }
    s.display = position(given.choice(at("display")));
    return {};
}

// --serve and --serve-token; an error text naming the option, or empty.
QString parseServe(const options::Arguments& given, Options& o) {
    if (given.isSet(at("serve-token")) && !given.isSet(at("serve"))) {
        return QStringLiteral("--serve-token needs --serve");
    }
    if (!given.isSet(at("serve"))) {
        return {};
    }
    if (!o.sends.isEmpty()) {
        return QStringLiteral("--send cannot be combined with --serve");
    }
    const serve::Endpoint endpoint = serve::parseEndpoint(given.value(at("serve")));
    if (!endpoint.error.isEmpty()) {
        return endpoint.error;
    }
    serve::Config config;
    config.host = endpoint.host;
    config.port = endpoint.port;
    if (given.isSet(at("serve-token"))) {
        const serve::Token token = serve::readToken(given.value(at("serve-token")));
        if (!token.error.isEmpty()) {
            return token.error;
        }
        config.token = token.value;
    } else if (!serve::isLoopback(endpoint.host)) {
        return QStringLiteral(
                   "--serve %1 can be reached from other machines: give --serve-token FILE, "
                   "whose token every request must carry")
            .arg(given.value(at("serve")));
    }
    o.serve = config;
    return {};
}

// The logging and port options; an error text naming the option, or empty.
QString parseRun(const options::Arguments& given, Options& o) {
    o.port = given.value(at("port"));
    if (given.isSet(at("port")) && o.port.trimmed().isEmpty()) {
        return QStringLiteral("--port: empty port name");
    }
    const options::Line line = options::lineOf(given, at("baud"), at("term"));
    o.baud = line.baud;
    o.terminator = line.terminator;
    if (given.isSet(at("interval"))) {
        const QString v = given.value(at("interval"));
        const options::Real seconds = options::seconds(v, *kOptions[at("interval")].limits);
        if (seconds.fault == options::Fault::NotANumber) {
            return QStringLiteral("--interval: \"%1\" is not a number of seconds").arg(v);
        }
        if (seconds.fault != options::Fault::None) {
            return options::outOfLimits(kOptions[at("interval")], v, seconds.fault);
        }
        o.intervalNs = std::llround(seconds.value * kNsPerSecond);
    }
    if (given.isSet(at("count")) && given.isSet(at("duration"))) {
        return QStringLiteral("--count and --duration cannot both be given");
    }
    if (given.isSet(at("count"))) {
        const QString v = given.value(at("count"));
        const options::Whole n = options::wholeNumber(v, 1, kMostReadings);
        if (n.fault == options::Fault::NotANumber) {
            return QStringLiteral("--count: \"%1\" is not a whole number of readings").arg(v);
        }
        if (n.fault != options::Fault::None) {
            return options::outOfLimits(kOptions[at("count")].name, v, n.fault, QStringLiteral("1"),
                                        QString::number(kMostReadings));
        }
        o.count = n.value;
    }
    if (given.isSet(at("duration"))) {
        const QString v = given.value(at("duration"));
        const options::Real time = options::duration(v, *kOptions[at("duration")].limits);
        if (time.fault == options::Fault::NotANumber) {
            return QStringLiteral(
                       "--duration: \"%1\" is not a time: seconds, or numbers each with s, m, h "
                       "or d, such as 90, 15m, 1h30m or 1.5h")
                .arg(v);
        }
        if (time.fault != options::Fault::None) {
            return options::outOfLimits(kOptions[at("duration")], v, time.fault);
        }
        o.durationNs = std::llround(time.value * kNsPerSecond);
    }
    o.format = Format(*given.choice(at("format")));
    o.output = given.value(at("output"));
    if (given.isSet(at("output")) && o.output.isEmpty()) {
        return QStringLiteral("--output: empty file name");
    }
    if (!o.output.isEmpty() && o.meters.empty() && !o.settings.function &&
        o.format != Format::Influx) {
        return QStringLiteral("--output needs --function: the file's header names the function");
    }
    o.quiet = given.isSet(at("quiet"));
    o.reconnect = given.isSet(at("reconnect"));
    o.sends = given.values(at("send"));
    return parseServe(given, o);
}

// What a --meter may set of its own.
constexpr std::array kMeterKeys{at("baud"),  at("term"), at("function"), at("secondary"),
                                at("range"), at("rate"), at("display")};
// What a bench run cannot take beside --meter.
constexpr std::array kNotWithMeter{at("port"), at("send")};
// What only a bench run takes: its channels are named by the meters.
constexpr std::array kOnlyWithMeter{at("calc"), at("limit"), at("stop-on-limit"), at("on-limit")};
constexpr qsizetype kLongestMeterName = 32;

bool isMeterName(const QString& name) {
    if (name.isEmpty() || name.size() > kLongestMeterName || name.front().isDigit()) {
        return false;
    }
    return std::all_of(name.cbegin(), name.cend(), [](QChar c) {
        return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c.isDigit() || c == u'_';
    });
}

// The meters of a bench file as --meter texts; an error text, or empty.
QString readBenchFile(const QString& path, QStringList& meters) {
    if (!QFileInfo(path).isReadable() || !QFileInfo(path).isFile()) {
        return QStringLiteral("--bench: cannot read %1").arg(path);
    }
    QSettings file(path, QSettings::IniFormat);
    if (file.status() != QSettings::NoError) {
        return QStringLiteral("--bench: %1 is not an INI file").arg(path);
    }
    QStringList names = file.childGroups();
    names.removeAll(QStringLiteral("bench"));
    // A list value (an unquoted comma) is what was written, commas and all.
    const auto value = [&](const QString& key) {
        const QVariant v = file.value(key);
        return v.typeId() == QMetaType::QStringList ? v.toStringList().join(u',') : v.toString();
    };
    if (const QString order = value(QStringLiteral("bench/meters")); !order.isEmpty()) {
        names.clear();
        for (const QString& name : order.split(u',')) {
            names << name.trimmed();
        }
    }
    if (names.isEmpty()) {
        return QStringLiteral("--bench: %1 names no meter: give each a [NAME] group").arg(path);
    }
    for (const QString& name : names) {
        file.beginGroup(name);
        QString text = name + u'=' + value(QStringLiteral("port"));
        const QStringList keys = file.childKeys();
        file.endGroup();
        if (keys.isEmpty()) {
            return QStringLiteral("--bench: %1 has no [%2] group").arg(path, name);
        }
        for (const QString& key : keys) {
            if (key != QStringLiteral("port")) {
                text += u',' + key + u'=' + value(name + u'/' + key);
            }
        }
        meters << text;
    }
    return {};
}

// Several meters: each --meter read as the options of a one-meter run, so
// every setting is checked as its own option is.
QString parseBench(const options::Arguments& given, Options& o) {
    for (const Index option : kNotWithMeter) {
        if (given.isSet(option)) {
            return QStringLiteral("%1 cannot be combined with --meter").arg(name(option));
        }
    }
    for (const Index option : kMeterKeys) {
        if (given.isSet(option)) {
            return QStringLiteral("%1 goes inside --meter, as %2=VALUE after the port")
                .arg(name(option), text(kOptions[option].name));
        }
    }
    QStringList meterTexts;
    if (given.isSet(at("bench"))) {
        if (QString e = readBenchFile(given.value(at("bench")), meterTexts); !e.isEmpty()) {
            return e;
        }
    }
    meterTexts += given.values(at("meter"));
    for (const QString& value : meterTexts) {
        const QString meterName = value.section(u'=', 0, 0).trimmed();
        const QStringList fields = value.section(u'=', 1).split(u',');
        if (!value.contains(u'=') || !isMeterName(meterName)) {
            return QStringLiteral(
                       "--meter: \"%1\" does not start with a name (letters, digits "
                       "and _, at most %2, not a digit first) and =")
                .arg(value)
                .arg(kLongestMeterName);
        }
        for (const BenchMeter& earlier : o.meters) {
            if (earlier.name.compare(meterName, Qt::CaseInsensitive) == 0) {
                return QStringLiteral("--meter: the name %1 is given twice").arg(meterName);
            }
        }
        QStringList arguments{QStringLiteral("--port"), fields.front().trimmed()};
        for (const QString& field : fields.mid(1)) {
            const QString key = field.section(u'=', 0, 0).trimmed();
            const auto known =
                std::find_if(kMeterKeys.cbegin(), kMeterKeys.cend(),
                             [&](Index option) { return text(kOptions[option].name) == key; });
            if (!field.contains(u'=') || known == kMeterKeys.cend()) {
                return QStringLiteral(
                           "--meter %1: \"%2\" is not SETTING=VALUE with one of "
                           "baud, term, function, secondary, range, rate, display")
                    .arg(meterName, field);
            }
            arguments << name(*known) << field.section(u'=', 1).trimmed();
        }
        const Parsed one = parseOptions(arguments);
        if (!one.error.isEmpty()) {
            return QStringLiteral("--meter %1: %2").arg(meterName, one.error);
        }
        o.meters.push_back({.name = meterName,
                            .port = one.options.port,
                            .baud = one.options.baud,
                            .terminator = one.options.terminator,
                            .settings = one.options.settings});
    }
    if (QString e = parseRun(given, o); !e.isEmpty()) {
        return e;
    }
    QStringList names;
    for (const BenchMeter& m : o.meters) {
        names << m.name;
    }
    o.calcs = given.values(at("calc"));
    o.limits = given.values(at("limit"));
    o.stopOnLimit = given.isSet(at("stop-on-limit"));
    o.onLimit = given.value(at("on-limit"));
    if (given.isSet(at("on-limit")) && QProcess::splitCommand(o.onLimit).isEmpty()) {
        return QStringLiteral("--on-limit: empty command");
    }
    if (const QString e = calc::readChannels(names, o.calcs, o.limits).error; !e.isEmpty()) {
        return e;
    }
    for (const BenchMeter& m : o.meters) {
        if (!o.output.isEmpty() && !m.settings.function && o.format != Format::Influx) {
            return QStringLiteral(
                       "--output needs a function for every meter: the file's header "
                       "names it; meter %1 has none")
                .arg(m.name);
        }
    }
    return {};
}

// The secondary functions and ranges each function offers.
QString choicesByFunction() {
    QString out = QStringLiteral("\nSecondary functions and ranges of each function:\n");
    for (const meter::Function& fn : meter::kFunctions) {
        const std::vector<std::string_view> secondaries = secondaryWords(fn);
        const std::vector<std::string_view> ranges = rangeWords(fn);
        const auto listed = [](std::span<const std::string_view> words) {
            return words.empty() ? QStringLiteral("none")
                                 : options::listed({.words = words}, options::Blanks::Unbroken);
        };
        out += options::entry(
            QStringLiteral("  ") + text(fn.caption),
            QStringLiteral("secondary: %1; range: %2").arg(listed(secondaries), listed(ranges)));
    }
    return out;
}

// Publishing: --mqtt and the options that need it; an error text, or empty.
constexpr std::array kNeedMqtt{at("mqtt-ca"),        at("mqtt-auth"), at("mqtt-format"),
                               at("mqtt-discovery"), at("journal"),   at("journal-size"),
                               at("journal-sync")};
constexpr qint64 kSmallestJournal = qint64(64) << 10;
constexpr qint64 kLargestJournal = qint64(1) << 40;

QString parsePublish(const options::Arguments& given, Options& o, QStringList& notes) {
    if (!given.isSet(at("mqtt"))) {
        for (const Index option : kNeedMqtt) {
            if (given.isSet(option)) {
                return QStringLiteral("%1 needs --mqtt").arg(name(option));
            }
        }
        return {};
    }
    if (o.mode == Mode::Send) {
        return QStringLiteral("--send cannot be combined with --mqtt");
    }
    publish::Config c;
    if (QString e = publish::readUrl(given.value(at("mqtt")), c); !e.isEmpty()) {
        return e;
    }
    if (given.isSet(at("mqtt-ca"))) {
        c.caFile = given.value(at("mqtt-ca"));
        if (!c.tls) {
            return QStringLiteral("--mqtt-ca needs an mqtts:// broker");
        }
        if (!QFileInfo(c.caFile).isFile() || !QFileInfo(c.caFile).isReadable()) {
            return QStringLiteral("--mqtt-ca: cannot read %1").arg(c.caFile);
        }
    }
    if (given.isSet(at("mqtt-auth"))) {
        if (QString e = publish::readAuthFile(given.value(at("mqtt-auth")), c, &notes);
            !e.isEmpty()) {
            return e;
        }
    } else {
        c.username = qEnvironmentVariable(publish::kUserVariable);
        c.password = qEnvironmentVariable(publish::kPasswordVariable);
        if (c.username.isEmpty() && !c.password.isEmpty()) {
            return QStringLiteral("%1 is set but %2 is not")
                .arg(QLatin1String(publish::kPasswordVariable),
                     QLatin1String(publish::kUserVariable));
        }
    }
    c.format = publish::PayloadFormat(*given.choice(at("mqtt-format")));
    c.discovery = given.isSet(at("mqtt-discovery"));
    c.journal =
        given.isSet(at("journal")) ? given.value(at("journal")) : publish::defaultJournal(c);
    if (c.journal.isEmpty()) {
        return QStringLiteral("--journal: empty file name");
    }
    if (QFileInfo(c.journal).isDir()) {
        return QStringLiteral("--journal: %1 is a folder; name a file").arg(c.journal);
    }
    if (given.isSet(at("journal-size"))) {
        const QString v = given.value(at("journal-size"));
        c.journalBytes = publish::readSize(v);
        if (c.journalBytes < kSmallestJournal || c.journalBytes > kLargestJournal) {
            return QStringLiteral(
                       "--journal-size: \"%1\" is not a size from 64K to 1024G "
                       "(bytes, or a number with K, M or G)")
                .arg(v);
        }
    }
    if (given.isSet(at("journal-sync"))) {
        const QString v = given.value(at("journal-sync"));
        const options::Real seconds = options::seconds(v, *kOptions[at("journal-sync")].limits);
        if (seconds.fault == options::Fault::NotANumber) {
            return QStringLiteral("--journal-sync: \"%1\" is not a number of seconds").arg(v);
        }
        if (seconds.fault != options::Fault::None) {
            return options::outOfLimits(kOptions[at("journal-sync")], v, seconds.fault);
        }
        c.syncMs = int(std::lround(seconds.value * 1000.0));
    }
    o.mqtt = c;
    return {};
}
}  // namespace

Parsed parseOptions(const QStringList& arguments) {
    Parsed parsed;
    Options& o = parsed.options;
    const options::Arguments given(kOptions, arguments, options::Dashes::Either);
    if (!given.error().isEmpty()) {
        parsed.error = given.error();
        return parsed;
    }
    if (given.isSet(at("help"))) {
        o.mode = Mode::Help;
        return parsed;
    }
    if (given.isSet(at("version"))) {
        o.mode = Mode::Version;
        return parsed;
    }
    if (!given.positional().isEmpty()) {
        parsed.error = QStringLiteral("unexpected argument \"%1\"").arg(given.positional()[0]);
        return parsed;
    }
    if (given.isSet(at("list-ports"))) {
        o.mode = Mode::ListPorts;
        return parsed;
    }
    if (parsed.error = given.badChoice(); !parsed.error.isEmpty()) {
        return parsed;
    }
    if (given.isSet(at("meter")) || given.isSet(at("bench"))) {
        parsed.error = parseBench(given, o);
        if (parsed.error.isEmpty()) {
            parsed.error = parsePublish(given, o, parsed.notes);
        }
        return parsed;
    }
    for (const Index option : kOnlyWithMeter) {
        if (given.isSet(option)) {
            parsed.error = QStringLiteral(
                               "%1 needs --meter or --bench: its channels are named by "
                               "the meters")
                               .arg(name(option));
            return parsed;
        }
    }
    if (parsed.error = parseSettings(given, o.settings); !parsed.error.isEmpty()) {
        return parsed;
    }
    if (parsed.error = parseRun(given, o); !parsed.error.isEmpty()) {
        return parsed;
    }
    if (o.port.isEmpty()) {
        parsed.error = QStringLiteral("--port is missing");
        return parsed;
    }
    if (!o.sends.isEmpty()) {
        o.mode = Mode::Send;
        for (const Index option :
             {at("output"), at("count"), at("duration"), at("interval"), at("reconnect")}) {
            if (given.isSet(option)) {
                parsed.error =
                    QStringLiteral("--send cannot be combined with %1").arg(name(option));
                return parsed;
            }
        }
    }
    if (parsed.error = parsePublish(given, o, parsed.notes); !parsed.error.isEmpty()) {
        return parsed;
    }
    // A logging run states the secondary display: off unless one is named.
    if (o.mode == Mode::Log && !o.settings.secondary) {
        o.settings.secondaryOff = true;
    }
    return parsed;
}

QStringList settingLines(const Settings& s) {
    QStringList lines;
    const QString func = funcOf(s);
    if (s.function) {
        lines << meter::functionLine(func);
    }
    if (s.secondaryOff) {
        lines << meter::secondaryStateLine(false);
    } else if (const auto secondary = secondaryTextOf(s)) {
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

QString functionCaption(const Settings& s) {
    return s.function ? functionName(*s.function) : QString();
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
    return options::usage(kOptions, "vxlog", kForms);
}

QString helpText() {
    return usageLine() + u'\n' +
           options::wrapped(
               QStringLiteral(
                   "Logs a VX260 or VX480 multimeter without a window: identifies the meter "
                   "(*IDN?, shown on stderr), applies the settings given, then reads it with "
                   "FETC? on a fixed schedule from the start."),
               QString(), 0) +
           options::describe(kOptions) + choicesByFunction() + QStringLiteral(R"(
Signals: SIGINT and SIGTERM end the run with a summary, in every phase;
SIGHUP reopens the output file when it was moved away (log rotation).
Exit status: 0 done, 2 bad options, 3 port not opened, 4 no reply to *IDN?,
5 output file or journal not written (or --serve could not listen),
6 meter lost, 7 a limit reached (--stop-on-limit), 8 the broker refused
the connection or its certificate (--mqtt).
)");
}

}  // namespace vx::cli
