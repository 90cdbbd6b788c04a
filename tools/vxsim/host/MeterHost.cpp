#include "vxsim/host/MeterHost.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace vxsim {

namespace {

std::string systemError(std::string_view what) {
    return std::string(what) + ": " + std::strerror(errno);
}

MeterConfig meterConfig(const HostOptions& options) {
    MeterConfig config;
    config.model = options.model;
    config.terminator = options.terminator;
    config.replyTerminator = options.replyTerminator;
    config.noiseStart = options.noiseStart;
    return config;
}

struct BaudConstant {
    int baud;
    speed_t constant;
};

constexpr std::array kBaudConstants{
    BaudConstant{600, B600},       BaudConstant{1200, B1200},   BaudConstant{2400, B2400},
    BaudConstant{4800, B4800},     BaudConstant{9600, B9600},   BaudConstant{19200, B19200},
    BaudConstant{38400, B38400},   BaudConstant{57600, B57600}, BaudConstant{115200, B115200},
    BaudConstant{230400, B230400},
};

// The times file gets one line per command; bytes that would break the line (the terminators,
// tabs, other control bytes) are written as \xNN, and so is the backslash itself.
std::string printable(std::string_view text) {
    std::string out;
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F || c == '\\') {
            std::array<char, 5> hex{};
            std::snprintf(hex.data(), hex.size(), "\\x%02X", u);
            out += hex.data();
        } else {
            out += c;
        }
    }
    return out;
}

int openAppend(const std::string& path) {
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
}

}  // namespace

