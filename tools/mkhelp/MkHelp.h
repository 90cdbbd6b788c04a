#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace mkhelp {

// The readable help source, UTF-8 text, one directive or text line per line:
//
//   @# a comment line
//   @topic <title>          starts a topic
//   @subtopic <title>       starts a subtopic of the last topic
//   any other line          a line of the last subtopic's text
//   @@...                   a text line that begins with "@" (one "@" is dropped)
//
// The text box of the Help window wraps long lines, so text lines are
// reflowed: consecutive lines form one paragraph line (joined with a blank,
// indentation of the following lines dropped); a blank line stays an empty
// line; a line starting with "- " or a number and ". " starts a new list item
// (its indented continuation lines join it); a line starting with "|" is kept
// as it stands, without the "|" and one blank after it. Blank lines at the
// start and end of a subtopic's text are dropped; the lines are joined with
// CR LF, with no line break after the last one. A subtopic without text lines
// gets no text block. Every character must exist in Windows-1252, and control
// characters other than tab are refused (the delimiters of the help file are
// control bytes).

struct Subtopic {
    std::string title;                // Windows-1252 bytes
    std::optional<std::string> text;  // Windows-1252 bytes, CR LF line breaks
    bool operator==(const Subtopic&) const = default;
};

struct Topic {
    std::string title;
    std::vector<Subtopic> subtopics;
    bool operator==(const Topic&) const = default;
};

struct Source {
    std::vector<Topic> topics;
    bool operator==(const Source&) const = default;
};

struct SourceError {
    int line = 0;  // counted from 1
    std::string message;
};

std::variant<Source, SourceError> readSource(std::string_view utf8);

// The delimiter bytes our help files use, for positions 241 to 246.
inline constexpr std::uint8_t kTopicOpen = 0x01;
inline constexpr std::uint8_t kTopicClose = 0x02;
inline constexpr std::uint8_t kSubtopicOpen = 0x03;
inline constexpr std::uint8_t kSubtopicClose = 0x04;
inline constexpr std::uint8_t kTextOpen = 0x05;
inline constexpr std::uint8_t kTextClose = 0x06;

std::vector<std::uint8_t> writeHelpFile(const Source& source);

}  // namespace mkhelp
