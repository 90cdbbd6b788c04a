#include "vxsim/core/LineSplitter.h"

namespace vxsim {

LineSplitter::LineSplitter(char terminator, std::size_t limit)
    : terminator_(terminator), limit_(limit) {}

std::vector<LineSplitter::Line> LineSplitter::push(std::string_view bytes) {
    std::vector<Line> lines;
    while (!bytes.empty()) {
        const auto end = bytes.find(terminator_);
        const std::string_view part = bytes.substr(0, end);
        if (!overrun_) {
            if (pending_.size() + part.size() > limit_) {
                pending_.clear();
                overrun_ = true;
            } else {
                pending_.append(part);
            }
        }
        if (end == std::string_view::npos) {
            break;
        }
        lines.push_back(Line{.text = std::move(pending_), .overrun = overrun_});
        pending_.clear();
        overrun_ = false;
        bytes.remove_prefix(end + 1);
    }
    return lines;
}

}  // namespace vxsim
