#include "vxsim/client/SimProcess.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace vxsim {

namespace {
constexpr std::chrono::seconds kStopTimeout{2};
}

SimProcess::SimProcess(QObject* parent) : QObject(parent), process_(new QProcess(this)) {}

SimProcess::~SimProcess() {
    stop();
}

QString SimProcess::programPath() {
    const QString fromEnvironment = qEnvironmentVariable("VXSIM");
    if (!fromEnvironment.isEmpty()) {
        return fromEnvironment;
    }
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("vxsim"));
}

bool SimProcess::start(const QStringList& options, Recording recording,
                       std::chrono::milliseconds timeout) {
    stop();
    devicePath_.clear();
    recordPath_.clear();
    error_.clear();
    stderr_.clear();
    QStringList arguments = options;
    if (recording == Recording::TempFile) {
        tempDir_ = std::make_unique<QTemporaryDir>();
        if (!tempDir_->isValid()) {
            error_ = QStringLiteral("cannot create a temporary directory");
            return false;
        }
        recordPath_ = tempDir_->filePath(QStringLiteral("received.bin"));
        arguments << QStringLiteral("--record") << recordPath_;
    }
    process_->setProgram(programPath());
    process_->setArguments(arguments);
    process_->start(QIODevice::ReadOnly);
    if (!process_->waitForStarted(static_cast<int>(timeout.count()))) {
        error_ = process_->errorString();
        return false;
    }
    // The first line of standard output is the device path.
    const QDeadlineTimer deadline(timeout);
    QByteArray output;
    while (!output.contains('\n')) {
        output += process_->readAllStandardOutput();
        if (output.contains('\n')) {
            break;
        }
        if (process_->state() != QProcess::Running || deadline.hasExpired()) {
            stderr_ += process_->readAllStandardError();
            error_ = QStringLiteral("vxsim printed no device path: ") +
                     QString::fromLocal8Bit(stderr_).trimmed();
            stop();
            return false;
        }
        process_->waitForReadyRead(static_cast<int>(deadline.remainingTime()));
    }
    devicePath_ = QString::fromLocal8Bit(output.left(output.indexOf('\n')));
    return true;
}

QByteArray SimProcess::recorded() const {
    QFile file(recordPath_);
    if (recordPath_.isEmpty() || !file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return file.readAll();
}

bool SimProcess::isRunning() const {
    return process_->state() != QProcess::NotRunning;
}

bool SimProcess::waitForExit(std::chrono::milliseconds timeout) {
    if (!isRunning()) {
        return true;
    }
    return process_->waitForFinished(static_cast<int>(timeout.count()));
}

int SimProcess::exitCode() const {
    return process_->exitCode();
}

QByteArray SimProcess::standardError() const {
    return stderr_ + process_->readAllStandardError();
}

void SimProcess::stop() {
    if (!isRunning()) {
        return;
    }
    process_->terminate();
    if (!process_->waitForFinished(static_cast<int>(
            std::chrono::duration_cast<std::chrono::milliseconds>(kStopTimeout).count()))) {
        process_->kill();
        process_->waitForFinished(static_cast<int>(
            std::chrono::duration_cast<std::chrono::milliseconds>(kStopTimeout).count()));
    }
    stderr_ += process_->readAllStandardError();
}

}  // namespace vxsim