MeterHost::MeterHost(HostOptions options)
    : options_(std::move(options)),
      model_(meterConfig(options_)),
      splitter_(options_.terminator),
      charTime_(std::chrono::nanoseconds(10'000'000'000LL / options_.baud)) {}

MeterHost::~MeterHost() {
    closeAll();
}

std::string MeterHost::open() {
    sigset_t mask;
    sigemptyset(&mask);
    sigaddset(&mask, SIGTERM);
    sigaddset(&mask, SIGINT);
    sigaddset(&mask, SIGHUP);
    if (sigprocmask(SIG_BLOCK, &mask, nullptr) != 0) {
        return systemError("blocking signals");
    }
    signals_ = signalfd(-1, &mask, SFD_NONBLOCK | SFD_CLOEXEC);
    if (signals_ < 0) {
        return systemError("signalfd");
    }
    ::signal(SIGPIPE, SIG_IGN);

    if (auto error = options_.listenHost ? openListener() : openPseudoTerminal(); !error.empty()) {
        return error;
    }
    if (!options_.recordPath.empty() && (record_ = openAppend(options_.recordPath)) < 0) {
        return systemError("opening " + options_.recordPath);
    }
    if (!options_.timesPath.empty() && (times_ = openAppend(options_.timesPath)) < 0) {
        return systemError("opening " + options_.timesPath);
    }
    if (!options_.linkPath.empty()) {
        // A link left behind by an earlier run that was killed is replaced; anything else at
        // that path is not ours to remove.
        struct stat st {};
        if (lstat(options_.linkPath.c_str(), &st) == 0) {
            if (!S_ISLNK(st.st_mode)) {
                return options_.linkPath + " exists and is not a symbolic link";
            }
            ::unlink(options_.linkPath.c_str());
        }
        if (symlink(devicePath_.c_str(), options_.linkPath.c_str()) != 0) {
            return systemError("linking " + options_.linkPath);
        }
        linkMade_ = true;
    }
    return {};
}

std::string MeterHost::openPseudoTerminal() {
    line_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (line_ < 0) {
        return systemError("posix_openpt");
    }
    if (grantpt(line_) != 0 || unlockpt(line_) != 0) {
        return systemError("grantpt/unlockpt");
    }
    std::array<char, 256> name{};
    if (ptsname_r(line_, name.data(), name.size()) != 0) {
        return systemError("ptsname_r");
    }
    devicePath_ = name.data();
    fcntl(line_, F_SETFL, fcntl(line_, F_GETFL) | O_NONBLOCK);
    fcntl(line_, F_SETFD, FD_CLOEXEC);

    slave_ = ::open(devicePath_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave_ < 0) {
        return systemError("opening " + devicePath_);
    }
    // Raw line: no echo, no CR/LF translation, no signals from typed characters; 8N1.
    termios tio{};
    if (tcgetattr(slave_, &tio) != 0) {
        return systemError("tcgetattr");
    }
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    speed_t speed = B9600;
    for (const auto& entry : kBaudConstants) {
        if (entry.baud == options_.baud) {
            speed = entry.constant;
        }
    }
    cfsetispeed(&tio, speed);
    cfsetospeed(&tio, speed);
    if (tcsetattr(slave_, TCSANOW, &tio) != 0) {
        return systemError("tcsetattr");
    }

    return {};
}

std::string MeterHost::openListener() {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const std::string port = std::to_string(options_.listenPort);
    if (const int e = getaddrinfo(options_.listenHost->c_str(), port.c_str(), &hints, &found);
        e != 0) {
        return "listening on " + *options_.listenHost + ": " + gai_strerror(e);
    }
    std::string error = "listening on " + *options_.listenHost + ": no usable address";
    for (const addrinfo* a = found; a != nullptr && listener_ < 0; a = a->ai_next) {
        const int fd =
            ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0) {
            error = systemError("socket");
            continue;
        }
        const int on = 1;
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        if (::bind(fd, a->ai_addr, a->ai_addrlen) != 0 || ::listen(fd, kListenBacklog) != 0) {
            error = systemError("listening on " + *options_.listenHost + ":" + port);
            ::close(fd);
            continue;
        }
        listener_ = fd;
    }
    freeaddrinfo(found);
    if (listener_ < 0) {
        return error;
    }
    // The address actually bound, with the port the system chose for port 0.
    sockaddr_storage bound{};
    socklen_t length = sizeof bound;
    std::array<char, INET6_ADDRSTRLEN> text{};
    if (getsockname(listener_, reinterpret_cast<sockaddr*>(&bound), &length) != 0) {
        return systemError("getsockname");
    }
    if (bound.ss_family == AF_INET6) {
        const auto* in6 = reinterpret_cast<const sockaddr_in6*>(&bound);
        inet_ntop(AF_INET6, &in6->sin6_addr, text.data(), text.size());
        devicePath_ =
            "tcp://[" + std::string(text.data()) + "]:" + std::to_string(ntohs(in6->sin6_port));
    } else {
        const auto* in4 = reinterpret_cast<const sockaddr_in*>(&bound);
        inet_ntop(AF_INET, &in4->sin_addr, text.data(), text.size());
        devicePath_ =
            "tcp://" + std::string(text.data()) + ":" + std::to_string(ntohs(in4->sin_port));
    }
    return {};
}

// One client at a time: a second one is told so, in a line it can read, and closed.
void MeterHost::acceptClient() {
    const int fd = accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) {
        return;
    }
    if (line_ >= 0 || hangupPending_) {
        std::string busy(kBusyMessage);
        busy += model_.replyTerminator();
        [[maybe_unused]] const auto n = ::send(fd, busy.data(), busy.size(), MSG_NOSIGNAL);
        ::shutdown(fd, SHUT_RDWR);
        ::close(fd);
        return;
    }
    // Replies are paced byte by byte as on a serial line: send each as it is due.
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    line_ = fd;
}

// The client left (or its connection broke): what was queued for it is dropped, a command it
// left half-sent is forgotten, and the meter waits for the next client.
void MeterHost::dropClient() {
    if (line_ >= 0) {
        ::close(line_);
        line_ = -1;
    }
    output_.clear();
    writeBlocked_ = false;
    clientDone_ = false;
    splitter_ = LineSplitter(options_.terminator);
}

