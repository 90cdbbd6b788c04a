#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <chrono>
#include <memory>

class QProcess;
class QTemporaryDir;

namespace vxsim {

// Runs the vxsim program for tests and benchmarks: starts it with the given options, waits for
// the device path it prints, and stops it again (at the latest when destroyed). The program is
// taken from the environment variable VXSIM, else from beside the running binary.
class SimProcess : public QObject {
    Q_OBJECT

public:
    enum class Recording { Off, TempFile };

    explicit SimProcess(QObject* parent = nullptr);
    ~SimProcess() override;

    // Starts the simulator; false (with errorString()) when it does not print its device path
    // within the timeout. With Recording::TempFile it records into a file of a temporary
    // directory that lives as long as this object.
    bool start(const QStringList& options = {}, Recording recording = Recording::TempFile,
               std::chrono::milliseconds timeout = std::chrono::seconds(5));

    QString devicePath() const { return devicePath_; }
    QString recordPath() const { return recordPath_; }
    // The bytes the simulator has received so far, as recorded.
    QByteArray recorded() const;
    QString errorString() const { return error_; }

    bool isRunning() const;
    // Waits, bounded, for the simulator to end by itself (the hang-up fault).
    bool waitForExit(std::chrono::milliseconds timeout);
    int exitCode() const;
    QByteArray standardError() const;

    // Ends the simulator with SIGTERM, and kills it if it does not end within two seconds.
    void stop();

    static QString programPath();

private:
    QProcess* process_ = nullptr;
    std::unique_ptr<QTemporaryDir> tempDir_;
    QString devicePath_;
    QString recordPath_;
    QString error_;
    QByteArray stderr_;
};

}  // namespace vxsim
