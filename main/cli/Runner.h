#pragma once

#include <QJsonArray>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

#include "cli/Options.h"
#include "cli/Output.h"
#include "feed/Feed.h"
#include "logread/Stats.h"

class QIODevice;

namespace vx::link {
class PortOpener;
}
namespace vx::session {
class Session;
struct Fault;
}  // namespace vx::session
namespace vx::calc {
class Evaluator;
}
namespace vx::bench {
class Bench;
struct Row;
}  // namespace vx::bench
namespace vx::timing {
class Clock;
}

namespace vx::cli {

// Exit status of vxlog.
enum ExitCode : int {
    kExitOk = 0,
    kExitUsage = 2,
    kExitPort = 3,                         // the port could not be opened
    kExitNoIdentity = 4,                   // no reply to *IDN? (or to a --send query)
    kExitOutput = 5,                       // the output file could not be opened or written
    kExitLost = 6,                         // the meter stopped answering or the port went away
    kExitLimit = 7,                        // a limit was reached with --stop-on-limit
    kExitRefused = publish::kExitRefused,  // the broker refused the connection (--mqtt)
};
static_assert(publish::kExitJournal == kExitOutput, "the journal fails as the output file does");

// The program's own waits; tests shorten them.
struct Timing {
    int replyTimeoutMs = 2000;  // *IDN?, each reading, each --send query
    int reconnectMs = 5000;     // between attempts with --reconnect
    int sendPauseMs = 200;      // after a --send command that draws no reply
    int settleMs = 50;          // after opening, before the first command
};

// Where the program writes: readings to `out`, messages and the status line
// to `err`. The status line is drawn only when `errIsTerminal`, cut to
// `columns()` characters when that is given.
struct Streams {
    QIODevice& out;
    QIODevice& err;
    bool errIsTerminal = false;
    std::function<int()> columns;
    // True once SIGINT or SIGTERM has come: a write blocked on a FIFO or a
    // pipe gives up instead of waiting on.
    std::function<bool()> stopping;
};

// One run of vxlog (--send or logging), driven by the event loop: replies
// arrive from the session, readings start from the clock's schedule, and
// nothing waits by spinning. finished() carries the exit status.
//
// The schedule: reading k is due at start + k * interval, measured on the
// steady clock from the first reading, so reply times never add up to a
// drift. A reading whose slot has passed while the previous one was still
// waiting for its reply is taken at once, and the slots before it are left
// out; there is never more than one query at the meter.
class Runner : public QObject, public feed::Host {
    Q_OBJECT
public:
    Runner(Options options, link::PortOpener& opener, timing::Clock& clock, Streams streams,
           Timing timing = {}, QObject* parent = nullptr);
    ~Runner() override;

    // Hands every reading to `sink` as well (the broker, the live page);
    // before start().
    void addSink(std::unique_ptr<feed::Sink> sink);
    void start();
    // SIGINT, SIGTERM: a reading still waiting for its reply is dropped
    // whole, the file is closed, the summary written.
    void stop();
    // SIGHUP: when the output file was moved away (log rotation), open it
    // again under its name and start it with a header block.
    void reopenOutput();

    bool isFinished() const { return phase_ == Phase::Done; }

    // feed::Host
    void message(const QString& text) override;
    void fatal(int exitCode, const QString& text) override;
    qint64 readings() const { return taken_; }

Q_SIGNALS:
    void finished(int exitCode);

private:
    enum class Phase { Idle, Identifying, Waiting, Reading, Sending, Reconnecting, Done };

    bool openPort();
    bool sendSettings();
    void ask(const QString& command, Phase phase);
    void onReply(const QString& reply);
    void onFailed(const session::Fault& fault);
    void onIdentified(const QString& identity);
    void startReadings();
    void nextSend();
    void takeReading();
    void scheduleNext();
    void record(const QString& reply);
    QString formatted(const QString& reply, const QDateTime& when) const;
    // Opens the output file; `verb` says how in the message when it fails.
    bool openFile(const QString& verb);
    bool fileOk(OutputFile::Status status, const QString& failure);
    bool writeBlock();
    bool writeFile(const QString& line);
    void lose(const QString& reason);
    void waitForMeter(const QString& reason);
    void retry();
    void finish(int code);
    // Several meters (--meter): RunnerBench.cpp.
    void startBench();
    void onBenchIdentified(int index, const QString& identity);
    void onBenchFailed(int index, const session::Fault& fault);
    void onRow(const bench::Row& row);
    void retryMeter(int index);
    QJsonArray checkLimits(const bench::Row& row);
    void runOnLimit(const QString& limit, double value, const QDateTime& when);
    QString benchHeader() const;
    QString benchFileHeader() const;
    QString benchSummary() const;
    QString benchStatus() const;
    QString singleStatus() const;
    // The sinks (Feeds.cpp).
    bool startFeeds();
    void describeRun();
    feed::Record makeRecord(const QDateTime& when, std::vector<double> values,
                            std::vector<QString> texts, std::vector<QString> missing) const;
    void feedRecord(const feed::Record& record);
    QString influxText(const feed::Record& record) const;
    void feedMeter(int index, feed::Meter::State state, const QString& identity,
                   const QString& reason = {});
    void stopFeeds();

    bool print(const QString& line);
    void drawStatus();
    void clearStatus();

    const Options options_;
    timing::Clock& clock_;
    Streams streams_;
    const Timing timing_;
    std::unique_ptr<session::Session> session_;  // one meter
    std::unique_ptr<bench::Bench> bench_;        // several
    std::vector<logread::Stats> meterStats_;
    std::vector<bool> meterKnown_;  // identified at least once
    std::unique_ptr<calc::Evaluator> evaluator_;
    std::vector<double> meterValues_;
    std::vector<bool> limitShown_;  // reached, and told
    OutputFile file_;
    QTimer retryTimer_;
    Phase phase_ = Phase::Idle;
    bool identified_ = false;  // the first *IDN? has been answered
    bool waitTold_ = false;    // the operator knows vxlog waits for the meter
    bool readingsStarted_ = false;
    qint64 startNs_ = 0;
    qint64 slot_ = 0;
    qint64 taken_ = 0;
    quint64 generation_ = 0;  // scheduled calls of an earlier generation do nothing
    int sendIndex_ = 0;
    bool statusShown_ = false;
    logread::Stats stats_;
    QString lastPrimary_;
    std::vector<std::unique_ptr<feed::Sink>> sinks_;
    feed::Run feedRun_;
};

// Loads the broker module and adds its sink to `runner`: every reading then
// also goes to the broker `config` names. False, with `error`, when the
// module cannot be loaded.
bool addPublisher(Runner& runner, const publish::Config& config, QString* error);

}  // namespace vx::cli
