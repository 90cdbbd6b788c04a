#pragma once

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <vector>

// Where a run's readings go besides the terminal and the log file: the lab's
// broker, the live page. A run describes its channels once, then hands every
// reading (one record a reading, or one a row with several meters) to each
// sink as it is taken, and tells them when a meter is lost or back.
//
// Sinks live in modules (plugin/Plugin.h) and get only these plain values, so
// a module needs none of the run's own code. A sink never blocks the run: it
// queues, with bounds, and says what it had to drop.
namespace vx::feed {

// One column of the run: a meter's reading or a computed channel.
struct Channel {
    QString name{};      // the meter's name, "meter" for a single meter, or the computed name
    QString unit{};      // "V", "A", "Ohm", "Hz", "F", "C", "%"; empty when not known
    QString function{};  // "DC VOLTAGE", "AC CURRENT", ...; empty for computed channels
    int meter = -1;      // index into Run::meters; -1 for a computed channel
};

struct Meter {
    enum class State : std::uint8_t { Connecting, Connected, Lost, Reconnecting };
    QString name{};
    QString port{};      // as given: "COM1", "/dev/ttyUSB0", "tcp://host:4001"
    QString identity{};  // the answer to *IDN?, once known
    State state = State::Connecting;
    QString reason{};  // why it is lost, in plain words
};

struct Run {
    std::vector<Channel> channels{};
    std::vector<Meter> meters{};
    qint64 intervalNs = 0;
};

// One reading, or one row of several meters, in channel order.
struct Record {
    qint64 sequence = 0;             // 1, 2, ... within the run
    QDateTime when{};                // local time, with its offset
    std::vector<double> values{};    // NaN where a channel has no value
    std::vector<QString> texts{};    // the meter's own text; empty for computed channels
    std::vector<QString> missing{};  // why a channel has no value; empty when it has one
};

// What a sink can tell the run.
class Host {
public:
    virtual ~Host() = default;
    // A line for the operator, on standard error ("vxlog: " is added).
    virtual void message(const QString& text) = 0;
    // The sink cannot go on (refused credentials, a port already taken):
    // the run ends with `exitCode` and `text`.
    virtual void fatal(int exitCode, const QString& text) = 0;
};

class Sink {
public:
    virtual ~Sink() = default;
    // Once, before the first record. False, with `error`, ends the run before
    // it starts.
    virtual bool start(const Run& run, QString* error) = 0;
    virtual void record(const Record& record) = 0;
    virtual void meterChanged(int index, const Meter& meter) = 0;
    // The run ends: send what can still be sent within a short, bounded time.
    virtual void stop() = 0;
};

}  // namespace vx::feed
