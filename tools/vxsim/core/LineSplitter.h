#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace vxsim {

// Cuts the received byte stream into command lines at the terminator, which is not part of the
// line. Bytes may arrive in any pieces. A line longer than the input buffer is dropped whole and
// reported once, as an overrun, when its terminator finally arrives.
class LineSplitter {
public:
    struct Line {
        std::string text;
        bool overrun = false;
    };

    static constexpr std::size_t kDefaultLimit = 4096;

    explicit LineSplitter(char terminator, std::size_t limit = kDefaultLimit);

    std::vector<Line> push(std::string_view bytes);
    char terminator() const { return terminator_; }

private:
    char terminator_;
    std::size_t limit_;
    std::string pending_;
    bool overrun_ = false;
};

}  // namespace vxsim
