#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "logread/Stats.h"
#include "logread/Values.h"

// Reading a log file back, as a stream of bytes in any pieces.
//
// The file is single-byte text, lines ended by CR LF (LF alone is read the
// same). Logging appends one session each time it starts: an empty line, a
// header line naming the columns, then one line per reading, the reply of the
// meter followed by a comma and the local time stamp:
//
//   <empty>
//   DC Voltage(V),Frequency(Hz)
//   +1.50012E+00,+1.00001E+03,14:05:09 09/22/2016
//   +9.90000E+37,+1.00002E+03,14:05:10 09/22/2016      (an overload)
//   +1.50013E+00,14:05:11 09/22/2016                    (secondary display off)
//
// A log of several meters (vxlog --meter) names one column per channel, each
// title led by the channel's name, and leaves a field empty where a meter
// gave nothing:
//
//   V: DC Voltage(V),I: DC Current(A),P,E
//   +1.50123E+00,+1.20300E-02,0.018059797,0,12:21:07 12/08/2026
//   +1.50122E+00,,,,12:21:08 12/08/2026
//
// The time stamp is what follows the last comma. Before it, under a header of
// one or two titles, one value or the primary and secondary values joined by
// the meter's comma; under a header of three titles or more, one field per
// title (a line with another number of fields is bad). A value that is
// not a number or is an overload is a gap, not a bad line; a line is bad when
// it has no time stamp that reads as a real date and time (a line cut short
// by a crash, garbage, text of another program). Bad lines are counted and
// skipped; the rest of the file is still read.
//
// Readings are not kept one by one: each session keeps its readings reduced
// to time slices (Bucket), each with the figures, minimum and maximum of the
// readings in it, so that memory depends on the number of slices, not on the
// length of the file. A session starts with one slice per second of stamps
// (the stamps' resolution, so nothing is merged) and doubles the width of its
// slices whenever it holds more than its share.
namespace vx::logread {

// Longer lines are bad and are not held in memory.
inline constexpr std::size_t kMaxLineLength = 1024;
// Header texts are shown in a list; longer ones are cut.
inline constexpr std::size_t kMaxHeaderLength = 200;
// Sessions after these are counted, not kept.
inline constexpr std::size_t kMaxSessions = 10'000;
// Slices of one session, and of all sessions together. The last holds memory
// for slices to about 30 MB; when it is reached, every session's share is
// halved, down to kMinSlices. A slice of a session of more than two columns
// counts as one slice per two columns, and its session keeps as many fewer.
inline constexpr std::size_t kMaxSlices = 16'384;
inline constexpr std::size_t kSliceBudget = 131'072;
inline constexpr std::size_t kMinSlices = 8;
// Columns of one session; a header with more titles is bad, and so are the
// lines under it.
inline constexpr std::size_t kMaxColumns = 16;
// Column titles of a session of several channels are kept to this length.
inline constexpr std::size_t kMaxTitleLength = 64;
// Time stamps count whole seconds.
inline constexpr std::int64_t kStampResolutionMs = 1000;

// The readings of one time slice [index * width, (index + 1) * width) ms.
// Its figures per column: primary and secondary (empty for readings without a
// secondary value), or one per channel of a log of several.
struct Bucket {
    std::int64_t index = 0;
    std::vector<Stats> columns;
};

// The readings of one session reduced to time slices, in time order.
class Series {
public:
    explicit Series(std::size_t columns = 2) : columns_(columns) {}

    // Adds one reading, its values in column order (fewer than the columns:
    // the rest are left alone); true when it opened a new slice.
    bool add(std::int64_t at, std::span<const Value> values);
    // Doubles the width of the slices, merging neighbours, until at most
    // `maxBuckets` remain.
    void coarsenTo(std::size_t maxBuckets);

    std::int64_t width() const { return width_; }
    std::size_t columns() const { return columns_; }
    const std::vector<Bucket>& buckets() const { return buckets_; }

private:
    std::size_t columns_;
    std::int64_t width_ = kStampResolutionMs;
    std::vector<Bucket> buckets_;
};

struct Session {
    std::string header;     // as written, cut to kMaxHeaderLength; empty when it had none
    std::int64_t line = 0;  // line number of the header, or of its first reading
    std::int64_t readings = 0;
    std::int64_t firstAt = 0;  // ms since the epoch of the first and last reading, in file order
    std::int64_t lastAt = 0;
    bool hasSecondary = false;  // the header names two columns, or a reading had two values
    // The figures of each column: primary and secondary, or one per title of a
    // header of more than two.
    std::vector<Stats> columns = std::vector<Stats>(2);
    // The titles of a header of more than two, each cut to kMaxTitleLength;
    // empty otherwise.
    std::vector<std::string> titles;
    Series series;

    const Stats& primary() const { return columns[0]; }
    const Stats& secondary() const { return columns[1]; }
    // A log of several channels, one column each.
    bool channels() const { return columns.size() > 2; }
};

// Budget slices one slice of a session with `columns` columns counts as.
std::size_t sliceCost(std::size_t columns);

struct LogContents {
    std::vector<Session> sessions;
    std::int64_t bytes = 0;
    std::int64_t lines = 0;
    std::int64_t readings = 0;
    std::int64_t badLines = 0;
    std::int64_t firstBadLine = 0;     // line number, 0 when there is none
    std::int64_t sessionsLeftOut = 0;  // beyond kMaxSessions
    std::int64_t readingsLeftOut = 0;
};

// One reading line read: the stamp as ms since the epoch (local time), and
// the text of its values (all before the last comma).
struct ReadingLine {
    std::int64_t at = 0;
    std::string_view values;
};

// Reads one line (without its line end) as a reading; false when it is not one.
bool readReadingLine(std::string_view line, ReadingLine& out);

// The values of a reading line as its session reads them: primary and
// secondary (split at the first comma; `count` 1 without one) when `columns`
// is 2, otherwise one per field; false when the number of fields is not
// `columns`.
struct ReadingValues {
    std::array<Value, kMaxColumns> values;
    std::size_t count = 0;
};
bool readValues(std::string_view text, std::size_t columns, ReadingValues& out);

// "hh:mm:ss mm/dd/yyyy" (24-hour, local time) as ms since the epoch; false
// for anything else, an impossible date or time included.
bool readStamp(std::string_view text, std::int64_t& msecs);

class LogReader {
public:
    // The next bytes of the file; a line may be cut anywhere between calls.
    void feed(std::string_view bytes);
    // Reads a last line without a line end and hands over what was read.
    LogContents finish();

    const LogContents& contents() const { return contents_; }

private:
    void readLine(std::string_view line, bool overlong);
    void startSession(std::string_view header);
    void addReading(const ReadingLine& reading);
    std::size_t sliceLimit(const Session& session) const;
    void badLine();
    void keepWithinBudget();

    LogContents contents_;
    std::string carry_;  // the start of a line cut by the end of a piece
    bool overlong_ = false;
    bool expectHeader_ = true;  // at the start and after an empty line
    bool sessionKept_ = false;  // the current session is in contents_.sessions
    bool headerBad_ = false;    // the lines under a header of too many titles are bad too
    std::size_t sliceShare_ = kMaxSlices;
    std::size_t sliceTotal_ = 0;
};

}  // namespace vx::logread
