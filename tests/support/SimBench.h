#pragma once

#include <QStringList>

#include <memory>

#include "FakeClock.h"
#include "RecordingDialogs.h"
#include "SerialLink.h"
#include "vxsim/client/SimProcess.h"

class Main;

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
    comm::SerialPortOpener opener;
    vxsim::SimProcess sim;
    std::unique_ptr<Main> window;

private:
    int com_;
};

// CPU time (user and system) the process uses while its event loop sits
// idle for `ms`: a window that spins shows here.
double cpuSecondsIdle(int ms = 300);
