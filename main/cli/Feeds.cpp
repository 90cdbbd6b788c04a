// What vxlog hands to its sinks (the broker, the live page): the run's
// channels once, then every reading or row, and each meter's state.

#include <cmath>

#include "calc/Channels.h"
#include "cli/Runner.h"
#include "plugin/Plugin.h"
#include "publish/Module.h"
#include "publish/Payload.h"
#include "session/Session.h"
#include "timing/Clock.h"

namespace vx::cli {

void Runner::addSink(std::unique_ptr<feed::Sink> sink) {
    sinks_.push_back(std::move(sink));
}

bool addPublisher(Runner& runner, const publish::Config& config, QString* error) {
    const auto factory = reinterpret_cast<publish::SinkFactory>(
        plugin::resolve(QString::fromLatin1(publish::kModule), publish::kEntry, error));
    if (factory == nullptr) {
        return false;
    }
    runner.addSink(std::unique_ptr<feed::Sink>(factory(&config, &runner)));
    return true;
}

void Runner::fatal(int exitCode, const QString& text) {
    if (phase_ == Phase::Done) {
        return;
    }
    message(text);
    finish(exitCode);
}

bool Runner::startFeeds() {
    describeRun();
    for (const auto& sink : sinks_) {
        QString error;
        if (!sink->start(feedRun_, &error)) {
            message(error);
            finish(kExitOutput);
            return false;
        }
    }
    return true;
}

// The run's channels and meters, for the sinks and line protocol.
void Runner::describeRun() {
    feed::Run& run = feedRun_;
    run = {};
    run.intervalNs = options_.intervalNs;
    if (bench_) {
        for (std::size_t i = 0; i < options_.meters.size(); ++i) {
            const BenchMeter& m = options_.meters[i];
            run.meters.push_back({.name = m.name, .port = m.port});
            run.channels.push_back({.name = m.name,
                                    .unit = primaryUnit(m.settings),
                                    .function = functionCaption(m.settings),
                                    .meter = int(i)});
        }
        const calc::ChannelSet& set = evaluator_->channels();
        for (qsizetype c = set.meters; c < set.names.size(); ++c) {
            run.channels.push_back({.name = set.names[c]});
        }
    } else {
        run.meters.push_back({.name = QStringLiteral("meter"), .port = options_.port});
        run.channels.push_back({.name = QStringLiteral("meter"),
                                .unit = primaryUnit(options_.settings),
                                .function = functionCaption(options_.settings),
                                .meter = 0});
        if (options_.settings.secondary) {
            run.channels.push_back({.name = QStringLiteral("secondary"),
                                    .unit = secondaryUnit(options_.settings),
                                    .function = secondaryHeader(options_.settings),
                                    .meter = 0});
        }
    }
}

// The reading about to be counted: its sequence number is the count's next.
feed::Record Runner::makeRecord(const QDateTime& when, std::vector<double> values,
                                std::vector<QString> texts, std::vector<QString> missing) const {
    return {.sequence = taken_ + 1,
            .when = when,
            .values = std::move(values),
            .texts = std::move(texts),
            .missing = std::move(missing)};
}

void Runner::feedRecord(const feed::Record& record) {
    for (const auto& sink : sinks_) {
        sink->record(record);
    }
}

// The record as line protocol, its lines joined, without the last line end.
QString Runner::influxText(const feed::Record& record) const {
    QByteArray lines = publish::influxLines(feedRun_, record, record.sequence);
    lines.chop(1);
    return QString::fromUtf8(lines);
}

void Runner::feedMeter(int index, feed::Meter::State state, const QString& identity,
                       const QString& reason) {
    if (sinks_.empty() || index >= int(feedRun_.meters.size())) {
        return;
    }
    feed::Meter& meter = feedRun_.meters[std::size_t(index)];
    meter.state = state;
    if (!identity.isEmpty()) {
        meter.identity = identity;
    }
    meter.reason = reason;
    for (const auto& sink : sinks_) {
        sink->meterChanged(index, meter);
    }
}

void Runner::stopFeeds() {
    for (const auto& sink : sinks_) {
        sink->stop();
    }
}

}  // namespace vx::cli
