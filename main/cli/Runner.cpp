#include "cli/Runner.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QIODevice>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QTimer>

#include <algorithm>
#include <array>
#include <charconv>

#include "link/Errors.h"
#include "link/Framing.h"
#include "link/NetworkPort.h"
#include "link/SerialLink.h"
#include "meter/Reading.h"
#include "timing/Clock.h"
#include "trend/TrendData.h"

namespace vx::cli {

namespace {

const QString kIdentify = QStringLiteral("*IDN?");
const QString kFetch = QStringLiteral("FETC?");

// Opens the device named on the command line (a path or address) instead
// of a COM number.
class DeviceOpener final : public link::PortOpener {
public:
    explicit DeviceOpener(QString path) : path_(std::move(path)) {}
    Result open(int, qint32 baudRate) override {
        return link::SerialPortOpener().openDevice(path_, baudRate);
    }
    QStringList describe(int count) const override { return QStringList(count, path_); }

private:
    QString path_;
};

// "%.8g": the statistics in the summary and the status line.
QString number(double v, int digits = 8) {
    std::array<char, 32> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), v,
                                      std::chars_format::general, digits);
    return QString::fromLatin1(buffer.data(), result.ptr - buffer.data());
}

QString seconds(int ms) {
    return number(ms / 1000.0, 3);
}

QString clockText(qint64 ns) {
    const qint64 s = ns / 1'000'000'000;
    const auto two = [](qint64 v) {
        return QString::number(v).rightJustified(2, QLatin1Char('0'));
    };
    return two(s / 3600) + QLatin1Char(':') + two(s / 60 % 60) + QLatin1Char(':') + two(s % 60);
}

QString csvField(const QString& field) {
    if (!field.contains(QLatin1Char(',')) && !field.contains(QLatin1Char('"'))) {
        return field;
    }
    QString quoted = field;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QJsonValue jsonNumber(double v) {
    return trend::isValue(v) ? QJsonValue(v) : QJsonValue(QJsonValue::Null);
}

}  // namespace

Runner::Runner(Options options, link::PortOpener& opener, timing::Clock& clock, Streams streams,
               Timing timing, QObject* parent)
    : QObject(parent),
      options_(std::move(options)),
      clock_(clock),
      streams_(streams),
      timing_(timing) {
    link::PortOpener* used = &opener;
    if (!comNumber(options_.port)) {
        pathOpener_ = std::make_unique<DeviceOpener>(options_.port);
        used = pathOpener_.get();
    }
    link_ = std::make_unique<link::SerialLink>(*used, this);
    link_->setCommPort(comNumber(options_.port).value_or(1));
    link_->setSettings(QString::number(options_.baud) + QStringLiteral(",N,8,1"));
    connect(link_.get(), &link::SerialLink::dataWaiting, this, &Runner::onData);
    connect(link_.get(), &link::SerialLink::portLost, this, &Runner::lose);
    replyTimer_.setSingleShot(true);
    connect(&replyTimer_, &QTimer::timeout, this, &Runner::onReplyTimeout);
    retryTimer_.setSingleShot(true);
    connect(&retryTimer_, &QTimer::timeout, this, &Runner::retry);
}

Runner::~Runner() = default;

QString Runner::portName() const {
    const QString device = link_->devicePath();
    return device.isEmpty() || device == options_.port
               ? options_.port
               : QStringLiteral("%1 (%2)").arg(options_.port, device);
}

void Runner::start() {
    if (options_.mode == Mode::Log && !options_.output.isEmpty() && !log_.open(options_.output)) {
        message(QStringLiteral("cannot open the output file %1: %2")
                    .arg(options_.output, log_.error()));
        finish(kExitOutput);
        return;
    }
    if (!openPort()) {
        message(QStringLiteral("cannot open %1: %2").arg(portName(), link_->lastError()));
        finish(kExitPort);
        return;
    }
    if (options_.mode == Mode::Send) {
        for (const QString& line : settingLines(options_.settings)) {
            if (!send(line)) {
                return;
            }
        }
        nextSend();
        return;
    }
    ask(kIdentify, Phase::Identifying);
}

bool Runner::openPort() {
    if (link_->open() != link::kNoError) {
        return false;
    }
    // A network port makes its connection in the background, within a time
    // limit: let events run in short, growing passes until it is made or
    // has failed, then take the outcome.
    int passMs = 1;
    QElapsedTimer waited;
    waited.start();
    while (link_->connecting() && waited.elapsed() <= link::kConnectLimit.count()) {
        QEventLoop pass;
        QTimer::singleShot(passMs, &pass, &QEventLoop::quit);
        pass.exec();
        passMs = std::min(passMs * 2, 64);
    }
    return link_->finishConnect() == link::kNoError;
}

