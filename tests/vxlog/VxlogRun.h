#pragma once

// vxlog's run inside a test: the options parsed as the program parses them,
// the real serial layer, a clock that jumps to each reading's due time, and
// standard output and error in memory.
#include <QBuffer>
#include <QCoreApplication>
#include <QSignalSpy>
#include <QTimer>

#include <memory>

#include "cli/Runner.h"
#include "link/SerialLink.h"
#include "timing/Clock.h"

// Jumps to each due time as soon as the event loop comes round.
class JumpClock final : public vx::timing::Clock {
public:
    QDateTime now() const override { return start_.addMSecs(ns_ / 1'000'000); }
    qint64 elapsedNs() const override { return ns_; }
    void runEventsFor(qint64 ms) override {
        QCoreApplication::processEvents();
        ns_ += ms * 1'000'000;
    }
    void callAt(qint64 dueNs, const QObject* context, std::function<void()> fn) override {
        QTimer::singleShot(0, context, [this, dueNs, fn = std::move(fn)] {
            ns_ = std::max(ns_, dueNs);
            fn();
        });
    }

private:
    QDateTime start_{QDate(2016, 9, 22), QTime(14, 5, 9)};
    qint64 ns_ = 0;
};

// The times vxlog waits, short: 200 ms for a reply, 50 ms between
// reconnection attempts, 20 ms after a --send command, 50 ms to settle.
inline constexpr vx::cli::Timing kShortTiming{200, 50, 20, 50};

struct Run {
    explicit Run(const QStringList& args, vx::cli::Timing timing = kShortTiming,
                 QIODevice* stdOut = nullptr)
        : outDevice(stdOut != nullptr ? stdOut : &out) {
        const vx::cli::Parsed parsed = vx::cli::parseOptions(args);
        error = parsed.error;
        out.open(QIODevice::ReadWrite);
        err.open(QIODevice::ReadWrite);
        runner = std::make_unique<vx::cli::Runner>(parsed.options, opener, clock,
                                                   vx::cli::Streams{.out = *outDevice,
                                                                    .err = err,
                                                                    .errIsTerminal = false,
                                                                    .columns = {},
                                                                    .stopping = {}},
                                                   timing);
    }
    // Starts the run; the exit status, or -1 when it did not end in time.
    int finish() {
        QSignalSpy spy(runner.get(), &vx::cli::Runner::finished);
        runner->start();
        if (spy.isEmpty() && !spy.wait(20000)) {
            return -1;
        }
        return spy.takeFirst().at(0).toInt();
    }
    QString error;
    JumpClock clock;
    vx::link::SerialPortOpener opener;
    QBuffer out;
    QBuffer err;
    QIODevice* outDevice;
    std::unique_ptr<vx::cli::Runner> runner;
};
