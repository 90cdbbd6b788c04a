#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vx::help {

// Where the header of a help file ends and its delimiters sit, counted from 1.
inline constexpr std::size_t kFirstDelimiterPosition = 241;
inline constexpr std::size_t kDelimiterCount = 6;
inline constexpr std::size_t kMinimumFileSize = kFirstDelimiterPosition + kDelimiterCount - 1;
inline constexpr std::size_t kBodyPosition = 289;

enum class EntryKind : std::uint8_t { Topic, Subtopic };

// One node of the contents tree, in file order. A subtopic belongs to the most
// recent topic before it. `range` is empty or "first,last" (byte positions
// counted from 1, last < first for an empty block).
struct HelpEntry {
    EntryKind kind = EntryKind::Topic;
    std::string title;  // raw single-byte characters, as stored
    std::string range;

    bool operator==(const HelpEntry&) const = default;
};

struct HelpParse {
    std::vector<HelpEntry> entries;
    std::string error;  // empty when the bytes could be read as a help file

    bool ok() const { return error.empty(); }
};

// Reads the contents tree out of the whole bytes of a help file.
HelpParse parseHelp(std::span<const std::uint8_t> bytes);

// A range text read back: first and last byte position, counted from 1.
struct ByteRange {
    std::size_t first = 0;
    std::size_t last = 0;

    bool operator==(const ByteRange&) const = default;
};

// Reads "first,last": each part is read as a decimal number from its leading
// characters (other text reads as 0) and rounded to a whole number. Empty text
// gives nothing.
std::optional<ByteRange> parseRange(std::string_view rangeText);

// The bytes a range text names, cut to the positions the file has.
std::span<const std::uint8_t> rangeBytes(std::span<const std::uint8_t> bytes,
                                         std::string_view rangeText);

struct FileBytes {
    std::vector<std::uint8_t> bytes;
    std::string error;  // why the file could not be read, empty on success

    bool ok() const { return error.empty(); }
};

// Reads a whole file in one piece.
FileBytes readFileBytes(const std::string& path);

}  // namespace vx::help