bool Runner::send(const QString& command) {
    if (link_->write(link::framing::commandLine(command, options_.terminator)) != link::kNoError) {
        lose(link_->lastError());
        return false;
    }
    return true;
}

// A query: whatever was waiting unasked is dropped, so a late reply to an
// earlier query is never taken for this one's.
void Runner::ask(const QString& command, Phase phase) {
    link_->readAll();
    collected_.clear();
    pendingCommand_ = command;
    phase_ = phase;
    if (send(command)) {
        replyTimer_.start(timing_.replyTimeoutMs);
    }
}

void Runner::onData() {
    collected_ += link::framing::fromWire(link_->readAll());
    const bool awaiting =
        phase_ == Phase::Identifying || phase_ == Phase::Reading || phase_ == Phase::Sending;
    if (!awaiting) {
        collected_.clear();
        return;
    }
    if (!link::framing::replyComplete(collected_, options_.terminator)) {
        return;
    }
    // The reply is the text before the first terminator; anything after it
    // was not asked for.
    const QString reply = collected_.left(collected_.indexOf(options_.terminator));
    collected_.clear();
    replyTimer_.stop();
    onReply(reply);
}

void Runner::onReply(const QString& reply) {
    switch (phase_) {
        case Phase::Identifying:
            onIdentified(reply.trimmed());
            break;
        case Phase::Reading:
            record(reply);
            if (phase_ == Phase::Reading) {
                scheduleNext();
            }
            break;
        case Phase::Sending: {
            QString shown = reply;
            shown.remove(QLatin1Char('\r'));
            if (!print(shown)) {
                finish(kExitOk);
                return;
            }
            nextSend();
            break;
        }
        default:
            break;
    }
}

void Runner::onReplyTimeout() {
    const QString what = QStringLiteral("no reply to %1 within %2 s")
                             .arg(pendingCommand_, seconds(timing_.replyTimeoutMs));
    switch (phase_) {
        case Phase::Identifying:
            if (identified_) {
                // Still no meter behind the reopened port: try again later.
                link_->close();
                phase_ = Phase::Reconnecting;
                retryTimer_.start(timing_.reconnectMs);
                return;
            }
            message(what + QStringLiteral(" on %1: is the meter on, and are the baud rate and "
                                          "terminator the meter's?")
                               .arg(portName()));
            finish(kExitNoIdentity);
            break;
        case Phase::Sending:
            message(what);
            finish(kExitNoIdentity);
            break;
        case Phase::Reading:
            lose(what);
            break;
        default:
            break;
    }
}

