#include "link/Framing.h"

#include <QList>

namespace vx::link::framing {

QByteArray commandLine(const QString& text, const QString& terminator) {
    return (text + terminator).toLatin1();
}

std::optional<char32_t> firstBeyondLatin1(const QString& text) {
    for (const char32_t c : text.toUcs4()) {
        if (c > 0xFF) {
            return c;
        }
    }
    return std::nullopt;
}

}  // namespace vx::link::framing
