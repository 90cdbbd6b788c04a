#pragma once

#include <cstddef>
#include <cstdint>
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
// The time stamp is what follows the last comma. Before it, one value or the
// primary and secondary values joined by the meter's comma. A value that is
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
// halved, down to kMinSlices.
inline constexpr std::size_t kMaxSlices = 16'384;
inline constexpr std::size_t kSliceBudget = 131'072;
inline constexpr std::size_t kMinSlices = 8;
// Time stamps count whole seconds.
inline constexpr std::int64_t kStampResolutionMs = 1000;

// The readings of one time slice [index * width, (index + 1) * width) ms.
struct Bucket {
    std::int64_t index = 0;
    Stats primary;
    Stats secondary;  // empty for readings without a secondary value
};

// The readings of one session reduced to time slices, in time order.
class Series {
public:
    // Adds one reading; true when it opened a new slice.
    bool add(std::int64_t at, const Value& primary, const Value* secondary);
    // Doubles the width of the slices, merging neighbours, until at most
    // `maxBuckets` remain.
    void coarsenTo(std::size_t maxBuckets);

    std::int64_t width() const { return width_; }
    const std::vector<Bucket>& buckets() const { return buckets_; }

private:
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
    Stats primary;
    Stats secondary;
    Series series;
};

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

// One reading line read: the stamp as ms since the epoch (local time).
struct ReadingLine {
    std::int64_t at = 0;
    Value primary;
    Value secondary;
    bool hasSecondary = false;
};

// Reads one line (without its line end) as a reading; false when it is not one.
bool readReadingLine(std::string_view line, ReadingLine& out);

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
    void badLine();
    void keepWithinBudget();

    LogContents contents_;
    std::string carry_;  // the start of a line cut by the end of a piece
    bool overlong_ = false;
    bool expectHeader_ = true;  // at the start and after an empty line
    bool sessionKept_ = false;  // the current session is in contents_.sessions
    std::size_t sliceShare_ = kMaxSlices;
    std::size_t sliceTotal_ = 0;
};

}  // namespace vx::logread
