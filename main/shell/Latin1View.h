#pragma once

#include <QString>

#include <string_view>

namespace vx::shell {

// The program's tables hold their texts as single-byte string views; this
// makes a QString of one.
inline QString fromLatin1View(std::string_view s) {
    return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}

}  // namespace vx::shell
