#pragma once

#include <QByteArray>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <memory>

#include "link/SerialLink.h"
#include "support/FakeClock.h"
#include "support/Files.h"
#include "support/RecordingDialogs.h"
#include "vxsim/client/SimProcess.h"

namespace vx::forms {
class Main;
}  // namespace vx::forms

// The main window over the real serial port layer, with COM `com` pointing
// at a vxsim meter on a real pseudo-terminal. The program's waits run
// `speedUp` times faster than the wall clock; the meter answers in real
// time, well within them.
class SimBench {
public:
    explicit SimBench(int com = 1, double speedUp = 10.0);
    virtual ~SimBench();

    // Starts the meter with `options` and builds the window with COM `com`
    // chosen. False, with a warning, when the meter did not start.
    bool start(const QStringList& options);

    FastClock clock;
    RecordingDialogs dialogs;
    vx::link::SerialPortOpener opener;
    vxsim::SimProcess sim;
    std::unique_ptr<vx::forms::Main> window;

private:
    int com_;
};

// A SimBench whose window runs and logs: counts the readings shown, keeps
// the replies shown while logging was on (what the log must hold), and hands
// each reading's number to `onReading` after the receive handler has ended.
class RunBench : public SimBench {
public:
    using SimBench::SimBench;

    bool start(const QStringList& options);
    // Connects (LF unless told otherwise) and sets DC voltage, so that Run
    // and logging are enabled.
    bool connectAndSet(int termIndex = 1);
    // Starts the meter with `options`, then connects and sets as above.
    bool startConnected(const QStringList& options = {});
    // Presses Run and returns when the loop has ended; a watchdog presses
    // Stop should a case never end the loop itself.
    void run();
    void startLog(const QString& path);
    QString logPath() const;

    QTemporaryDir dir;
    QStringList logged;
    int shown = 0;
    std::function<void(int)> onReading;
};

// CPU time (user and system) the process uses while its event loop sits
// idle for `ms`: a window that spins shows here.
double cpuSecondsIdle(int ms = 300);
