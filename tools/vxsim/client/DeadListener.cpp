#include "vxsim/client/DeadListener.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <initializer_list>

namespace vxsim {

DeadListener::DeadListener() {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    // A backlog of 0 holds one waiting connection: the filler below.
    if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(listener_, 0) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return;
    }
    port_ = ntohs(address.sin_port);
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        return;
    }
    ::connect(fd, reinterpret_cast<sockaddr*>(&address), length);
    pollfd pfd{.fd = fd, .events = POLLOUT, .revents = 0};
    int error = 0;
    socklen_t errorLength = sizeof error;
    if (::poll(&pfd, 1, 2000) != 1 ||
        ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &errorLength) != 0 || error != 0) {
        ::close(fd);
        return;
    }
    filler_ = fd;
}

DeadListener::~DeadListener() {
    for (const int fd : {filler_, listener_}) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

}  // namespace vxsim
