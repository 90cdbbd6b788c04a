// libFuzzer target for the log reader; built by scripts/fuzz.sh log.
// The first byte chooses the size of the pieces the rest is fed in; the
// result must be the same as feeding it whole, and must keep every rule of
// LogChecks.h.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "LogChecks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::size_t piece = data[0] % 17 + 1;
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    const vx::logread::LogContents whole = logtest::readInPieces(bytes, bytes.size() + 1);
    if (!logtest::brokenRule(bytes, whole).empty()) {
        __builtin_trap();
    }
    const vx::logread::LogContents pieces = logtest::readInPieces(bytes, piece);
    if (logtest::fingerprint(whole) != logtest::fingerprint(pieces)) {
        __builtin_trap();
    }
    return 0;
}
