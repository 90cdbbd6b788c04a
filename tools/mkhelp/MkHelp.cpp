#include "mkhelp/MkHelp.h"

#include <algorithm>
#include <array>

#include "help/CodePage.h"

namespace mkhelp {

namespace {

constexpr std::string_view kCommentDirective = "@#";
constexpr std::string_view kTopicDirective = "@topic";
constexpr std::string_view kSubtopicDirective = "@subtopic";
constexpr std::string_view kEscape = "@@";
constexpr std::string_view kCrLf = "\r\n";
constexpr std::string_view kVerbatim = "|";

// The free header bytes 1 to 240 carry a name line so that the file is
// recognisable in a hex viewer; the program does not read them.
constexpr std::string_view kHeaderName = "VXMETER HELP FILE\r\n";
constexpr std::size_t kHeaderSize = 288;
constexpr std::size_t kDelimiterOffset = 240;

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) {
        s.remove_prefix(1);
    }
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) {
        s.remove_suffix(1);
    }
    return s;
}

std::string hex(char32_t ch) {
    constexpr std::string_view kDigits = "0123456789ABCDEF";
    std::string out;
    for (int shift = ch > 0xFFFF ? 20 : 12; shift >= 0; shift -= 4) {
        out.push_back(kDigits[(ch >> shift) & 0xF]);
    }
    return out;
}

// UTF-8 text to Windows-1252 bytes, or the reason it cannot be converted.
std::variant<std::string, std::string> toWindows1252(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        int extra = 0;
        char32_t ch = lead;
        if (lead >= 0xF0 && lead <= 0xF4) {
            extra = 3;
            ch = lead & 0x07;
        } else if (lead >= 0xE0) {
            extra = lead <= 0xEF ? 2 : -1;
            ch = lead & 0x0F;
        } else if (lead >= 0xC2) {
            extra = 1;
            ch = lead & 0x1F;
        } else if (lead >= 0x80) {
            extra = -1;
        }
        if (extra < 0 || i + static_cast<std::size_t>(extra) >= utf8.size()) {
            return std::variant<std::string, std::string>{std::in_place_index<1>,
                                                          "invalid UTF-8 text"};
        }
        for (int k = 1; k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(utf8[i + k]);
            if ((next & 0xC0) != 0x80) {
                return std::variant<std::string, std::string>{std::in_place_index<1>,
                                                              "invalid UTF-8 text"};
            }
            ch = (ch << 6) | (next & 0x3F);
        }
        if ((ch < 0x20 && ch != '\t') || ch == 0x7F) {
            return std::variant<std::string, std::string>{
                std::in_place_index<1>,
                "control character " + hex(ch) + " (help files use control bytes as delimiters)"};
        }
        const auto byte = vx::help::unicodeToWindows1252(ch);
        if (!byte) {
            return std::variant<std::string, std::string>{
                std::in_place_index<1>,
                "character U+" + hex(ch) + " does not exist in Windows-1252"};
        }
        out.push_back(static_cast<char>(*byte));
        i += static_cast<std::size_t>(extra) + 1;
    }
    return std::variant<std::string, std::string>{std::in_place_index<0>, std::move(out)};
}

bool startsListItem(std::string_view line) {
    if (line.starts_with("- ")) {
        return true;
    }
    std::size_t digits = 0;
    while (digits < line.size() && line[digits] >= '0' && line[digits] <= '9') {
        ++digits;
    }
    return digits > 0 && line.substr(digits).starts_with(". ");
}

// Reflows the source lines of one subtopic into the lines of its text (see
// MkHelp.h) and joins them with CR LF.
void finishText(std::vector<std::string>& lines, Subtopic* sub) {
    std::vector<std::string> out;
    bool joinable = false;  // the last output line is a paragraph or list line
    for (const std::string& raw : lines) {
        std::string_view line = raw;
        while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) {
            line.remove_suffix(1);
        }
        if (line.empty()) {
            out.emplace_back();
            joinable = false;
        } else if (line.starts_with(kVerbatim)) {
            line.remove_prefix(kVerbatim.size());
            if (line.starts_with(' ')) {
                line.remove_prefix(1);
            }
            out.emplace_back(line);
            joinable = false;
        } else if (joinable && !startsListItem(trimmed(line))) {
            out.back() += ' ';
            out.back() += trimmed(line);
        } else {
            out.emplace_back(line);
            joinable = true;
        }
    }
    while (!out.empty() && out.back().empty()) {
        out.pop_back();
    }
    if (sub != nullptr && !out.empty()) {
        std::string text;
        for (std::size_t i = 0; i < out.size(); ++i) {
            if (i != 0) {
                text += kCrLf;
            }
            text += out[i];
        }
        sub->text = std::move(text);
    }
    lines.clear();
}

