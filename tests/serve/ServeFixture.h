#pragma once

// The live page's module in the test's own process, loaded as vxlog loads it,
// with a run of two meters and a computed channel.
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QTimeZone>

#include <cmath>
#include <limits>
#include <memory>

#include "plugin/Plugin.h"
#include "serve/Entry.h"

class RecordingHost final : public vx::feed::Host {
public:
    void message(const QString& text) override { messages << text; }
    void fatal(int exitCode, const QString& text) override {
        messages << QStringLiteral("fatal %1: %2").arg(exitCode).arg(text);
    }
    QStringList messages;
};

inline vx::feed::Run benchRun() {
    using vx::feed::Meter;
    return {.channels = {{.name = "V", .unit = "V", .function = "DC VOLTAGE", .meter = 0},
                         {.name = "I", .unit = "A", .function = "DC CURRENT", .meter = 1},
                         {.name = "P"}},
            .meters = {{.name = "V",
                        .port = "COM1",
                        .identity = "Velmora,VX480,1,1.0",
                        .state = Meter::State::Connected},
                       {.name = "I",
                        .port = "tcp://bench:4001",
                        .identity = "Velmora,VX260,2,1.0",
                        .state = Meter::State::Connected}},
            .intervalNs = 500'000'000};
}

// Row `n` of the run: V = n, I = 0.5, P = V * I; row 2 has no current.
inline vx::feed::Record benchRecord(qint64 n, const QString& text = {}) {
    constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    const QDateTime start(QDate(2026, 12, 8), QTime(14, 5, 9), QTimeZone(3600));
    const bool gap = n == 2;
    const double v = double(n);
    return {
        .sequence = n,
        .when = start.addMSecs(500 * (n - 1)),
        .values = {v, gap ? kNaN : 0.5, gap ? kNaN : v * 0.5},
        .texts = {text.isEmpty() ? QStringLiteral("+%1.00000E+00").arg(n) : text,
                  gap ? QString() : QStringLiteral("+5.00000E-01"), QString()},
        .missing = {QString(), gap ? QStringLiteral("I: no reply to FETC? within 2 s") : QString(),
                    QString()}};
}

struct Served {
    explicit Served(const vx::serve::Config& config) {
        QString error;
        const auto entry = reinterpret_cast<vx::serve::Entry>(
            vx::plugin::resolve(vx::serve::kModule, vx::serve::kEntry, &error));
        if (entry == nullptr) {
            qWarning("%s", qPrintable(error));
            return;
        }
        sink.reset(entry(config, host));
    }
    // Starts the server; the port it says it serves on, or 0.
    quint16 start(const vx::feed::Run& run = benchRun()) {
        if (!sink || !sink->start(run, &error)) {
            return 0;
        }
        static const QRegularExpression serving(R"(^serving http://[^ ]+:(\d+)/)");
        const auto match = serving.match(host.messages.value(0));
        return match.hasMatch() ? quint16(match.captured(1).toUInt()) : 0;
    }
    RecordingHost host;
    std::unique_ptr<vx::feed::Sink> sink;
    QString error;
};
