// libFuzzer target for computed channels and limits; built by
// scripts/fuzz.sh calc. The bytes are read as the lines of CalcChecks.h;
// whatever reads is evaluated, and every rule there must hold.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "CalcChecks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    if (!calctest::brokenRule(bytes).empty()) {
        __builtin_trap();
    }
    return 0;
}
