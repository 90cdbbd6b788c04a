#include "help/HelpFile.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

namespace vx::help {

namespace {

enum class Mark : std::uint8_t {
    None,
    TopicOpen,
    TopicClose,
    SubOpen,
    SubClose,
    TextOpen,
    TextClose
};

constexpr std::array kMarksInOrder{Mark::TopicOpen, Mark::TopicClose, Mark::SubOpen,
                                   Mark::SubClose,  Mark::TextOpen,   Mark::TextClose};

std::string positionText(std::size_t first, std::size_t last) {
    std::string text = std::to_string(first);
    text += ',';
    text += std::to_string(last);
    return text;
}

// Reads the leading decimal number of a part of a range text: optional blanks,
// digits, an optional fraction; rounded half to even. Anything else reads as 0.
std::size_t leadingNumber(std::string_view part) {
    std::size_t i = 0;
    while (i < part.size() && part[i] == ' ') {
        ++i;
    }
    double value = 0;
    for (; i < part.size() && part[i] >= '0' && part[i] <= '9'; ++i) {
        value = value * 10 + (part[i] - '0');
    }
    if (i < part.size() && part[i] == '.') {
        double scale = 0.1;
        for (++i; i < part.size() && part[i] >= '0' && part[i] <= '9'; ++i) {
            value += (part[i] - '0') * scale;
            scale /= 10;
        }
    }
    constexpr double kLargest = 1e18;
    return static_cast<std::size_t>(std::nearbyint(std::min(value, kLargest)));
}

}  // namespace

// Help file layout. Positions count from 1, as the range texts of the tree do.
//
//   | Positions | Content                                    |
//   |-----------|--------------------------------------------|
//   | 1-240     | free (our files carry a name line there)   |
//   | 241       | D1  topic title opens                      |
//   | 242       | D2  topic title closes                     |
//   | 243       | D3  subtopic title opens                   |
//   | 244       | D4  subtopic title closes                  |
//   | 245       | D5  subtopic text opens                    |
//   | 246       | D6  subtopic text closes                   |
//   | 247-288   | free                                       |
//   | 289-n     | body                                       |
//
// Body: D1 title D2, then its subtopics, each D3 title D4 with an optional
// D5 text D6. Every body byte is tested against D1..D6 in that order and the
// first equal delimiter counts. D1, D3 and D5 all set the one shared marker
// `start` to the next position; D2 and D4 take their title from `start` up to
// the byte before them; D6 gives the current subtopic the range "start,p-1"
// (a later D6 replaces it). Text is never copied while scanning.
//
// Bodies that break the pattern are read without leaving the file: a close
// delimiter before any open one is ignored, a subtopic before any topic is
// dropped together with its text, and a text block before the first subtopic
// of a topic is ignored (it does not overwrite the previous topic's last
// subtopic). A file shorter than 246 bytes has no delimiters and is an error;
// one of 246 to 288 bytes has an empty body.
HelpParse parseHelp(std::span<const std::uint8_t> bytes) {
    HelpParse result;
    if (bytes.size() < kMinimumFileSize) {
        result.error = "the file is " + std::to_string(bytes.size()) +
                       " bytes long, too short for a help file (at least " +
                       std::to_string(kMinimumFileSize) + " bytes)";
        return result;
    }
    if (bytes.size() < kBodyPosition) {
        return result;  // delimiters but no body
    }

    // What each byte value means in the body: the first of D1..D6 that it
    // equals, so a value listed twice keeps its earlier role.
    std::array<Mark, 256> markOf{};
    for (std::size_t i = kDelimiterCount; i-- > 0;) {
        markOf[bytes[kFirstDelimiterPosition - 1 + i]] = kMarksInOrder[i];
    }

    const std::uint8_t* const data = bytes.data();
    std::size_t start = 0;  // position after the last open delimiter, 0 before any
    bool haveTopic = false;
    std::size_t currentSub = 0;  // index into entries + 1, 0 for none
    auto titleUpTo = [&](std::size_t p) {
        return start > p - 1
                   ? std::string{}
                   : std::string(reinterpret_cast<const char*>(data + start - 1), p - start);
    };

    const std::size_t size = bytes.size();
    for (std::size_t p = kBodyPosition; p <= size; ++p) {
        // Text bytes mean nothing: pass over them in a tight loop.
        while (p <= size && markOf[data[p - 1]] == Mark::None) {
            ++p;
        }
        if (p > size) {
            break;
        }
        switch (markOf[data[p - 1]]) {
            case Mark::None:
                break;
            case Mark::TopicOpen:
            case Mark::SubOpen:
            case Mark::TextOpen:
                start = p + 1;
                break;
            case Mark::TopicClose:
                if (start != 0) {
                    result.entries.push_back({EntryKind::Topic, titleUpTo(p), {}});
                    haveTopic = true;
                    currentSub = 0;
                }
                break;
            case Mark::SubClose:
                if (start != 0) {
                    if (haveTopic) {
                        result.entries.push_back({EntryKind::Subtopic, titleUpTo(p), {}});
                        currentSub = result.entries.size();
                    } else {
                        currentSub = 0;
                    }
                }
                break;
            case Mark::TextClose:
                if (start != 0 && currentSub != 0) {
                    result.entries[currentSub - 1].range = positionText(start, p - 1);
                }
                break;
        }
    }
    return result;
}

std::optional<ByteRange> parseRange(std::string_view rangeText) {
    if (rangeText.empty()) {
        return std::nullopt;
    }
    const auto comma = rangeText.find(',');
    const auto firstPart = rangeText.substr(0, comma);
    const auto lastPart =
        comma == std::string_view::npos ? std::string_view{} : rangeText.substr(comma + 1);
    return ByteRange{leadingNumber(firstPart), leadingNumber(lastPart)};
}

std::span<const std::uint8_t> rangeBytes(std::span<const std::uint8_t> bytes,
                                         std::string_view rangeText) {
    const auto range = parseRange(rangeText);
    if (!range || bytes.empty()) {
        return {};
    }
    const std::size_t first = std::max<std::size_t>(range->first, 1);
    const std::size_t last = std::min(range->last, bytes.size());
    if (first > last) {
        return {};
    }
    return bytes.subspan(first - 1, last - first + 1);
}

FileBytes readFileBytes(const std::string& path) {
    FileBytes result;
    errno = 0;
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                               &std::fclose);
    if (!file) {
        result.error = std::strerror(errno != 0 ? errno : EIO);
        return result;
    }
    // A directory opens on some systems and then fails to read; its size is no
    // use for reserving.
    std::error_code sizeError;
    const auto size = std::filesystem::file_size(path, sizeError);
    if (!sizeError) {
        result.bytes.reserve(static_cast<std::size_t>(size));
    }
    std::array<std::uint8_t, 64 * 1024> chunk{};
    for (;;) {
        const std::size_t got = std::fread(chunk.data(), 1, chunk.size(), file.get());
        result.bytes.insert(result.bytes.end(), chunk.begin(), chunk.begin() + got);
        if (got < chunk.size()) {
            break;
        }
    }
    if (std::ferror(file.get()) != 0) {
        result.error = std::strerror(errno != 0 ? errno : EIO);
        result.bytes.clear();
    }
    return result;
}

}  // namespace vx::help
