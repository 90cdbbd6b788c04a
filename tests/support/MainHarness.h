#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

#include "support/FakeClock.h"
#include "support/FakePort.h"
#include "support/RecordingDialogs.h"

namespace vx::forms {
class Main;
}  // namespace vx::forms

// The main window over a fake clock, fake dialogs and in-memory ports.
class MainHarness {
public:
    MainHarness();
    ~MainHarness();

    FakeClock clock;
    RecordingDialogs dialogs;
    FakeOpener opener;
    std::unique_ptr<vx::forms::Main> window;

    vx::forms::Main& w() { return *window; }
    FakePort* port() { return opener.port.data(); }

    // Chooses COM `com` and the terminator ("CR" index 0, "LF" index 1) and
    // presses Connect; the meter answers the identification query during
    // the wait. True when the window ended connected.
    bool connect(int com = 1, int termIndex = 1,
                 const QByteArray& idn = "Velmora,VX480,102345,1.04");

    // Bytes written to the port since the last call.
    QByteArray takeWire();

    // Delivers `bytes` from the meter and lets the receive handler run.
    void deliver(const QByteArray& bytes);
};
