#include "Framing.h"

namespace comm::framing {

QByteArray commandLine(const QString& text, const QString& terminator) {
    return (text + terminator).toLatin1();
}

}  // namespace comm::framing
