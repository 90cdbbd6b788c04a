#include "cli/Runner.h"

#include <QIODevice>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QTimer>

#include <algorithm>

#include "bench/Bench.h"
#include "calc/Channels.h"
#include "cli/Text.h"
#include "link/Errors.h"
#include "link/Framing.h"
#include "log/DataLog.h"
#include "meter/Reading.h"
#include "session/Session.h"
#include "timing/Clock.h"
#include "trend/TrendData.h"

namespace vx::cli {

namespace {

const QString kIdentify = QStringLiteral("*IDN?");
const QString kFetch = QStringLiteral("FETC?");

}  // namespace

Runner::Runner(Options options, link::PortOpener& opener, timing::Clock& clock, Streams streams,
               Timing timing, QObject* parent)
    : QObject(parent),
      options_(std::move(options)),
      clock_(clock),
      streams_(std::move(streams)),
      timing_(timing),
      file_(streams_.stopping) {
    const session::Timing sessionTiming{.replyMs = timing_.replyTimeoutMs,
                                        .settleMs = timing_.settleMs,
                                        .connectLimit = link::kConnectLimit};
    if (!options_.meters.empty()) {
        std::vector<bench::Meter> meters;
        for (const BenchMeter& m : options_.meters) {
            meters.push_back(
                {.name = m.name,
                 .line = {.device = m.port, .baud = m.baud, .terminator = m.terminator},
                 .settings = settingLines(m.settings)});
        }
        bench_ =
            std::make_unique<bench::Bench>(opener, clock_, std::move(meters), sessionTiming, this);
        connect(bench_.get(), &bench::Bench::identified, this, &Runner::onBenchIdentified);
        connect(bench_.get(), &bench::Bench::failed, this, &Runner::onBenchFailed);
        connect(bench_.get(), &bench::Bench::row, this, &Runner::onRow);
        meterStats_.resize(options_.meters.size());
        QStringList names;
        for (const BenchMeter& m : options_.meters) {
            names << m.name;
        }
        // The texts were read when the options were; they read again alike.
        evaluator_ = std::make_unique<calc::Evaluator>(
            calc::readChannels(names, options_.calcs, options_.limits).channels);
        meterKnown_.resize(options_.meters.size());
    } else {
        session_ = std::make_unique<session::Session>(
            opener, clock_,
            session::Line{
                .device = options_.port, .baud = options_.baud, .terminator = options_.terminator},
            sessionTiming, this);
        connect(session_.get(), &session::Session::replied, this, &Runner::onReply);
        connect(session_.get(), &session::Session::failed, this, &Runner::onFailed);
    }
    retryTimer_.setSingleShot(true);
    connect(&retryTimer_, &QTimer::timeout, this, &Runner::retry);
}

Runner::~Runner() = default;

void Runner::start() {
    if (options_.mode == Mode::Send) {
        for (const QString& command : options_.sends) {
            if (const auto c = link::framing::firstBeyondLatin1(command)) {
                message(QStringLiteral("--send \"%1\" holds %2, which a command line cannot carry "
                                       "(one byte a character); nothing was sent")
                            .arg(command, QString::fromUcs4(&*c, 1)));
                finish(kExitUsage);
                return;
            }
        }
    }
    if (options_.mode == Mode::Log && !options_.output.isEmpty() &&
        !openFile(QStringLiteral("open"))) {
        return;
    }
    if (options_.mode == Mode::Log && !startFeeds()) {
        return;
    }
    if (bench_) {
        startBench();
        return;
    }
    const session::Fault fault = session_->open(
        [this] { return phase_ == Phase::Done || (streams_.stopping && streams_.stopping()); });
    if (phase_ == Phase::Done) {
        return;
    }
    if (!fault.ok()) {
        // Waiting mends a meter that is off or a port not plugged in yet,
        // never a device text that cannot name one.
        const bool misnamed =
            fault.error == link::kBadNetworkAddress || fault.error == link::kComNotNamed;
        if (options_.reconnect && options_.mode == Mode::Log && !misnamed) {
            waitForMeter(fault.reason);
            return;
        }
        message(QStringLiteral("cannot open %1: %2").arg(session_->portName(), fault.reason));
        finish(fault.failure == session::Failure::NotOpened ? kExitPort : kExitLost);
        return;
    }
    if (options_.mode == Mode::Send) {
        if (sendSettings()) {
            nextSend();
        }
        return;
    }
    ask(kIdentify, Phase::Identifying);
}

bool Runner::sendSettings() {
    for (const QString& line : settingLines(options_.settings)) {
        if (const session::Fault fault = session_->send(line); !fault.ok()) {
            lose(fault.reason);
            return false;
        }
    }
    return true;
}

void Runner::ask(const QString& command, Phase phase) {
    phase_ = phase;
    const session::Expect expect = phase == Phase::Identifying ? session::Expect::Identity
                                   : phase == Phase::Reading   ? session::Expect::Reading
                                                               : session::Expect::Any;
    if (const session::Fault fault = session_->ask(command, expect); !fault.ok()) {
        onFailed(fault);
    }
}

void Runner::onReply(const QString& reply) {
    switch (phase_) {
        case Phase::Identifying:
            onIdentified(session_->identity());
            break;
        case Phase::Reading:
            record(reply);
            if (phase_ == Phase::Reading) {
                scheduleNext();
            }
            break;
        case Phase::Sending:
            if (!print(visible(reply))) {
                finish(kExitOk);
                return;
            }
            nextSend();
            break;
        default:
            break;
    }
}

void Runner::onFailed(const session::Fault& fault) {
    switch (phase_) {
        case Phase::Identifying:
            if (identified_ || options_.reconnect) {
                // No meter behind the port yet, or not again: try later.
                if (!identified_ && !waitTold_) {
                    waitForMeter(fault.reason);
                    return;
                }
                phase_ = Phase::Reconnecting;
                retryTimer_.start(timing_.reconnectMs);
                return;
            }
            if (fault.failure == session::Failure::NoReply) {
                message(QStringLiteral("%1 on %2: is the meter on, and are the baud rate and "
                                       "terminator the meter's?")
                            .arg(fault.reason, session_->portName()));
            } else {
                message(QStringLiteral("the meter on %1 did not identify itself: %2")
                            .arg(session_->portName(), fault.reason));
            }
            finish(kExitNoIdentity);
            break;
        case Phase::Sending:
            message(fault.reason);
            finish(fault.failure == session::Failure::NoReply ? kExitNoIdentity : kExitLost);
            break;
        case Phase::Reading:
        case Phase::Waiting:
            lose(fault.reason);
            break;
        default:
            break;
    }
}

void Runner::onIdentified(const QString& identity) {
    const bool again = identified_;
    identified_ = true;
    feedMeter(0, feed::Meter::State::Connected, identity);
    // Joined, not arg(): a placeholder costs Qt's Unicode tables in memory.
    message(again ? QStringLiteral("the meter answers again: ") + identity +
                        QStringLiteral("; carrying on")
                  : QStringLiteral("meter: ") + identity);
    if (!sendSettings()) {
        return;
    }
    if (again && readingsStarted_) {
        scheduleNext();
        return;
    }
    startReadings();
}

void Runner::startReadings() {
    if (file_.isOpen() && !writeBlock()) {
        return;
    }
    if (!options_.quiet && options_.format == Format::Csv) {
        QString header = QStringLiteral("time,primary,primary_unit");
        if (bench_) {
            header = benchHeader();
        } else if (options_.settings.secondary) {
            header += QStringLiteral(",secondary,secondary_unit");
        }
        if (!print(header)) {
            finish(kExitOk);
            return;
        }
    }
    readingsStarted_ = true;
    startNs_ = clock_.elapsedNs();
    slot_ = 0;
    takeReading();
}

void Runner::nextSend() {
    if (sendIndex_ >= options_.sends.size()) {
        finish(kExitOk);
        return;
    }
    const QString command = options_.sends[sendIndex_++];
    if (command.contains(QLatin1Char('?'))) {
        ask(command, Phase::Sending);
        return;
    }
    // No reply comes; a short pause lets the meter take the command before
    // the next one or before the port closes.
    phase_ = Phase::Waiting;
    if (const session::Fault fault = session_->send(command); !fault.ok()) {
        message(fault.reason);
        finish(kExitLost);
        return;
    }
    const quint64 generation = generation_;
    QTimer::singleShot(timing_.sendPauseMs, this, [this, generation] {
        if (generation == generation_) {
            nextSend();
        }
    });
}

void Runner::takeReading() {
    if (bench_) {
        phase_ = Phase::Reading;
        bench_->tick();
        return;
    }
    ask(kFetch, Phase::Reading);
}

void Runner::scheduleNext() {
    if (options_.count && taken_ >= *options_.count) {
        finish(kExitOk);
        return;
    }
    const qint64 interval = options_.intervalNs;
    const qint64 now = clock_.elapsedNs() - startNs_;
    slot_ = std::max(slot_ + 1, now / interval);
    const qint64 due = slot_ * interval;
    if (options_.durationNs && due >= *options_.durationNs) {
        finish(kExitOk);
        return;
    }
    phase_ = Phase::Waiting;
    const quint64 generation = generation_;
    clock_.callAt(startNs_ + due, this, [this, generation] {
        if (generation == generation_ && phase_ == Phase::Waiting) {
            takeReading();
        }
    });
}

QString Runner::formatted(const QString& reply, const QDateTime& when) const {
    const bool secondaryOn = options_.settings.secondary.has_value();
    const meter::Reading reading = meter::splitReply(reply, secondaryOn);
    const QString primary = visible(reading.primary);
    const QString secondary = visible(reading.secondary.value_or(QString()));
    const QString unit = primaryUnit(options_.settings);
    const QString unit2 = secondaryUnit(options_.settings);
    switch (options_.format) {
        case Format::Text: {
            QString line = log::logTimeStamp(when) + QStringLiteral("  ") + withUnit(primary, unit);
            if (secondaryOn) {
                line += QStringLiteral("  ") + withUnit(secondary, unit2);
            }
            return line;
        }
        case Format::Csv: {
            QString line = isoTime(when) + QLatin1Char(',') + csvField(primary) + QLatin1Char(',') +
                           csvField(unit);
            if (secondaryOn) {
                line += QLatin1Char(',') + csvField(secondary) + QLatin1Char(',') + csvField(unit2);
            }
            return line;
        }
        case Format::Influx:
            break;
        case Format::Json: {
            QJsonObject o{
                {QStringLiteral("time"), isoTime(when)},
                {QStringLiteral("primary"), primary},
                {QStringLiteral("value"), jsonNumber(trend::parseValue(reading.primary))},
                {QStringLiteral("unit"), unit},
            };
            if (secondaryOn) {
                o.insert(QStringLiteral("secondary"), secondary);
                o.insert(QStringLiteral("secondary_value"),
                         jsonNumber(trend::parseValue(reading.secondary.value_or(QString()))));
                o.insert(QStringLiteral("secondary_unit"), unit2);
            }
            return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
        }
    }
    return {};
}

// A reading counts once it is where it was asked to go: in the file when
// there is one, else on standard output.
void Runner::record(const QString& reply) {
    const QDateTime when = clock_.now();
    QString text = reply;
    text.remove(QLatin1Char('\r'));
    text.remove(QLatin1Char('\n'));
    const meter::Reading reading = meter::splitReply(text, options_.settings.secondary.has_value());
    std::vector<double> values{trend::parseValue(reading.primary)};
    std::vector<QString> texts{visible(reading.primary.trimmed())};
    if (reading.secondary) {
        values.push_back(trend::parseValue(*reading.secondary));
        texts.push_back(visible(reading.secondary->trimmed()));
    }
    std::vector<QString> missing(texts.size());
    const feed::Record fed =
        makeRecord(when, std::move(values), std::move(texts), std::move(missing));
    const bool influx = options_.format == Format::Influx;
    if (file_.isOpen() && !writeFile(influx ? influxText(fed) : log::logReadingLine(text, when))) {
        return;
    }
    const bool printed = options_.quiet || print(influx ? influxText(fed) : formatted(text, when));
    if (printed || file_.isOpen()) {
        ++taken_;
        stats_.add(trend::parseValue(reading.primary));
        lastPrimary_ = visible(reading.primary.trimmed());
        feedRecord(fed);
    }
    if (!printed) {
        // Standard output closed (the reader went away): end cleanly.
        finish(kExitOk);
        return;
    }
    drawStatus();
}

bool Runner::writeFile(const QString& line) {
    // Line protocol is UTF-8 with LF, as Telegraf reads it; the window's
    // format is Latin-1 with CR LF.
    const OutputFile::Status status = options_.format == Format::Influx
                                          ? file_.writeLine(line.toUtf8(), "\n")
                                          : file_.writeLine(line.toLatin1());
    return fileOk(status, QStringLiteral("could not write to %1: %2; the lines before are kept"));
}

bool Runner::openFile(const QString& verb) {
    return fileOk(file_.open(options_.output),
                  QStringLiteral("cannot ") + verb + QStringLiteral(" the output file %1: %2"));
}

// How a step on the output file went: on, or the run ends (quietly for a
// stop, with `failure`, "%1" the file and "%2" the reason, for an error).
bool Runner::fileOk(OutputFile::Status status, const QString& failure) {
    switch (status) {
        case OutputFile::Status::Ok:
            return true;
        case OutputFile::Status::Stopped:
            finish(kExitOk);
            return false;
        case OutputFile::Status::Failed:
            break;
    }
    message(failure.arg(options_.output, file_.error()));
    finish(kExitOutput);
    return false;
}

bool Runner::writeBlock() {
    if (options_.format == Format::Influx) {
        return true;  // every line names its channel
    }
    if (bench_) {
        return writeFile(QString()) && writeFile(benchFileHeader());
    }
    const bool secondaryOn = options_.settings.secondary.has_value();
    const QString header = log::logHeaderLine(primaryHeader(options_.settings),
                                              secondaryHeader(options_.settings), secondaryOn);
    return writeFile(QString()) && writeFile(header);
}

void Runner::reopenOutput() {
    if (phase_ == Phase::Done || !file_.isOpen() || !file_.moved()) {
        return;
    }
    file_.close();
    if (!openFile(QStringLiteral("reopen"))) {
        return;
    }
    if (readingsStarted_ && !writeBlock()) {
        return;
    }
    message(QStringLiteral("reopened %1").arg(options_.output));
}

void Runner::lose(const QString& reason) {
    if (phase_ == Phase::Done || phase_ == Phase::Reconnecting) {
        return;
    }
    ++generation_;
    session_->close();
    feedMeter(0, options_.reconnect ? feed::Meter::State::Reconnecting : feed::Meter::State::Lost,
              {}, reason);
    if (!options_.reconnect || options_.mode != Mode::Log) {
        message(QStringLiteral("lost the meter on %1: %2").arg(session_->portName(), reason));
        finish(kExitLost);
        return;
    }
    message(QStringLiteral("lost the meter on %1: %2; trying again every %3 s")
                .arg(session_->portName(), reason, seconds(timing_.reconnectMs)));
    phase_ = Phase::Reconnecting;
    retryTimer_.start(timing_.reconnectMs);
}

// With --reconnect a meter that is off (or a port that is not there yet)
// at the start is waited for, as one lost during the run is.
void Runner::waitForMeter(const QString& reason) {
    waitTold_ = true;
    feedMeter(0, feed::Meter::State::Reconnecting, {}, reason);
    message(QStringLiteral("waiting for the meter on %1: %2; trying again every %3 s")
                .arg(session_->portName(), reason, seconds(timing_.reconnectMs)));
    phase_ = Phase::Reconnecting;
    retryTimer_.start(timing_.reconnectMs);
}

void Runner::retry() {
    if (phase_ != Phase::Reconnecting) {
        return;
    }
    const session::Fault fault = session_->open([this] { return phase_ == Phase::Done; });
    if (phase_ != Phase::Reconnecting) {
        return;
    }
    if (!fault.ok()) {
        retryTimer_.start(timing_.reconnectMs);
        return;
    }
    ask(kIdentify, Phase::Identifying);
}

void Runner::stop() {
    if (phase_ == Phase::Done) {
        return;
    }
    finish(kExitOk);
}

void Runner::finish(int code) {
    if (phase_ == Phase::Done) {
        return;
    }
    phase_ = Phase::Done;
    ++generation_;
    retryTimer_.stop();
    if (session_) {
        session_->close();
    } else {
        bench_->close();
    }
    file_.close();
    stopFeeds();
    clearStatus();
    if (readingsStarted_ && bench_) {
        message(benchSummary());
    } else if (readingsStarted_) {
        const qint64 ran = clock_.elapsedNs() - startNs_;
        QString summary = countText(taken_, QStringLiteral("reading")) + QStringLiteral(" in ") +
                          clockText(ran, true);
        if (stats_.count() > 0) {
            const QString unit = primaryUnit(options_.settings);
            summary += QStringLiteral("; min %1, max %2, mean %3%4")
                           .arg(number(stats_.min()), number(stats_.max()), number(stats_.mean()),
                                unit.isEmpty() ? QString() : QLatin1Char(' ') + unit);
        }
        message(summary);
    }
    Q_EMIT finished(code);
}

void Runner::message(const QString& text) {
    clearStatus();
    streams_.err.write((QStringLiteral("vxlog: ") + visible(text) + QLatin1Char('\n')).toUtf8());
}

bool Runner::print(const QString& line) {
    clearStatus();
    const QByteArray bytes = (line + QLatin1Char('\n')).toUtf8();
    return streams_.out.write(bytes) == bytes.size();
}

void Runner::drawStatus() {
    if (!streams_.errIsTerminal) {
        return;
    }
    QString status = bench_ ? benchStatus() : singleStatus();
    // One line: a status line that wraps can no longer be redrawn in place.
    if (const int columns = streams_.columns ? streams_.columns() : 0; columns > 1) {
        status.truncate(columns - 1);
    }
    streams_.err.write("\r\x1b[K" + status.toUtf8());
    statusShown_ = true;
}

QString Runner::singleStatus() const {
    const QString unit = primaryUnit(options_.settings);
    QString status = QStringLiteral("%1  %2  last %3")
                         .arg(countText(taken_, QStringLiteral("reading")),
                              clockText(clock_.elapsedNs() - startNs_), lastPrimary_);
    if (stats_.count() > 0) {
        status +=
            QStringLiteral("  min %1  max %2").arg(number(stats_.min()), number(stats_.max()));
    }
    if (!unit.isEmpty()) {
        status += QLatin1Char(' ') + unit;
    }
    return status;
}

void Runner::clearStatus() {
    if (statusShown_) {
        streams_.err.write("\r\x1b[K");
        statusShown_ = false;
    }
}

}  // namespace vx::cli
