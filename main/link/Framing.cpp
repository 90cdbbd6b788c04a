#include "link/Framing.h"

namespace vx::link::framing {

QByteArray commandLine(const QString& text, const QString& terminator) {
    return (text + terminator).toLatin1();
}

}  // namespace vx::link::framing
