#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

#include "vxsim/core/LineSplitter.h"
#include "vxsim/core/MeterModel.h"
#include "vxsim/host/HostOptions.h"

namespace vxsim {

// Serves the meter model on a pseudo-terminal. The program under test opens the slave side as
// its serial port; we read commands from the master side and write replies there, paced at the
// configured baud rate. We keep a slave descriptor of our own open, so that the master does not
// see a hang-up (EIO) while the program under test closes and reopens the port.
//
// With --listen the meter sits behind a simulated serial device server instead: a TCP listener
// that takes one client at a time, whose connection carries the same bytes at the same pace.
// A second client is told that the meter is taken and closed. A client that leaves frees the
// meter for the next one; the meter keeps its settings, as a real one on the far side of a
// device server would.
class MeterHost {
public:
    explicit MeterHost(HostOptions options);
    ~MeterHost();
    MeterHost(const MeterHost&) = delete;
    MeterHost& operator=(const MeterHost&) = delete;

    // Opens the pseudo-terminal (or the listener), the record and times files and the link; an
    // error text, empty on success. Blocks SIGTERM, SIGINT and SIGHUP, which run() then takes as
    // the end.
    std::string open();
    // The pseudo-terminal's path, or tcp://HOST:PORT of the listener.
    const std::string& devicePath() const { return devicePath_; }

    // Serves until a termination signal or the hang-up fault; returns the exit status.
    int run();

    // Gap between the pieces of a reply with --pieces.
    static constexpr std::chrono::milliseconds kPieceGap{40};
    // Garbage that --garbage puts before a reply's terminator: NULs, control and 8-bit bytes.
    static constexpr std::string_view kGarbage{"\0\x7f#\xff\0\x1b~", 7};

    // How often, and how long at most, a pending hang-up waits for the far end to read the
    // last reply (a far end that never reads is hung up on all the same).
    static constexpr std::chrono::milliseconds kDrainCheck{10};
    static constexpr std::chrono::milliseconds kDrainSettle{30};
    static constexpr std::chrono::seconds kDrainLimit{2};

    // Clients waiting to be accepted; the second of two is accepted only to be told it waits.
    static constexpr int kListenBacklog = 4;
    // What a second client hears (then followed by the reply terminator) before it is closed.
    static constexpr std::string_view kBusyMessage{
        "vxsim: the meter serves one client at a time and another is connected"};

private:
    using Clock = std::chrono::steady_clock;

    // Bytes waiting to go out: a pattern repeated up to a length (the flood fault needs no
    // megabytes in memory), started after a gap.
    struct Segment {
        std::string pattern;
        std::size_t length = 0;
        std::size_t sent = 0;
        std::chrono::nanoseconds gap{0};
        bool started = false;
    };

    std::string openPseudoTerminal();
    std::string openListener();
    void acceptClient();
    void dropClient();
    void receive();
    void handleLine(const LineSplitter::Line& line);
    void queueReply(const Reply& reply);
    void pump();
    std::chrono::nanoseconds untilNextByte() const;
    void appendFile(int fd, std::string_view bytes);
    bool drained();
    void hangUp();
    void closeAll();

    HostOptions options_;
    MeterModel model_;
    LineSplitter splitter_;
    std::chrono::nanoseconds charTime_;

    // The meter's side of the line: the pseudo-terminal master, or the connected client (-1
    // while none is).
    int line_ = -1;
    int slave_ = -1;
    int listener_ = -1;
    int signals_ = -1;
    int record_ = -1;
    int times_ = -1;
    std::string devicePath_;
    bool linkMade_ = false;

    std::deque<Segment> output_;
    Clock::time_point nextDue_{};
    bool writeBlocked_ = false;
    bool clientDone_ = false;  // the client sent its last byte; it leaves once answered
    long commands_ = 0;
    bool hangupPending_ = false;
    Clock::time_point hangupAt_{};
    Clock::time_point lastWriteDone_{};
};

}  // namespace vxsim
