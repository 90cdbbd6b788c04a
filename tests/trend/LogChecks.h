#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "logread/LogReader.h"

// What must hold for a log read from any bytes at all; shared by the fuzzer
// and by the test that replays its saved inputs. Standard library only, so
// the fuzzer builds without Qt.
namespace logtest {

inline std::string fingerprint(const vx::logread::LogContents& c) {
    std::string text = std::to_string(c.bytes) + ' ' + std::to_string(c.lines) + ' ' +
                       std::to_string(c.readings) + ' ' + std::to_string(c.badLines) + ' ' +
                       std::to_string(c.firstBadLine) + ' ' + std::to_string(c.sessionsLeftOut) +
                       ' ' + std::to_string(c.readingsLeftOut) + '\n';
    for (const vx::logread::Session& s : c.sessions) {
        text += s.header + '|' + std::to_string(s.line) + ' ' + std::to_string(s.readings) + ' ' +
                std::to_string(s.primary.count()) + ' ' + std::to_string(s.primary.gaps()) + ' ' +
                std::to_string(s.secondary.count()) + ' ' + std::to_string(s.series.width()) + ' ' +
                std::to_string(s.series.buckets().size()) + '\n';
    }
    return text;
}

inline vx::logread::LogContents readInPieces(std::string_view bytes, std::size_t piece) {
    vx::logread::LogReader reader;
    for (std::size_t i = 0; i < bytes.size(); i += piece) {
        reader.feed(bytes.substr(i, piece));
    }
    return reader.finish();
}

// The first rule the contents break, or an empty text.
inline std::string brokenRule(std::string_view bytes, const vx::logread::LogContents& c) {
    if (c.bytes != static_cast<std::int64_t>(bytes.size())) {
        return "bytes counted";
    }
    if (c.badLines > c.lines || (c.badLines > 0) != (c.firstBadLine > 0) ||
        c.firstBadLine > c.lines) {
        return "bad line count";
    }
    if (c.sessions.size() > vx::logread::kMaxSessions) {
        return "sessions kept";
    }
    std::int64_t readings = c.readingsLeftOut;
    std::size_t slices = 0;
    for (const vx::logread::Session& s : c.sessions) {
        readings += s.readings;
        if (s.header.size() > vx::logread::kMaxHeaderLength || s.line < 1 || s.line > c.lines) {
            return "session header";
        }
        if (s.primary.count() + s.primary.gaps() != s.readings) {
            return "primary figures";
        }
        const auto& buckets = s.series.buckets();
        slices += buckets.size();
        if (buckets.size() > vx::logread::kMaxSlices) {
            return "slices of a session";
        }
        vx::logread::Stats primary;
        vx::logread::Stats secondary;
        for (std::size_t i = 0; i < buckets.size(); ++i) {
            if (i > 0 && buckets[i - 1].index >= buckets[i].index) {
                return "slice order";
            }
            const vx::logread::Stats& p = buckets[i].primary;
            if (p.count() + p.gaps() == 0) {
                return "empty slice";
            }
            if (p.count() > 0 && !(p.min() <= p.max())) {
                return "slice extremes";
            }
            primary.merge(p);
            secondary.merge(buckets[i].secondary);
        }
        if (primary.count() != s.primary.count() || primary.gaps() != s.primary.gaps() ||
            primary.overloads() != s.primary.overloads() ||
            secondary.count() != s.secondary.count() || secondary.gaps() != s.secondary.gaps()) {
            return "slices against session";
        }
        if (s.primary.count() > 0 &&
            (primary.max() != s.primary.max() || primary.min() != s.primary.min())) {
            return "extremes of the slices";
        }
    }
    if (readings != c.readings) {
        return "readings per session";
    }
    if (slices > vx::logread::kSliceBudget &&
        slices > c.sessions.size() * vx::logread::kMinSlices) {
        return "slice budget";
    }
    return {};
}

}  // namespace logtest