bool isDirective(std::string_view line, std::string_view directive) {
    return line.starts_with(directive) &&
           (line.size() == directive.size() || line[directive.size()] == ' ' ||
            line[directive.size()] == '\t');
}

}  // namespace

std::variant<Source, SourceError> readSource(std::string_view utf8) {
    Source source;
    std::vector<std::string> lines;  // text lines of the current subtopic
    Subtopic* current = nullptr;
    int lineNumber = 0;
    auto fail = [&](std::string message) {
        return std::variant<Source, SourceError>{SourceError{lineNumber, std::move(message)}};
    };

    while (!utf8.empty()) {
        ++lineNumber;
        const auto eol = utf8.find('\n');
        std::string_view line = utf8.substr(0, eol);
        utf8.remove_prefix(eol == std::string_view::npos ? utf8.size() : eol + 1);
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }

        if (line.starts_with(kCommentDirective)) {
            continue;
        }
        const bool topic = isDirective(line, kTopicDirective);
        const bool subtopic = isDirective(line, kSubtopicDirective);
        if (topic || subtopic) {
            finishText(lines, current);
            auto title = toWindows1252(
                trimmed(line.substr((topic ? kTopicDirective : kSubtopicDirective).size())));
            if (title.index() == 1) {
                return fail(std::get<1>(title));
            }
            if (topic) {
                source.topics.push_back({std::get<0>(std::move(title)), {}});
                current = nullptr;
            } else {
                if (source.topics.empty()) {
                    return fail("@subtopic before the first @topic");
                }
                auto& subs = source.topics.back().subtopics;
                subs.push_back({std::get<0>(std::move(title)), std::nullopt});
                current = &subs.back();
            }
            continue;
        }
        if (line.starts_with(kEscape)) {
            line.remove_prefix(1);
        } else if (line.starts_with('@')) {
            return fail("unknown directive (write @@ for a text line that starts with @)");
        }
        auto text = toWindows1252(line);
        if (text.index() == 1) {
            return fail(std::get<1>(text));
        }
        if (current == nullptr) {
            if (trimmed(line).empty()) {
                continue;
            }
            return fail("text outside a subtopic");
        }
        if (!lines.empty() || !trimmed(line).empty()) {
            lines.push_back(std::get<0>(std::move(text)));
        }
    }
    finishText(lines, current);
    return source;
}

std::vector<std::uint8_t> writeHelpFile(const Source& source) {
    std::vector<std::uint8_t> out(kHeaderSize, 0);
    std::copy(kHeaderName.begin(), kHeaderName.end(), out.begin());
    constexpr std::array kDelimiters{kTopicOpen,     kTopicClose, kSubtopicOpen,
                                     kSubtopicClose, kTextOpen,   kTextClose};
    std::copy(kDelimiters.begin(), kDelimiters.end(), out.begin() + kDelimiterOffset);

    auto put = [&out](std::string_view bytes) {
        out.insert(out.end(), bytes.begin(), bytes.end());
    };
    // Each construct goes on lines of its own; the line breaks between them
    // are outside every construct and the reader skips them.
    for (const Topic& topic : source.topics) {
        out.push_back(kTopicOpen);
        put(topic.title);
        out.push_back(kTopicClose);
        put(kCrLf);
        for (const Subtopic& sub : topic.subtopics) {
            out.push_back(kSubtopicOpen);
            put(sub.title);
            out.push_back(kSubtopicClose);
            put(kCrLf);
            if (sub.text) {
                out.push_back(kTextOpen);
                put(*sub.text);
                out.push_back(kTextClose);
                put(kCrLf);
            }
        }
    }
    return out;
}

}  // namespace mkhelp
