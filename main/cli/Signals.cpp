#include "cli/Signals.h"

#include <QSocketNotifier>

#include <fcntl.h>
#include <unistd.h>
#include <array>
#include <cerrno>
#include <csignal>

namespace vx::cli {

namespace {

std::array<int, 2> gPipe{-1, -1};
volatile std::sig_atomic_t gStopPending = 0;

constexpr std::array kSignals{SIGINT, SIGTERM, SIGHUP};

extern "C" void onSignal(int number) {
    const int saved = errno;
    if (number != SIGHUP) {
        gStopPending = 1;
    }
    const auto byte = static_cast<unsigned char>(number);
    // A full pipe already holds a wake-up; losing this byte loses nothing.
    [[maybe_unused]] const ssize_t n = ::write(gPipe[1], &byte, 1);
    errno = saved;
}

}  // namespace

Signals::Signals(QObject* parent) : QObject(parent) {
    ::signal(SIGPIPE, SIG_IGN);
    ::signal(SIGXFSZ, SIG_IGN);
    gStopPending = 0;
    if (::pipe2(gPipe.data(), O_CLOEXEC | O_NONBLOCK) != 0) {
        return;
    }
    notifier_ = new QSocketNotifier(gPipe[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &Signals::readPipe);
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    for (int number : kSignals) {
        ::sigaction(number, &action, nullptr);
    }
}

Signals::~Signals() {
    for (int number : kSignals) {
        ::signal(number, SIG_DFL);
    }
    for (int& fd : gPipe) {
        if (fd >= 0) {
            ::close(fd);
            fd = -1;
        }
    }
}

bool Signals::stopPending() {
    return gStopPending != 0;
}

void Signals::readPipe() {
    std::array<unsigned char, 64> bytes{};
    ssize_t n = 0;
    while ((n = ::read(gPipe[0], bytes.data(), bytes.size())) > 0) {
        for (ssize_t i = 0; i < n; ++i) {
            if (bytes[static_cast<std::size_t>(i)] == SIGHUP) {
                Q_EMIT reopenRequested();
            } else {
                Q_EMIT stopRequested(bytes[static_cast<std::size_t>(i)]);
            }
        }
    }
}

}  // namespace vx::cli
