#include <cstdio>
#include <string_view>
#include <vector>

#include "vxsim/host/HostOptions.h"
#include "vxsim/host/MeterHost.h"

int main(int argc, char** argv) {
    const std::vector<std::string_view> arguments(argv + 1, argv + argc);
    const auto parsed = vxsim::parseOptions(arguments);
    if (parsed.help) {
        std::fputs(vxsim::usageText().c_str(), stdout);
        return 0;
    }
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "vxsim: %s\n%s", parsed.error.c_str(), vxsim::usageText().c_str());
        return 2;
    }
    vxsim::MeterHost host(parsed.options);
    if (const auto error = host.open(); !error.empty()) {
        std::fprintf(stderr, "vxsim: %s\n", error.c_str());
        return 1;
    }
    std::printf("%s\n", host.devicePath().c_str());
    std::fflush(stdout);
    return host.run();
}
