#include "logread/LogReader.h"

#include <algorithm>
#include <cstring>
#include <ctime>

namespace vx::logread {

namespace {

constexpr std::int64_t kMsPerSecond = 1000;

// Years a stamp may name: the epoch up to four digits.
constexpr int kFirstYear = 1970;
constexpr int kLastYear = 9999;

std::int64_t floorDiv(std::int64_t value, std::int64_t step) {
    const std::int64_t q = value / step;
    return (value % step != 0 && value < 0) ? q - 1 : q;
}

bool isLeap(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(int year, int month) {
    constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeap(year) ? 29 : kDays[month - 1];
}

// Digits at `text[pos, pos + count)` as a number, or -1.
int digitsAt(std::string_view text, std::size_t pos, std::size_t count) {
    int value = 0;
    for (std::size_t i = pos; i < pos + count; ++i) {
        const char c = text[i];
        if (c < '0' || c > '9') {
            return -1;
        }
        value = value * 10 + (c - '0');
    }
    return value;
}

// Local time to ms since the epoch. A log holds the readings of hours on end
// with the same date and hour, so the system's conversion runs once an hour of
// stamps; the minutes and seconds are added. Daylight saving starts and ends
// on the hour, so the offset of the hour holds for all of it.
class HourCache {
public:
    bool toMsecs(int year, int month, int day, int hour, std::int64_t& hourStart) {
        const std::int64_t key = ((std::int64_t(year) * 13 + month) * 32 + day) * 24 + hour;
        if (key != key_) {
            std::tm tm{};
            tm.tm_year = year - 1900;
            tm.tm_mon = month - 1;
            tm.tm_mday = day;
            tm.tm_hour = hour;
            tm.tm_isdst = -1;
            const std::time_t t = std::mktime(&tm);
            if (t == static_cast<std::time_t>(-1)) {
                return false;
            }
            key_ = key;
            start_ = static_cast<std::int64_t>(t) * kMsPerSecond;
        }
        hourStart = start_;
        return true;
    }

private:
    std::int64_t key_ = -1;
    std::int64_t start_ = 0;
};

thread_local HourCache hourCache;

bool isSpaceOrTab(char c) {
    return c == ' ' || c == '\t';
}

// Control bytes other than tab mark binary data, never a header.
bool looksLikeText(std::string_view line) {
    return std::none_of(line.begin(), line.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return (u < 0x20 && c != '\t') || u == 0x7f;
    });
}

}  // namespace

//   0         1
//   0123456789012345678
//   hh:mm:ss mm/dd/yyyy
bool readStamp(std::string_view text, std::int64_t& msecs) {
    while (!text.empty() && isSpaceOrTab(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isSpaceOrTab(text.back())) {
        text.remove_suffix(1);
    }
    if (text.size() != 19 || text[2] != ':' || text[5] != ':' || text[8] != ' ' ||
        text[11] != '/' || text[14] != '/') {
        return false;
    }
    const int hour = digitsAt(text, 0, 2);
    const int minute = digitsAt(text, 3, 2);
    const int second = digitsAt(text, 6, 2);
    const int month = digitsAt(text, 9, 2);
    const int day = digitsAt(text, 12, 2);
    const int year = digitsAt(text, 15, 4);
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 ||
        month < 1 || month > 12 || year < kFirstYear || year > kLastYear || day < 1 ||
        day > daysInMonth(year, month)) {
        return false;
    }
    std::int64_t hourStart = 0;
    if (!hourCache.toMsecs(year, month, day, hour, hourStart)) {
        return false;
    }
    msecs = hourStart + (std::int64_t(minute) * 60 + second) * kMsPerSecond;
    return true;
}

bool readReadingLine(std::string_view line, ReadingLine& out) {
    const std::size_t stamp = line.rfind(',');
    if (stamp == std::string_view::npos || !readStamp(line.substr(stamp + 1), out.at)) {
        return false;
    }
    out.values = line.substr(0, stamp);
    return true;
}

bool readValues(std::string_view text, std::size_t columns, ReadingValues& out) {
    out.count = 0;
    if (columns <= 2) {
        const std::size_t comma = text.find(',');
        out.values[out.count++] = readValue(text.substr(0, comma));
        if (comma != std::string_view::npos) {
            out.values[out.count++] = readValue(text.substr(comma + 1));
        }
        return true;
    }
    for (;;) {
        const std::size_t comma = text.find(',');
        if (out.count == columns || out.count == kMaxColumns) {
            return false;
        }
        out.values[out.count++] = readValue(text.substr(0, comma));
        if (comma == std::string_view::npos) {
            return out.count == columns;
        }
        text.remove_prefix(comma + 1);
    }
}

std::size_t sliceCost(std::size_t columns) {
    return std::max<std::size_t>(1, (columns + 1) / 2);
}

bool Series::add(std::int64_t at, std::span<const Value> values) {
    const std::int64_t index = floorDiv(at, width_);
    // Stamps nearly always come in order; a clock set back goes to its place.
    auto it = buckets_.end();
    if (buckets_.empty() || buckets_.back().index < index) {
        it = buckets_.end();
    } else if (buckets_.back().index == index) {
        it = buckets_.end() - 1;
    } else {
        it = std::lower_bound(buckets_.begin(), buckets_.end(), index,
                              [](const Bucket& b, std::int64_t i) { return b.index < i; });
    }
    const bool opened = it == buckets_.end() || it->index != index;
    if (opened) {
        it = buckets_.insert(it, Bucket{.index = index, .columns = std::vector<Stats>(columns_)});
    }
    for (std::size_t i = 0; i < values.size() && i < columns_; ++i) {
        it->columns[i].add(values[i], at);
    }
    return opened;
}

void Series::coarsenTo(std::size_t maxBuckets) {
    maxBuckets = std::max<std::size_t>(maxBuckets, 1);
    while (buckets_.size() > maxBuckets) {
        width_ *= 2;
        std::size_t kept = 0;
        for (std::size_t i = 0; i < buckets_.size(); ++i) {
            Bucket& bucket = buckets_[i];
            const std::int64_t index = floorDiv(bucket.index, 2);
            if (kept > 0 && buckets_[kept - 1].index == index) {
                for (std::size_t c = 0; c < columns_; ++c) {
                    buckets_[kept - 1].columns[c].merge(bucket.columns[c]);
                }
            } else {
                bucket.index = index;
                if (kept != i) {
                    buckets_[kept] = std::move(bucket);
                }
                ++kept;
            }
        }
        buckets_.resize(kept);
    }
    buckets_.shrink_to_fit();
}

void LogReader::feed(std::string_view bytes) {
    contents_.bytes += static_cast<std::int64_t>(bytes.size());
    while (!bytes.empty()) {
        const void* found = std::memchr(bytes.data(), '\n', bytes.size());
        const std::size_t length =
            found ? static_cast<std::size_t>(static_cast<const char*>(found) - bytes.data())
                  : bytes.size();
        const std::string_view piece = bytes.substr(0, length);
        // Only the first kMaxLineLength + 1 bytes of a line are ever held:
        // enough to know that it is too long.
        const bool whole = found != nullptr && carry_.empty() && !overlong_;
        if (!whole) {
            const std::size_t room = kMaxLineLength + 1 - carry_.size();
            carry_.append(piece.substr(0, room));
            overlong_ = overlong_ || piece.size() > room;
        }
        if (found == nullptr) {
            return;
        }
        if (whole) {
            readLine(piece, piece.size() > kMaxLineLength + 1);
        } else {
            readLine(carry_, overlong_);
            carry_.clear();
            overlong_ = false;
        }
        bytes.remove_prefix(length + 1);
    }
}

LogContents LogReader::finish() {
    if (!carry_.empty() || overlong_) {
        readLine(carry_, overlong_);
        carry_.clear();
        overlong_ = false;
    }
    LogContents done = std::move(contents_);
    contents_ = LogContents{};
    expectHeader_ = true;
    sessionKept_ = false;
    headerBad_ = false;
    sliceShare_ = kMaxSlices;
    sliceTotal_ = 0;
    return done;
}

void LogReader::readLine(std::string_view line, bool overlong) {
    ++contents_.lines;
    if (!line.empty() && line.back() == '\r') {
        line.remove_suffix(1);
    }
    if (overlong || line.size() > kMaxLineLength) {
        badLine();
        return;
    }
    if (line.empty()) {
        expectHeader_ = true;
        headerBad_ = false;
        return;
    }
    if (headerBad_) {
        badLine();
        return;
    }
    ReadingLine reading;
    const bool isReading = readReadingLine(line, reading);
    if (expectHeader_) {
        if (!isReading && !looksLikeText(line)) {
            badLine();
            return;
        }
        // More titles than a session keeps: its lines could not be read either.
        if (!isReading && std::size_t(std::count(line.begin(), line.end(), ',')) >= kMaxColumns) {
            headerBad_ = true;
            badLine();
            return;
        }
        // A reading where the header belongs starts a session without one.
        startSession(isReading ? std::string_view() : line);
        expectHeader_ = false;
        if (!isReading) {
            return;
        }
    } else if (!isReading) {
        badLine();
        return;
    }
    addReading(reading);
}

void LogReader::startSession(std::string_view header) {
    if (contents_.sessions.size() >= kMaxSessions) {
        sessionKept_ = false;
        ++contents_.sessionsLeftOut;
        return;
    }
    Session session;
    session.header = std::string(header.substr(0, kMaxHeaderLength));
    session.line = contents_.lines;
    // "DC Voltage(V),Frequency(Hz)": the secondary display was on.
    session.hasSecondary = header.find(',') != std::string_view::npos;
    const auto titles = static_cast<std::size_t>(std::count(header.begin(), header.end(), ',')) + 1;
    if (titles > 2) {
        std::string_view rest = header;
        for (std::size_t i = 0; i < titles; ++i) {
            const std::size_t comma = rest.find(',');
            session.titles.emplace_back(rest.substr(0, std::min(comma, kMaxTitleLength)));
            rest.remove_prefix(comma == std::string_view::npos ? rest.size() : comma + 1);
        }
        session.columns.resize(titles);
        session.series = Series(titles);
    }
    contents_.sessions.push_back(std::move(session));
    sessionKept_ = true;
}

void LogReader::addReading(const ReadingLine& reading) {
    const std::size_t columns =
        sessionKept_ ? contents_.sessions.back().columns.size() : std::size_t(2);
    ReadingValues values;
    if (!readValues(reading.values, columns, values)) {
        badLine();
        return;
    }
    ++contents_.readings;
    if (!sessionKept_) {
        ++contents_.readingsLeftOut;
        return;
    }
    Session& session = contents_.sessions.back();
    if (session.readings == 0) {
        session.firstAt = reading.at;
    }
    ++session.readings;
    session.lastAt = reading.at;
    for (std::size_t i = 0; i < values.count; ++i) {
        session.columns[i].add(values.values[i], reading.at);
    }
    session.hasSecondary = session.hasSecondary || values.count > 1;
    const std::size_t cost = sliceCost(columns);
    const std::size_t before = session.series.buckets().size();
    if (session.series.add(reading.at, std::span(values.values.data(), values.count))) {
        sliceTotal_ += cost;
        const std::size_t limit = sliceLimit(session);
        if (session.series.buckets().size() > limit) {
            session.series.coarsenTo(limit);
            sliceTotal_ -= (before + 1 - session.series.buckets().size()) * cost;
        }
        keepWithinBudget();
    }
}

std::size_t LogReader::sliceLimit(const Session& session) const {
    return std::max(kMinSlices, sliceShare_ / sliceCost(session.columns.size()));
}

void LogReader::keepWithinBudget() {
    while (sliceTotal_ > kSliceBudget && sliceShare_ > kMinSlices) {
        sliceShare_ = std::max(kMinSlices, sliceShare_ / 2);
        sliceTotal_ = 0;
        for (Session& session : contents_.sessions) {
            session.series.coarsenTo(sliceLimit(session));
            sliceTotal_ += session.series.buckets().size() * sliceCost(session.columns.size());
        }
    }
}

void LogReader::badLine() {
    ++contents_.badLines;
    if (contents_.firstBadLine == 0) {
        contents_.firstBadLine = contents_.lines;
    }
}

}  // namespace vx::logread
