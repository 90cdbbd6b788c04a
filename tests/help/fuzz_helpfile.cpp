// libFuzzer target for the help file reader; built by scripts/fuzz.sh help.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "help/HelpFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    const auto parse = vx::help::parseHelp(bytes);
    if (!parse.entries.empty() && parse.entries.front().kind != vx::help::EntryKind::Topic) {
        __builtin_trap();
    }
    std::size_t sum = 0;
    for (const auto& entry : parse.entries) {
        const auto range = vx::help::parseRange(entry.range);
        if (range && (range->last >= size || range->first > range->last + 1)) {
            __builtin_trap();
        }
        for (const std::uint8_t b : vx::help::rangeBytes(bytes, entry.range)) {
            sum += b;
        }
    }
    // Arbitrary range texts, as a damaged tag would hold, against the same bytes.
    const std::string_view text(reinterpret_cast<const char*>(data), size < 24 ? size : 24);
    for (const std::uint8_t b : vx::help::rangeBytes(bytes, text)) {
        sum += b;
    }
    return sum == 1 ? 1 : 0;
}
