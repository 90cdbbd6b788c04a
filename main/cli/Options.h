#pragma once

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

#include "serve/Access.h"
#include "publish/Config.h"

namespace vx::cli {

enum class Mode { Log, Send, ListPorts, Help, Version };
enum class Format { Text, Csv, Json, Influx };

// The measurement settings asked for, as positions in the window's lists.
struct Settings {
    std::optional<int> function;   // kFunctions
    std::optional<int> secondary;  // the function's secondary list
    bool secondaryOff = false;     // --secondary OFF, or a logging run without --secondary
    std::optional<int> range;      // the function's range list
    bool autoRange = false;        // --range AUTO
    std::optional<int> rate;       // kRates
    std::optional<int> display;    // kDisplayModes: 0 off, 1 on
};

// One meter of a bench run (--meter).
struct BenchMeter {
    QString name;
    QString port;
    qint32 baud = 9600;
    QString terminator = QStringLiteral("\n");
    Settings settings;
};

struct Options {
    Mode mode = Mode::Log;
    QString port;
    qint32 baud = 9600;
    QString terminator = QStringLiteral("\n");
    Settings settings;
    qint64 intervalNs = 1'000'000'000;
    std::optional<qint64> count;
    std::optional<qint64> durationNs;
    QString output;
    Format format = Format::Text;
    bool quiet = false;
    bool reconnect = false;
    QStringList sends;
    // With --meter: the meters read on one time base; port, line and
    // settings above are then unused.
    std::vector<BenchMeter> meters;
    QStringList calcs;   // --calc, in order
    QStringList limits;  // --limit
    bool stopOnLimit = false;
    QString onLimit;  // a command line, split into words
    // --serve: where the live page listens and its token.
    std::optional<serve::Config> serve;
    // --mqtt: every reading also goes to a broker, through a journal.
    std::optional<publish::Config> mqtt;
};

struct Parsed {
    Options options;
    QString error;      // empty when the command line was good
    QStringList notes;  // warnings that do not stop the run
};

// `arguments` without the program name.
Parsed parseOptions(const QStringList& arguments);

// The command lines, without terminator, that put the meter into
// `settings`: each the line the window sends for the same choice, in the
// order function, secondary display (off, or on and the secondary
// function), range, rate, front panel display.
QStringList settingLines(const Settings& settings);

// Column titles and units for the chosen function and secondary function;
// empty without them.
QString primaryHeader(const Settings& settings);
QString secondaryHeader(const Settings& settings);
QString primaryUnit(const Settings& settings);
// "DC VOLTAGE": the chosen function as the window's list names it; empty
// without one.
QString functionCaption(const Settings& settings);
QString secondaryUnit(const Settings& settings);

QString usageLine();
QString helpText();

}  // namespace vx::cli