int MeterHost::run() {
    while (true) {
        std::array<pollfd, 3> fds{};
        fds[0] = {.fd = signals_, .events = POLLIN, .revents = 0};
        // A negative descriptor is skipped by poll: no client yet, or no listener.
        fds[1] = {.fd = line_,
                  .events = static_cast<short>(hangupPending_ || clientDone_ ? 0 : POLLIN),
                  .revents = 0};
        fds[2] = {.fd = listener_, .events = POLLIN, .revents = 0};
        if (writeBlocked_) {
            fds[1].events |= POLLOUT;
        }
        // Milliseconds, rounded up, so that a wake-up never comes before the next byte is due.
        int timeoutMs = -1;
        if (hangupPending_ && (output_.empty() || writeBlocked_)) {
            timeoutMs = static_cast<int>(kDrainCheck.count());
        } else if (!output_.empty() && !writeBlocked_) {
            timeoutMs = static_cast<int>(
                std::chrono::ceil<std::chrono::milliseconds>(untilNextByte()).count());
        }
        if (::poll(fds.data(), fds.size(), timeoutMs) < 0) {
            if (errno == EINTR) {
                continue;
            }
            std::perror("vxsim: poll");
            return 1;
        }
        if (fds[0].revents & POLLIN) {
            signalfd_siginfo info{};
            [[maybe_unused]] const auto n = ::read(signals_, &info, sizeof info);
            return 0;
        }
        if (fds[1].revents & POLLOUT) {
            writeBlocked_ = false;
        }
        if (fds[1].revents & POLLIN) {
            receive();
        } else if (fds[1].revents & (POLLHUP | POLLERR)) {
            if (listener_ >= 0) {
                dropClient();
            } else {
                // Cannot happen while we hold the slave open; stop instead of spinning on it.
                std::fprintf(stderr, "vxsim: pseudo-terminal hung up\n");
                return 1;
            }
        }
        pump();
        if (clientDone_ && output_.empty()) {
            dropClient();
        }
        // After the client that just left has been let go, so that one arriving right
        // behind it is not turned away.
        if (fds[2].revents & POLLIN) {
            acceptClient();
        }
        if (hangupPending_ && drained()) {
            hangUp();
            return 0;
        }
    }
}

void MeterHost::receive() {
    std::array<char, 4096> buffer{};
    while (!hangupPending_) {
        const ssize_t n = ::read(line_, buffer.data(), buffer.size());
        if (n <= 0) {
            // A client that closed (0) or whose connection broke leaves; a pseudo-terminal
            // master never reads 0 while we hold the slave.
            if (listener_ >= 0 && n == 0) {
                // The client has sent its last byte ("echo '*IDN?' | nc ..."): it still gets
                // the replies on their way, then the meter is free again.
                clientDone_ = true;
            } else if (listener_ >= 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
                dropClient();
            }
            return;
        }
        const std::string_view bytes(buffer.data(), static_cast<std::size_t>(n));
        appendFile(record_, bytes);
        for (const auto& line : splitter_.push(bytes)) {
            handleLine(line);
            if (hangupPending_) {
                // Bytes after the last served command are recorded but not acted on.
                return;
            }
        }
    }
}

void MeterHost::handleLine(const LineSplitter::Line& line) {
    if (times_ >= 0) {
        // steady_clock is CLOCK_MONOTONIC here.
        const long long ns =
            std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
                .count();
        appendFile(times_, std::to_string(ns) + '\t' + printable(line.text) + '\n');
    }
    std::optional<Reply> reply;
    if (line.overrun) {
        model_.reportOverrun();
    } else {
        reply = model_.execute(line.text);
    }
    if (reply && !options_.silent) {
        queueReply(*reply);
    }
    ++commands_;
    if (options_.hangupAfter && commands_ >= *options_.hangupAfter) {
        hangupPending_ = true;
        hangupAt_ = Clock::now();
    }
}

void MeterHost::queueReply(const Reply& reply) {
    if (reply.reading && options_.floodBytes) {
        std::string pattern = reply.text.empty() ? std::string("0") : reply.text;
        output_.push_back(Segment{.pattern = pattern, .length = *options_.floodBytes});
        return;
    }
    std::string framed = reply.text;
    if (options_.garbage) {
        framed += kGarbage;
    }
    framed += model_.replyTerminator();
    const std::size_t pieces = std::min<std::size_t>(options_.pieces, framed.size());
    const std::chrono::nanoseconds replyDelay = std::chrono::milliseconds(options_.replyDelayMs);
    std::size_t start = 0;
    for (std::size_t i = 0; i < pieces; ++i) {
        const std::size_t end = framed.size() * (i + 1) / pieces;
        const std::string piece = framed.substr(start, end - start);
        output_.push_back(Segment{
            .pattern = piece, .length = piece.size(), .gap = i == 0 ? replyDelay : kPieceGap});
        start = end;
    }
}

std::chrono::nanoseconds MeterHost::untilNextByte() const {
    const auto now = Clock::now();
    auto due = nextDue_;
    const Segment& front = output_.front();
    if (!front.started) {
        due = std::max(due, now + charTime_) + front.gap;
    }
    return std::max(std::chrono::nanoseconds(0),
                    std::chrono::duration_cast<std::chrono::nanoseconds>(due - now));
}

