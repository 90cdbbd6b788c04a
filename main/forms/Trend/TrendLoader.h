#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

#include "logread/LogFile.h"

class QThread;
class QTimer;

namespace vx::forms {

// Reads a log file on a worker thread for the Trend window: reports how far
// it got a few times a second, takes Cancel, and hands over what came of it.
// One file at a time.
class TrendLoader : public QObject {
    Q_OBJECT

public:
    // progress() counts from 0 to this.
    static constexpr int kProgressSteps = 1000;

    explicit TrendLoader(QObject* parent = nullptr);
    // Cancels a reading under way and waits for its thread.
    ~TrendLoader() override;

    // Starts reading `path`; false, and nothing changes, while a file is
    // being read.
    bool start(const QString& path);
    // Asks the reading to stop; finished() follows.
    void cancel();
    bool loading() const { return thread_ != nullptr; }

    // After finished(): the file read last and what came of it (read,
    // canceled, or why it could not be read). takeLoad() hands it over once.
    const QString& path() const { return path_; }
    logread::LogLoad takeLoad();

    // The list entries of a file's sessions, by header and start time:
    // "2: DC Voltage(V),Frequency(Hz), from 14:06:00 09/22/2016, 1 readings".
    static QStringList sessionList(const logread::LogContents& contents);

signals:
    // The share of the file read so far, 0 to kProgressSteps.
    void progress(int steps);
    // The reading ended; loading() is false again.
    void finished();

private:
    struct Job;

    void thread_Finished();
    void progressTimer_Timeout();

    QString path_;
    std::shared_ptr<Job> job_;
    QThread* thread_ = nullptr;
    QTimer* progressTimer_ = nullptr;
};

}  // namespace vx::forms
