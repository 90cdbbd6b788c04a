// vxlog with several meters (--meter): every tick reads all of them at once
// and writes one row; a meter that fails leaves its column empty with the
// reason while the others go on.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <algorithm>
#include <cmath>

#include "bench/Bench.h"
#include "calc/Channels.h"
#include "cli/Runner.h"
#include "cli/Text.h"
#include "link/Errors.h"
#include "log/DataLog.h"
#include "meter/Reading.h"
#include "timing/Clock.h"
#include "trend/TrendData.h"

namespace vx::cli {

namespace {

// The primary text of a cell's reply, or nothing.
std::optional<QString> primaryOf(const bench::Cell& cell, const BenchMeter& meter) {
    if (cell.state != bench::Cell::State::Replied) {
        return std::nullopt;
    }
    QString reply = cell.reply;
    reply.remove(QLatin1Char('\r'));
    return meter::splitReply(reply, meter.settings.secondary.has_value()).primary.trimmed();
}

// A row in the log file: each meter's reply (its secondary value too, where
// that display is on), an empty field where there is none; no line breaks.
QString fileLine(const bench::Row& row, const std::vector<BenchMeter>& meters) {
    QStringList fields;
    for (std::size_t i = 0; i < row.cells.size(); ++i) {
        const bool secondaryOn = meters[i].settings.secondary.has_value();
        QString reply =
            row.cells[i].state == bench::Cell::State::Replied ? row.cells[i].reply : QString();
        reply.remove(QLatin1Char('\r'));
        reply.remove(QLatin1Char('\n'));
        const meter::Reading reading = meter::splitReply(reply, secondaryOn);
        fields << reading.primary;
        if (secondaryOn) {
            fields << reading.secondary.value_or(QString());
        }
    }
    return fields.join(QLatin1Char(','));
}

QString cellReason(const bench::Cell& cell) {
    return cell.state == bench::Cell::State::Replied ? QString() : cell.reason;
}

}  // namespace

void Runner::startBench() {
    for (int i = 0; i < bench_->size(); ++i) {
        const session::Fault fault = bench_->connectMeter(i, [this] {
            return phase_ == Phase::Done || (streams_.stopping && streams_.stopping());
        });
        if (phase_ == Phase::Done) {
            return;
        }
        if (fault.ok()) {
            continue;
        }
        const bool misnamed =
            fault.error == link::kBadNetworkAddress || fault.error == link::kComNotNamed;
        const QString where =
            QStringLiteral("%1 on %2")
                .arg(options_.meters[std::size_t(i)].name, bench_->session(i).portName());
        if (options_.reconnect && !misnamed) {
            message(QStringLiteral("waiting for meter %1: %2; trying again every %3 s")
                        .arg(where, fault.reason, seconds(timing_.reconnectMs)));
            QTimer::singleShot(timing_.reconnectMs, this, [this, i] { retryMeter(i); });
            continue;
        }
        message(QStringLiteral("cannot open meter %1: %2").arg(where, fault.reason));
        finish(kExitPort);
        return;
    }
    phase_ = Phase::Identifying;
}

void Runner::onBenchIdentified(int index, const QString& identity) {
    const QString name = options_.meters[std::size_t(index)].name;
    const bool again = meterKnown_[std::size_t(index)];
    meterKnown_[std::size_t(index)] = true;
    feedMeter(index, feed::Meter::State::Connected, identity);
    message(again ? QStringLiteral("meter %1 answers again: %2; carrying on").arg(name, identity)
                  : QStringLiteral("meter %1: %2").arg(name, identity));
    if (readingsStarted_ || phase_ != Phase::Identifying) {
        return;
    }
    if (std::all_of(meterKnown_.cbegin(), meterKnown_.cend(), [](bool known) { return known; })) {
        startReadings();
    }
}

void Runner::onBenchFailed(int index, const session::Fault& fault) {
    if (phase_ == Phase::Done) {
        return;
    }
    const QString where =
        QStringLiteral("%1 on %2")
            .arg(options_.meters[std::size_t(index)].name, bench_->session(index).portName());
    feedMeter(index,
              options_.reconnect ? feed::Meter::State::Reconnecting : feed::Meter::State::Lost, {},
              fault.reason);
    if (!readingsStarted_ && !options_.reconnect) {
        message(QStringLiteral("meter %1 did not identify itself: %2").arg(where, fault.reason));
        finish(kExitNoIdentity);
        return;
    }
    if (options_.reconnect) {
        if (meterKnown_[std::size_t(index)]) {
            message(QStringLiteral("lost meter %1: %2; trying again every %3 s")
                        .arg(where, fault.reason, seconds(timing_.reconnectMs)));
        }
        QTimer::singleShot(timing_.reconnectMs, this, [this, index] { retryMeter(index); });
        return;
    }
    message(QStringLiteral("lost meter %1: %2").arg(where, fault.reason));
}

void Runner::retryMeter(int index) {
    if (phase_ == Phase::Done || bench_->isReady(index)) {
        return;
    }
    if (!bench_->connectMeter(index, [this] { return phase_ == Phase::Done; }).ok() &&
        phase_ != Phase::Done) {
        QTimer::singleShot(timing_.reconnectMs, this, [this, index] { retryMeter(index); });
    }
}

void Runner::onRow(const bench::Row& row) {
    if (phase_ != Phase::Reading) {
        return;
    }
    QString line;
    QJsonObject values;
    QJsonObject texts;
    QJsonObject units;
    QJsonObject missing;
    QStringList fields{isoTime(row.when)};
    QStringList notes;
    line = log::logTimeStamp(row.when);
    bool any = false;
    meterValues_.assign(row.cells.size(), std::nan(""));
    for (std::size_t i = 0; i < row.cells.size(); ++i) {
        const BenchMeter& meter = options_.meters[i];
        const std::optional<QString> primary = primaryOf(row.cells[i], meter);
        const QString unit = primaryUnit(meter.settings);
        const double value = primary ? trend::parseValue(*primary) : std::nan("");
        meterValues_[i] = value;
        if (primary) {
            any = true;
            meterStats_[i].add(value);
            texts.insert(meter.name, visible(*primary));
            line += QStringLiteral("  %1 %2").arg(meter.name, withUnit(visible(*primary), unit));
        } else {
            missing.insert(meter.name, visible(cellReason(row.cells[i])));
            notes << meter.name + QStringLiteral(": ") + visible(cellReason(row.cells[i]));
            line += QStringLiteral("  %1 -").arg(meter.name);
        }
        values.insert(meter.name, jsonNumber(value));
        units.insert(meter.name, unit);
        fields << csvField(primary ? visible(*primary) : QString());
    }
    // The computed channels, after the meters.
    const std::span<const double> channels =
        evaluator_->evaluate({.time = double(row.tickNs) / 1e9, .values = meterValues_});
    QStringList computed;
    const calc::ChannelSet& set = evaluator_->channels();
    for (qsizetype c = set.meters; c < set.names.size(); ++c) {
        const double value = channels[std::size_t(c)];
        const QString shown = trend::isValue(value) ? number(value) : QString();
        values.insert(set.names[c], jsonNumber(value));
        line += QStringLiteral("  %1 %2").arg(set.names[c],
                                              shown.isEmpty() ? QStringLiteral("-") : shown);
        fields << shown;
        computed << shown;
    }
    fields << csvField(notes.join(QStringLiteral("; ")));
    QString fileRow = fileLine(row, options_.meters);
    for (const QString& value : computed) {
        fileRow += QLatin1Char(',') + value;
    }
    std::vector<QString> rowTexts(channels.size());
    std::vector<QString> rowMissing(channels.size());
    for (std::size_t i = 0; i < row.cells.size(); ++i) {
        const std::optional<QString> primary = primaryOf(row.cells[i], options_.meters[i]);
        rowTexts[i] = primary ? visible(*primary) : QString();
        rowMissing[i] = visible(cellReason(row.cells[i]));
    }
    const feed::Record fed = makeRecord(row.when, {channels.begin(), channels.end()},
                                        std::move(rowTexts), std::move(rowMissing));
    const bool influx = options_.format == Format::Influx;
    if (file_.isOpen() &&
        !writeFile(influx ? influxText(fed)
                          : fileRow + QLatin1Char(',') + log::logTimeStamp(row.when))) {
        return;
    }
    const QJsonArray reached = checkLimits(row);
    ++taken_;
    feedRecord(fed);
    if (!options_.quiet) {
        QString out;
        switch (options_.format) {
            case Format::Text:
                out = line;
                break;
            case Format::Csv:
                out = fields.join(QLatin1Char(','));
                break;
            case Format::Influx:
                out = influxText(fed);
                break;
            case Format::Json: {
                QJsonObject o{{QStringLiteral("time"), isoTime(row.when)},
                              {QStringLiteral("skew_ms"), double(row.skewNs) / 1e6},
                              {QStringLiteral("values"), values},
                              {QStringLiteral("texts"), texts},
                              {QStringLiteral("units"), units}};
                if (!missing.isEmpty()) {
                    o.insert(QStringLiteral("missing"), missing);
                }
                if (!reached.isEmpty()) {
                    o.insert(QStringLiteral("limits"), reached);
                }
                out = QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
                break;
            }
        }
        if (!print(out)) {
            finish(kExitOk);
            return;
        }
    }
    drawStatus();
    if (!reached.isEmpty() && options_.stopOnLimit) {
        finish(kExitLimit);
        return;
    }
    if (!any && !options_.reconnect) {
        // Every meter is gone and none is tried again.
        finish(kExitLost);
        return;
    }
    scheduleNext();
}

// The limits reached on this row, as JSON marks them. The row where one is
// first reached says so on stderr and runs --on-limit.
QJsonArray Runner::checkLimits(const bench::Row& row) {
    QJsonArray reached;
    const calc::ChannelSet& set = evaluator_->channels();
    const std::span<const calc::LimitState> states = evaluator_->limits();
    limitShown_.resize(states.size());
    for (std::size_t i = 0; i < states.size(); ++i) {
        const calc::Limit& limit = set.limits[i];
        if (!states[i].triggered) {
            if (limitShown_[i] && !states[i].outside) {
                message(
                    QStringLiteral("limit \"%1\" left at %2").arg(limit.text, isoTime(row.when)));
            }
            limitShown_[i] = limitShown_[i] && states[i].outside;
            continue;
        }
        reached.append(limit.text);
        if (limitShown_[i]) {
            continue;
        }
        limitShown_[i] = true;
        message(QStringLiteral("limit \"%1\" reached at %2: %3")
                    .arg(limit.text, isoTime(row.when), number(states[i].value)));
        if (!options_.onLimit.isEmpty()) {
            runOnLimit(limit.text, states[i].value, row.when);
        }
    }
    return reached;
}

// The command of --on-limit, started with what it needs in its environment;
// no shell ever sees a text from the meter.
void Runner::runOnLimit(const QString& limit, double value, const QDateTime& when) {
    QStringList words = QProcess::splitCommand(options_.onLimit);
    QProcess process;
    process.setProgram(words.takeFirst());
    process.setArguments(words);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    qsizetype op = 0;
    while (op < limit.size() && limit[op] != u'<' && limit[op] != u'>') {
        ++op;
    }
    env.insert(QStringLiteral("VXLOG_LIMIT"), limit);
    env.insert(QStringLiteral("VXLOG_CHANNEL"), limit.left(op).trimmed());
    env.insert(QStringLiteral("VXLOG_VALUE"), number(value));
    env.insert(QStringLiteral("VXLOG_TIME"), isoTime(when));
    process.setProcessEnvironment(env);
    process.setStandardInputFile(QProcess::nullDevice());
    if (!process.startDetached()) {
        message(QStringLiteral("--on-limit: %1 did not start: %2")
                    .arg(process.program(), process.errorString()));
    }
}

// The log file's header: each meter's column titles, named after it.
//   V: DC Voltage(V),I: DC Current(A)
QString Runner::benchFileHeader() const {
    QStringList titles;
    for (const BenchMeter& meter : options_.meters) {
        titles << meter.name + QStringLiteral(": ") + primaryHeader(meter.settings);
        if (meter.settings.secondary) {
            titles << meter.name + QStringLiteral(": ") + secondaryHeader(meter.settings);
        }
    }
    const calc::ChannelSet& set = evaluator_->channels();
    titles += set.names.mid(set.meters);
    return titles.join(QLatin1Char(','));
}

QString Runner::benchHeader() const {
    QStringList header{QStringLiteral("time")};
    for (const BenchMeter& meter : options_.meters) {
        const QString unit = primaryUnit(meter.settings);
        header << csvField(unit.isEmpty() ? meter.name
                                          : QStringLiteral("%1 (%2)").arg(meter.name, unit));
    }
    const calc::ChannelSet& set = evaluator_->channels();
    for (const QString& computed : set.names.mid(set.meters)) {
        header << computed;
    }
    header << QStringLiteral("missing");
    return header.join(QLatin1Char(','));
}

QString Runner::benchSummary() const {
    QString summary = countText(taken_, QStringLiteral("row")) + QStringLiteral(" in ") +
                      clockText(clock_.elapsedNs() - startNs_, true);
    for (std::size_t i = 0; i < meterStats_.size(); ++i) {
        const logread::Stats& stats = meterStats_[i];
        if (stats.count() > 0) {
            summary +=
                QStringLiteral("; %1 min %2, max %3, mean %4")
                    .arg(options_.meters[i].name, number(stats.min()), number(stats.max()),
                         withUnit(number(stats.mean()), primaryUnit(options_.meters[i].settings)));
        }
    }
    return summary;
}

QString Runner::benchStatus() const {
    QString status = countText(taken_, QStringLiteral("row")) + QStringLiteral("  ") +
                     clockText(clock_.elapsedNs() - startNs_);
    for (std::size_t i = 0; i < meterStats_.size(); ++i) {
        status +=
            QStringLiteral("  %1 %2").arg(options_.meters[i].name, number(meterStats_[i].last()));
    }
    return status;
}

}  // namespace vx::cli
