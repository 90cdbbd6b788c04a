#include "vxsim/host/HostOptions.h"

#include <array>
#include <charconv>
#include <limits>

namespace vxsim {

namespace {

template <typename T>
std::optional<T> integer(std::string_view text, T min, T max) {
    T value{};
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || ptr != text.data() + text.size() || value < min || value > max) {
        return std::nullopt;
    }
    return value;
}

std::optional<std::string> terminatorText(std::string_view text, bool allowPair) {
    if (text == "CR") {
        return "\r";
    }
    if (text == "LF") {
        return "\n";
    }
    if (allowPair && text == "CRLF") {
        return "\r\n";
    }
    return std::nullopt;
}

// Each setter returns an error text, empty when the value was good.
using Setter = std::string (*)(HostOptions&, std::string_view);

struct Option {
    std::string_view name;
    std::string_view value;  // name of the value in the usage text; empty for a switch
    std::string_view help;
    Setter set;
};

constexpr long kMaxBaud = 4000000;
constexpr std::string_view kDefaultListenHost = "127.0.0.1";

constexpr std::array kOptions{
    Option{"--model", "VX260|VX480", "meter model (default VX480)",
           [](HostOptions& o, std::string_view v) -> std::string {
               if (v == "VX260") {
                   o.model = Model::VX260;
               } else if (v == "VX480") {
                   o.model = Model::VX480;
               } else {
                   return "unknown model (VX260 or VX480)";
               }
               return {};
           }},
    Option{"--term", "CR|LF", "command terminator (default LF)",
           [](HostOptions& o, std::string_view v) -> std::string {
               const auto text = terminatorText(v, false);
               if (!text) {
                   return "terminator must be CR or LF";
               }
               o.terminator = text->front();
               return {};
           }},
    Option{"--baud", "N", "line speed; replies take 10 bits per character (default 9600)",
           [](HostOptions& o, std::string_view v) -> std::string {
               const auto baud = integer<long>(v, 50, kMaxBaud);
               if (!baud) {
                   return "baud rate must be a whole number from 50 to 4000000";
               }
               o.baud = static_cast<int>(*baud);
               return {};
           }},
    Option{"--record", "FILE", "append every received byte to FILE",
           [](HostOptions& o, std::string_view v) -> std::string {
               o.recordPath = v;
               return v.empty() ? "empty file name" : "";
           }},
    Option{"--times", "FILE", "append one line per command: monotonic ns, tab, command",
           [](HostOptions& o, std::string_view v) -> std::string {
               o.timesPath = v;
               return v.empty() ? "empty file name" : "";
           }},
    Option{"--link", "PATH", "symbolic link to the device, removed at exit",
           [](HostOptions& o, std::string_view v) -> std::string {
               o.linkPath = v;
               return v.empty() ? "empty link path" : "";
           }},
    Option{"--listen", "[HOST:]PORT",
           "serve on TCP, one client at a time (HOST 127.0.0.1 unless given; PORT 0: any free)",
           [](HostOptions& o, std::string_view v) -> std::string {
               // "4001", "127.0.0.1:4001", "[::1]:4001"
               std::string_view host = kDefaultListenHost;
               std::string_view port = v;
               if (const auto colon = v.rfind(':'); colon != std::string_view::npos) {
                   host = v.substr(0, colon);
                   port = v.substr(colon + 1);
                   if (host.size() >= 2 && host.front() == '[' && host.back() == ']') {
                       host = host.substr(1, host.size() - 2);
                   } else if (host.find(':') != std::string_view::npos) {
                       return "write an IPv6 address in brackets, [::1]:PORT";
                   }
               }
               const auto number = integer<long>(port, 0, 65535);
               if (host.empty() || !number) {
                   return "expected [HOST:]PORT with PORT from 0 to 65535";
               }
               o.listenHost = std::string(host);
               o.listenPort = static_cast<std::uint16_t>(*number);
               return {};
           }},
    Option{"--noise-start", "N", "starting value of the noise generator (default 1)",
           [](HostOptions& o, std::string_view v) -> std::string {
               const auto start =
                   integer<std::uint64_t>(v, 0, std::numeric_limits<std::uint64_t>::max());
               if (!start) {
                   return "noise start must be a whole number";
               }
               o.noiseStart = *start;
               return {};
           }},
    Option{"--reply-delay", "MS", "wait MS milliseconds before each reply (default 0)",
           [](HostOptions& o, std::string_view v) -> std::string {
               const auto ms = integer<int>(v, 0, 60000);
               if (!ms) {
                   return "reply delay must be a whole number of milliseconds from 0 to 60000";
               }
               o.replyDelayMs = *ms;
               return {};
           }},
    Option{"--silent", "", "fault: never answer",
           [](HostOptions& o, std::string_view) -> std::string {
               o.silent = true;
               return {};
           }},
    Option{"--pieces", "N", "fault: send each reply in N pieces with gaps",
           [](HostOptions& o, std::string_view v) -> std::string {
               const auto pieces = integer<int>(v, 1, 1000);
               if (!pieces) {
                   return "pieces must be a whole number from 1 to 1000";
               }
               o.pieces = *pieces;
               return {};
           }},
    Option{"--reply-term", "CR|LF|CRLF", "fault: end replies with another terminator",
           [](HostOptions& o, std::string_view v) -> std::string {
               const auto text = terminatorText(v, true);
               if (!text) {
                   return "reply terminator must be CR, LF or CRLF";
               }
               o.replyTerminator = *text;
               return {};
           }},
    Option{"--hangup-after", "N", "fault: hang up after N commands, then exit",
           [](HostOptions& o, std::string_view v) -> std::string {
               const auto count = integer<long>(v, 1, std::numeric_limits<long>::max());
               if (!count) {
                   return "command count must be a positive whole number";
               }
               o.hangupAfter = *count;
               return {};
           }},
    Option{"--garbage", "", "fault: garbage and NUL bytes before each reply terminator",
           [](HostOptions& o, std::string_view) -> std::string {
               o.garbage = true;
               return {};
           }},
    Option{"--no-terminator-flood", "BYTES", "fault: answer FETC? with BYTES bytes, no terminator",
           [](HostOptions& o, std::string_view v) -> std::string {
               const auto bytes =
                   integer<std::size_t>(v, 1, std::numeric_limits<std::size_t>::max());
               if (!bytes) {
                   return "flood size must be a positive whole number";
               }
               o.floodBytes = *bytes;
               return {};
           }},
};

}  // namespace