void Runner::onIdentified(const QString& identity) {
    const bool again = identified_;
    identified_ = true;
    message(again ? QStringLiteral("the meter answers again: %1; carrying on").arg(identity)
                  : QStringLiteral("meter: %1").arg(identity));
    for (const QString& line : settingLines(options_.settings)) {
        if (!send(line)) {
            return;
        }
    }
    if (again) {
        scheduleNext();
        return;
    }
    if (log_.isOpen() && !writeBlock()) {
        return;
    }
    if (!options_.quiet && options_.format == Format::Csv) {
        QString header = QStringLiteral("time,primary,primary_unit");
        if (options_.settings.secondary) {
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
    if (send(command)) {
        const quint64 generation = generation_;
        QTimer::singleShot(timing_.sendPauseMs, this, [this, generation] {
            if (generation == generation_) {
                nextSend();
            }
        });
    }
}

void Runner::takeReading() {
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

void Runner::record(const QString& reply) {
    const QDateTime when = clock_.now();
    ++taken_;
    const bool secondaryOn = options_.settings.secondary.has_value();
    const meter::Reading reading = meter::splitReply(reply, secondaryOn);
    const QString secondary = reading.secondary.value_or(QString());
    const double primary = trend::parseValue(reading.primary);
    stats_.add(primary);
    lastPrimary_ = reading.primary.trimmed();
    if (log_.isOpen() && !log_.writeLine(log::logReadingLine(reply, when))) {
        message(QStringLiteral("could not write to %1: %2; the lines before are kept")
                    .arg(options_.output, log_.error()));
        --taken_;
        finish(kExitOutput);
        return;
    }
    if (!options_.quiet) {
        const QString unit = primaryUnit(options_.settings);
        const QString unit2 = secondaryUnit(options_.settings);
        QString line;
        switch (options_.format) {
            case Format::Text:
                line = log::logTimeStamp(when) + QStringLiteral("  ") + reading.primary;
                if (!unit.isEmpty()) {
                    line += QLatin1Char(' ') + unit;
                }
                if (secondaryOn) {
                    line += QStringLiteral("  ") + secondary;
                    if (!unit2.isEmpty()) {
                        line += QLatin1Char(' ') + unit2;
                    }
                }
                break;
            case Format::Csv:
                line = when.toString(Qt::ISODateWithMs) + QLatin1Char(',') +
                       csvField(reading.primary) + QLatin1Char(',') + csvField(unit);
                if (secondaryOn) {
                    line +=
                        QLatin1Char(',') + csvField(secondary) + QLatin1Char(',') + csvField(unit2);
                }
                break;
            case Format::Json: {
                QJsonObject o{
                    {QStringLiteral("time"), when.toString(Qt::ISODateWithMs)},
                    {QStringLiteral("primary"), reading.primary},
                    {QStringLiteral("value"), jsonNumber(primary)},
                    {QStringLiteral("unit"), unit},
                };
                if (secondaryOn) {
                    o.insert(QStringLiteral("secondary"), secondary);
                    o.insert(QStringLiteral("secondary_value"),
                             jsonNumber(trend::parseValue(secondary)));
                    o.insert(QStringLiteral("secondary_unit"), unit2);
                }
                line = QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
                break;
            }
        }
        line.remove(QLatin1Char('\r'));
        line.remove(QLatin1Char('\n'));
        if (!print(line)) {
            // Standard output closed (the reader went away): end cleanly.
            finish(kExitOk);
            return;
        }
    }
    drawStatus();
}

bool Runner::writeBlock() {
    const bool secondaryOn = options_.settings.secondary.has_value();
    const QString header = log::logHeaderLine(primaryHeader(options_.settings),
                                              secondaryHeader(options_.settings), secondaryOn);
    if (log_.writeBlockStart(header)) {
        return true;
    }
    message(QStringLiteral("could not write to %1: %2").arg(options_.output, log_.error()));
    finish(kExitOutput);
    return false;
}

void Runner::reopenOutput() {
    if (phase_ == Phase::Done || options_.output.isEmpty()) {
        return;
    }
    log_.close();
    if (!log_.open(options_.output)) {
        message(QStringLiteral("cannot reopen the output file %1: %2")
                    .arg(options_.output, log_.error()));
        finish(kExitOutput);
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
    replyTimer_.stop();
    link_->close();
    if (!options_.reconnect || !identified_) {
        message(QStringLiteral("lost the meter on %1: %2").arg(portName(), reason));
        finish(kExitLost);
        return;
    }
    message(QStringLiteral("lost the meter on %1: %2; trying again every %3 s")
                .arg(portName(), reason, seconds(timing_.reconnectMs)));
    phase_ = Phase::Reconnecting;
    retryTimer_.start(timing_.reconnectMs);
}

void Runner::retry() {
    if (phase_ != Phase::Reconnecting) {
        return;
    }
    if (!openPort()) {
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
    replyTimer_.stop();
    retryTimer_.stop();
    link_->close();
    log_.close();
    clearStatus();
    if (readingsStarted_) {
        const qint64 ran = clock_.elapsedNs() - startNs_;
        QString summary =
            QString::number(taken_) + QStringLiteral(" readings in ") + clockText(ran);
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
    streams_.err.write((QStringLiteral("vxlog: ") + text + QLatin1Char('\n')).toUtf8());
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
    const QString unit = primaryUnit(options_.settings);
    QString status = QStringLiteral("%1 readings  %2  last %3")
                         .arg(taken_)
                         .arg(clockText(clock_.elapsedNs() - startNs_), lastPrimary_);
    if (stats_.count() > 0) {
        status +=
            QStringLiteral("  min %1  max %2").arg(number(stats_.min()), number(stats_.max()));
    }
    if (!unit.isEmpty()) {
        status += QLatin1Char(' ') + unit;
    }
    streams_.err.write("\r\x1b[K" + status.toUtf8());
    statusShown_ = true;
}

void Runner::clearStatus() {
    if (statusShown_) {
        streams_.err.write("\r\x1b[K");
        statusShown_ = false;
    }
}

}  // namespace vx::cli
