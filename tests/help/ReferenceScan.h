#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "HelpFile.h"

// The scan written the plain way, one byte at a time with the delimiters tried
// D1..D6 in order, and the same rules for malformed bodies. The reader must
// give the same entries for any input.
namespace helptest {

inline std::vector<vxhelp::HelpEntry> referenceScan(std::span<const std::uint8_t> bytes) {
    std::vector<vxhelp::HelpEntry> entries;
    if (bytes.size() < vxhelp::kMinimumFileSize) {
        return entries;
    }
    const auto d = bytes.subspan(vxhelp::kFirstDelimiterPosition - 1, vxhelp::kDelimiterCount);
    std::size_t start = 0;
    bool haveTopic = false;
    std::size_t sub = 0;
    auto title = [&](std::size_t p) {
        std::string t;
        for (std::size_t k = start; k <= p - 1; ++k) {
            t.push_back(static_cast<char>(bytes[k - 1]));
        }
        return t;
    };
    for (std::size_t p = vxhelp::kBodyPosition; p <= bytes.size(); ++p) {
        std::size_t which = 0;  // 1..6: the first delimiter equal to the byte
        for (std::size_t i = 6; i >= 1; --i) {
            if (bytes[p - 1] == d[i - 1]) {
                which = i;
            }
        }
        if (which == 1 || which == 3 || which == 5) {
            start = p + 1;
        } else if (which == 2 && start != 0) {
            entries.push_back({vxhelp::EntryKind::Topic, title(p), {}});
            haveTopic = true;
            sub = 0;
        } else if (which == 4 && start != 0) {
            if (haveTopic) {
                entries.push_back({vxhelp::EntryKind::Subtopic, title(p), {}});
                sub = entries.size();
            } else {
                sub = 0;
            }
        } else if (which == 6 && start != 0 && sub != 0) {
            entries[sub - 1].range = std::to_string(start) + "," + std::to_string(p - 1);
        }
    }
    return entries;
}

}  // namespace helptest
