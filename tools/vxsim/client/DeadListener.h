#pragma once

#include <cstdint>

namespace vxsim {

// A device server that has stopped answering: a TCP listener on 127.0.0.1
// whose queue of connections waiting to be accepted is full, so that the
// system answers no further connection attempt at all (not even with a
// refusal) until the attempt gives up. Tests and benchmarks aim connection
// time limits at it.
class DeadListener {
public:
    DeadListener();
    ~DeadListener();
    DeadListener(const DeadListener&) = delete;
    DeadListener& operator=(const DeadListener&) = delete;

    // False when the listener or the connection that fills its queue could
    // not be made.
    bool isReady() const { return filler_ >= 0; }
    std::uint16_t port() const { return port_; }

private:
    int listener_ = -1;
    int filler_ = -1;
    std::uint16_t port_ = 0;
};

}  // namespace vxsim
