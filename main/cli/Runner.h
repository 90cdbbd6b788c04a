#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>

#include "cli/Options.h"
#include "log/DataLog.h"
#include "logread/Stats.h"

class QIODevice;

namespace vx::timing {
class Clock;
}
namespace vx::link {
class PortOpener;
class SerialLink;
}  // namespace vx::link

namespace vx::cli {

// Exit status of vxlog.
enum ExitCode : int {
    kExitOk = 0,
    kExitUsage = 2,
    kExitPort = 3,        // the port could not be opened
    kExitNoIdentity = 4,  // no reply to *IDN? (or to a --send query)
    kExitOutput = 5,      // the output file could not be opened or written
    kExitLost = 6,        // the meter stopped answering or the port went away
};

// The program's own waits; tests shorten them.
struct Timing {
    int replyTimeoutMs = 2000;  // *IDN?, each reading, each --send query
    int reconnectMs = 5000;     // between attempts with --reconnect
    int sendPauseMs = 200;      // after a --send command that draws no reply
};

// Where the program writes: readings to `out`, messages and the status line
// to `err`. The status line is drawn only when `errIsTerminal`.
struct Streams {
    QIODevice& out;
    QIODevice& err;
    bool errIsTerminal = false;
};

// One run of vxlog (--send or logging), driven by the event loop: replies
// arrive through readyRead, readings start from the clock's schedule, and
// nothing waits by spinning. finished() carries the exit status.
//
// The schedule: reading k is due at start + k * interval, measured on the
// steady clock from the first reading, so reply times never add up to a
// drift. A reading whose slot has passed while the previous one was still
// waiting for its reply is taken at once, and the slots before it are left
// out; there is never more than one query at the meter.
class Runner : public QObject {
    Q_OBJECT
public:
    Runner(Options options, link::PortOpener& opener, timing::Clock& clock, Streams streams,
           Timing timing = {}, QObject* parent = nullptr);
    ~Runner() override;

    void start();
    // SIGINT, SIGTERM: a reading still waiting for its reply is dropped
    // whole, the file is closed, the summary written.
    void stop();
    // SIGHUP: close the output file and open it again under its name (after
    // log rotation), starting it with a header block.
    void reopenOutput();

    bool isFinished() const { return phase_ == Phase::Done; }
    qint64 readings() const { return taken_; }

Q_SIGNALS:
    void finished(int exitCode);

private:
    enum class Phase { Idle, Identifying, Waiting, Reading, Sending, Reconnecting, Done };

    bool openPort();
    bool send(const QString& command);
    void ask(const QString& command, Phase phase);
    void onData();
    void onReply(const QString& reply);
    void onReplyTimeout();
    void onIdentified(const QString& identity);
    void nextSend();
    void takeReading();
    void scheduleNext();
    void record(const QString& reply);
    bool writeBlock();
    void lose(const QString& reason);
    void retry();
    void finish(int code);
    void message(const QString& text);
    bool print(const QString& line);
    void drawStatus();
    void clearStatus();
    QString portName() const;

    const Options options_;
    timing::Clock& clock_;
    Streams streams_;
    const Timing timing_;
    std::unique_ptr<link::PortOpener> pathOpener_;
    std::unique_ptr<link::SerialLink> link_;
    log::DataLog log_;
    QTimer replyTimer_;
    QTimer retryTimer_;
    Phase phase_ = Phase::Idle;
    QString collected_;
    QString pendingCommand_;
    bool identified_ = false;  // the first *IDN? has been answered
    bool readingsStarted_ = false;
    qint64 startNs_ = 0;
    qint64 slot_ = 0;
    qint64 taken_ = 0;
    quint64 generation_ = 0;  // scheduled calls of an earlier generation do nothing
    int sendIndex_ = 0;
    bool statusShown_ = false;
    logread::Stats stats_;
    QString lastPrimary_;
};

}  // namespace vx::cli
