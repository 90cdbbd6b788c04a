#pragma once

class QTextStream;

namespace vx::link {
class PortOpener;
}
namespace vx::timing {
class Clock;
}

namespace vx::check {

struct CheckOptions;

// Opens the COM port, identifies the meter with *IDN?, takes one reading with
// FETC? and closes the port again, with the framing the window uses. Prints
// the identification and the reading to `out`, and to `err` why the check
// failed. Returns 0 when the meter answered both, else 1.
int checkConnection(const CheckOptions& options, link::PortOpener& opener, timing::Clock& clock,
                    QTextStream& out, QTextStream& err);

}  // namespace vx::check
