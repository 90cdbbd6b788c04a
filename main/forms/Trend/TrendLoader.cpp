#include "forms/Trend/TrendLoader.h"

#include <QDateTime>
#include <QThread>
#include <QTimer>

#include <chrono>

#include "log/DataLog.h"

namespace vx::forms {

using namespace std::chrono_literals;

namespace {

constexpr auto kProgressInterval = 100ms;

}  // namespace

// The thread reads the file and fills the job; the loader looks at the job's
// progress on a timer and takes the result when the thread ends.
struct TrendLoader::Job {
    QString path;
    logread::LoadProgress progress;
    logread::LogLoad result;
};

TrendLoader::TrendLoader(QObject* parent) : QObject(parent) {
    progressTimer_ = new QTimer(this);
    progressTimer_->setInterval(kProgressInterval);
    connect(progressTimer_, &QTimer::timeout, this, &TrendLoader::progressTimer_Timeout);
}

TrendLoader::~TrendLoader() {
    if (thread_ != nullptr) {
        job_->progress.cancel = true;
        thread_->wait();
        delete thread_;
    }
}

bool TrendLoader::start(const QString& path) {
    if (thread_ != nullptr) {
        return false;
    }
    path_ = path;
    job_ = std::make_shared<Job>();
    job_->path = path;
    thread_ = QThread::create(
        [job = job_] { job->result = logread::readLogFile(job->path, &job->progress); });
    connect(thread_, &QThread::finished, this, &TrendLoader::thread_Finished);
    progressTimer_->start();
    thread_->start();
    return true;
}

void TrendLoader::cancel() {
    if (job_ != nullptr) {
        job_->progress.cancel = true;
    }
}

logread::LogLoad TrendLoader::takeLoad() {
    if (job_ == nullptr || thread_ != nullptr) {
        return {};
    }
    const std::shared_ptr<Job> job = std::move(job_);
    return std::move(job->result);
}

void TrendLoader::progressTimer_Timeout() {
    if (job_ == nullptr) {
        return;
    }
    const qint64 total = job_->progress.total;
    const qint64 done = job_->progress.done;
    emit progress(total > 0 ? int(done * kProgressSteps / total) : 0);
}

void TrendLoader::thread_Finished() {
    progressTimer_->stop();
    thread_->wait();
    thread_->deleteLater();
    thread_ = nullptr;
    emit finished();
}

QStringList TrendLoader::sessionList(const logread::LogContents& contents) {
    QStringList items;
    int number = 0;
    for (const logread::Session& session : contents.sessions) {
        const QString header = session.header.empty() ? QStringLiteral("No header")
                                                      : QString::fromLatin1(session.header.c_str());
        const QString start =
            session.readings == 0
                ? QStringLiteral("no readings")
                : QStringLiteral("from %1, %2 readings")
                      .arg(log::logTimeStamp(QDateTime::fromMSecsSinceEpoch(session.firstAt)))
                      .arg(session.readings);
        items.append(QStringLiteral("%1: %2, %3").arg(++number).arg(header, start));
    }
    return items;
}

}  // namespace vx::forms
