#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

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
        text += s.header + '|' + std::to_string(s.line) + ' ' + std::to_string(s.readings);
        for (const vx::logread::Stats& column : s.columns) {
            text += ' ' + std::to_string(column.count()) + '/' + std::to_string(column.gaps());
        }
        text += ' ' + std::to_string(s.series.width()) + ' ' +
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
    std::size_t fewest = 0;  // the slices no budget goes below
    for (const vx::logread::Session& s : c.sessions) {
        readings += s.readings;
        if (s.header.size() > vx::logread::kMaxHeaderLength || s.line < 1 || s.line > c.lines) {
            return "session header";
        }
        const std::size_t columns = s.columns.size();
        if (columns < 2 || columns > vx::logread::kMaxColumns || s.series.columns() != columns ||
            s.titles.size() != (s.channels() ? columns : 0)) {
            return "session columns";
        }
        for (const vx::logread::Stats& column : s.columns) {
            if (s.channels() ? column.count() + column.gaps() != s.readings
                             : column.count() + column.gaps() > s.readings) {
                return "column figures";
            }
        }
        if (s.primary().count() + s.primary().gaps() != s.readings) {
            return "primary figures";
        }
        const auto& buckets = s.series.buckets();
        const std::size_t cost = vx::logread::sliceCost(columns);
        slices += buckets.size() * cost;
        fewest += vx::logread::kMinSlices * cost;
        if (buckets.size() > vx::logread::kMaxSlices) {
            return "slices of a session";
        }
        std::vector<vx::logread::Stats> merged(columns);
        for (std::size_t i = 0; i < buckets.size(); ++i) {
            if (i > 0 && buckets[i - 1].index >= buckets[i].index) {
                return "slice order";
            }
            if (buckets[i].columns.size() != columns) {
                return "slice columns";
            }
            const vx::logread::Stats& p = buckets[i].columns[0];
            if (p.count() + p.gaps() == 0) {
                return "empty slice";
            }
            for (std::size_t k = 0; k < columns; ++k) {
                const vx::logread::Stats& figures = buckets[i].columns[k];
                if (figures.count() > 0 && !(figures.min() <= figures.max())) {
                    return "slice extremes";
                }
                merged[k].merge(figures);
            }
        }
        for (std::size_t k = 0; k < columns; ++k) {
            const vx::logread::Stats& whole = s.columns[k];
            if (merged[k].count() != whole.count() || merged[k].gaps() != whole.gaps() ||
                merged[k].overloads() != whole.overloads()) {
                return "slices against session";
            }
            if (whole.count() > 0 &&
                (merged[k].max() != whole.max() || merged[k].min() != whole.min())) {
                return "extremes of the slices";
            }
        }
    }
    if (readings != c.readings) {
        return "readings per session";
    }
    if (slices > vx::logread::kSliceBudget && slices > fewest) {
        return "slice budget";
    }
    return {};
}

}  // namespace logtest
