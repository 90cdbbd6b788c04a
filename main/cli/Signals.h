#pragma once

#include <QObject>

class QSocketNotifier;

namespace vx::cli {

// SIGINT, SIGTERM and SIGHUP as events of the event loop. The handler only
// writes the signal's number into a pipe (the one thing a signal handler
// may safely do); a socket notifier on the other end reads it and emits
// the signal here, so the program reacts between two events, never in the
// middle of one, and nothing polls. The handlers do not restart system
// calls, so a write or an open that blocks returns at once. SIGPIPE and
// SIGXFSZ are ignored: a closed standard output and a file past the size
// limit show as failed writes instead of killing the program.
class Signals : public QObject {
    Q_OBJECT
public:
    explicit Signals(QObject* parent = nullptr);
    ~Signals() override;

    bool ok() const { return notifier_ != nullptr; }
    // True from the moment SIGINT or SIGTERM arrives, even while the event
    // loop is not running: a write blocked on a FIFO nobody reads is
    // interrupted by the signal and asks this before it tries again.
    static bool stopPending();

Q_SIGNALS:
    void stopRequested(int signal);  // SIGINT or SIGTERM
    void reopenRequested();          // SIGHUP

private:
    void readPipe();

    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace vx::cli