// Writes the bytes whose time has come: one character time after the previous one, as a serial
// line at the configured baud rate would deliver them.
void MeterHost::pump() {
    constexpr std::size_t kChunk = 4096;
    std::string chunk;
    while (!output_.empty() && !writeBlocked_ && line_ >= 0) {
        const auto now = Clock::now();
        Segment& segment = output_.front();
        if (!segment.started) {
            nextDue_ = std::max(nextDue_, now + charTime_) + segment.gap;
            segment.started = true;
        }
        if (nextDue_ > now) {
            return;
        }
        const auto due = static_cast<std::size_t>((now - nextDue_) / charTime_) + 1;
        const std::size_t count = std::min({due, segment.length - segment.sent, kChunk});
        chunk.clear();
        for (std::size_t i = 0; i < count; ++i) {
            chunk += segment.pattern[(segment.sent + i) % segment.pattern.size()];
        }
        const ssize_t n = listener_ >= 0 ? ::send(line_, chunk.data(), chunk.size(), MSG_NOSIGNAL)
                                         : ::write(line_, chunk.data(), chunk.size());
        if (n < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                writeBlocked_ = true;
                return;
            }
            if (listener_ >= 0) {
                dropClient();
                return;
            }
            std::perror("vxsim: write");
            output_.clear();
            return;
        }
        segment.sent += static_cast<std::size_t>(n);
        nextDue_ += charTime_ * n;
        if (static_cast<std::size_t>(n) < chunk.size()) {
            writeBlocked_ = true;
        }
        if (segment.sent >= segment.length) {
            output_.pop_front();
        }
    }
}

void MeterHost::appendFile(int fd, std::string_view bytes) {
    while (fd >= 0 && !bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            std::perror("vxsim: writing a log file");
            return;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

// A hang-up throws away what the far end has not read yet, so the last reply is given time to
// be read first (bounded: a far end that never reads is hung up on all the same). Bytes just
// written may not be counted as waiting yet, hence the short settling time first.
bool MeterHost::drained() {
    const auto now = Clock::now();
    if (now >= hangupAt_ + kDrainLimit) {
        return true;
    }
    if (!output_.empty()) {
        return false;
    }
    if (lastWriteDone_ == Clock::time_point{}) {
        lastWriteDone_ = now;
    }
    if (now < lastWriteDone_ + kDrainSettle) {
        return false;
    }
    if (listener_ >= 0) {
        // TCP delivers what is queued before the close.
        return true;
    }
    int waiting = 0;
    if (ioctl(slave_, FIONREAD, &waiting) != 0) {
        return true;
    }
    return waiting == 0;
}

// Closing both of our descriptors leaves the far end with a hung-up line: its reads return
// EIO (or end of file) and poll reports POLLHUP. A client on TCP sees the connection closed; what
// it sent last is read (and recorded) first, since closing over unread input would reset the
// connection and could throw away the last reply on its way.
void MeterHost::hangUp() {
    if (listener_ >= 0 && line_ >= 0) {
        std::array<char, 4096> buffer{};
        for (ssize_t n = 0; (n = ::read(line_, buffer.data(), buffer.size())) > 0;) {
            appendFile(record_, std::string_view(buffer.data(), static_cast<std::size_t>(n)));
        }
        ::shutdown(line_, SHUT_RDWR);
    }
    if (slave_ >= 0) {
        ::close(slave_);
        slave_ = -1;
    }
    if (line_ >= 0) {
        ::close(line_);
        line_ = -1;
    }
}

void MeterHost::closeAll() {
    hangUp();
    for (int* fd : {&listener_, &signals_, &record_, &times_}) {
        if (*fd >= 0) {
            ::close(*fd);
            *fd = -1;
        }
    }
    if (linkMade_) {
        std::array<char, 256> target{};
        const ssize_t n = readlink(options_.linkPath.c_str(), target.data(), target.size() - 1);
        if (n > 0 && std::string_view(target.data(), static_cast<std::size_t>(n)) == devicePath_) {
            ::unlink(options_.linkPath.c_str());
        }
        linkMade_ = false;
    }
}

}  // namespace vxsim
