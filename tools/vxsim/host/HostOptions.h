#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "vxsim/core/MeterModel.h"

namespace vxsim {

// Command-line options of the vxsim program. Every option is optional.
struct HostOptions {
    Model model = Model::VX480;
    char terminator = '\n';
    std::string replyTerminator;  // empty: the command terminator
    int baud = 9600;
    std::string recordPath;
    std::string timesPath;
    std::string linkPath;
    // --listen: serve on TCP at this address instead of a pseudo-terminal.
    std::optional<std::string> listenHost;
    std::uint16_t listenPort = 0;  // 0: any free port
    std::uint64_t noiseStart = 1;
    // Time the meter takes to start a reply once a query has arrived.
    int replyDelayMs = 0;

    // Faults for testing the program's error handling.
    bool silent = false;
    int pieces = 1;
    std::optional<long> hangupAfter;
    bool garbage = false;
    std::optional<std::size_t> floodBytes;
};

struct ParsedOptions {
    HostOptions options;
    std::string error;  // empty when the command line was good
    bool help = false;
};

ParsedOptions parseOptions(const std::vector<std::string_view>& arguments);
std::string usageText();

}  // namespace vxsim
