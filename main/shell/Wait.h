#pragma once

#include <functional>

namespace vx::timing {
class Clock;
}

namespace vx::shell {

// Returns once `clock` has passed the start time plus `seconds`, letting
// pending events run meanwhile. A wait of 0 seconds or less returns at once
// and runs no event. The wall clock is read again after every pass, so
// setting the system clock during a wait lengthens or shortens it.
// `abandon`, when given, is asked after every pass; true ends the wait early
// (used while the program is ending).
void waitSeconds(timing::Clock& clock, double seconds, const std::function<bool()>& abandon = {});

}  // namespace vx::shell
