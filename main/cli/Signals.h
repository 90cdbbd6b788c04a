#pragma once

#include <QObject>

class QSocketNotifier;

namespace vx::cli {

// SIGINT, SIGTERM and SIGHUP as events of the event loop. The handler only
// writes the signal's number into a pipe (the one thing a signal handler
// may safely do); a socket notifier on the other end reads it and emits
// the signal here, so the program reacts between two events, never in the
// middle of one, and nothing polls. SIGPIPE is ignored: a closed standard
// output shows as a failed write instead of killing the program.
class Signals : public QObject {
    Q_OBJECT
public:
    explicit Signals(QObject* parent = nullptr);
    ~Signals() override;

    bool ok() const { return notifier_ != nullptr; }

Q_SIGNALS:
    void stopRequested(int signal);  // SIGINT or SIGTERM
    void reopenRequested();          // SIGHUP

private:
    void readPipe();

    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace vx::cli