ParsedOptions parseOptions(const std::vector<std::string_view>& arguments) {
    ParsedOptions parsed;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        std::string_view argument = arguments[i];
        if (argument == "--help" || argument == "-h") {
            parsed.help = true;
            return parsed;
        }
        // Both "--baud 9600" and "--baud=9600".
        std::optional<std::string_view> inlineValue;
        if (const auto equals = argument.find('='); equals != std::string_view::npos) {
            inlineValue = argument.substr(equals + 1);
            argument = argument.substr(0, equals);
        }
        const Option* option = nullptr;
        for (const auto& candidate : kOptions) {
            if (candidate.name == argument) {
                option = &candidate;
            }
        }
        if (option == nullptr) {
            parsed.error = "unknown option " + std::string(arguments[i]);
            return parsed;
        }
        std::string_view value;
        if (!option->value.empty()) {
            if (inlineValue) {
                value = *inlineValue;
            } else if (i + 1 < arguments.size()) {
                value = arguments[++i];
            } else {
                parsed.error = std::string(argument) + " needs a value";
                return parsed;
            }
        } else if (inlineValue) {
            parsed.error = std::string(argument) + " takes no value";
            return parsed;
        }
        if (auto error = option->set(parsed.options, value); !error.empty()) {
            parsed.error = std::string(argument) + ": " + error;
            return parsed;
        }
    }
    if (parsed.options.listenHost && !parsed.options.linkPath.empty()) {
        parsed.error = "--link names a pseudo-terminal and cannot go with --listen";
    }
    return parsed;
}

std::string usageText() {
    std::string text =
        "usage: vxsim [options]\n"
        "Simulates a Velmora VX260/VX480 multimeter on a pseudo-terminal and prints "
        "the device path as the first line.\n"
        "With --listen it serves the meter on TCP, as a serial device server would, and "
        "prints tcp://HOST:PORT instead.\n";
    for (const auto& option : kOptions) {
        std::string left = "  " + std::string(option.name);
        if (!option.value.empty()) {
            left += ' ';
            left += option.value;
        }
        left.resize(std::max<std::size_t>(left.size() + 1, 34), ' ');
        text += left;
        text += option.help;
        text += '\n';
    }
    return text;
}

}  // namespace vxsim
