#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QString>

#include <sys/types.h>

#include <functional>

// Where vxlog's bytes go: standard output, standard error and the output
// file, each written with the system's own calls. A write that blocks (a
// FIFO or a pipe nobody reads, a full terminal) stays stoppable: SIGINT and
// SIGTERM interrupt it, and `stopping` tells the writer to give up rather
// than try again.
namespace vx::cli {

struct Written {
    qint64 bytes = 0;
    int error = 0;  // errno of the write that failed; 0 when all went out
    bool stopped = false;
};

// Writes all of `data` to `fd`, again after short writes and after signals,
// until `stopping()` says to give up.
Written writeAll(int fd, const QByteArray& data, const std::function<bool()>& stopping);

// A file descriptor as a write-only device (standard output and error).
class FdDevice final : public QIODevice {
public:
    FdDevice(int fd, std::function<bool()> stopping);
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override;

private:
    int fd_;
    std::function<bool()> stopping_;
};

// The output file, opened for appending. Every line reaches the system
// whole or not at all: a line cut short (disk full, file size limit) is
// taken back off the file, so the next one never runs into it.
class OutputFile {
public:
    enum class Status { Ok, Failed, Stopped };

    explicit OutputFile(std::function<bool()> stopping) : stopping_(std::move(stopping)) {}
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile();

    // Opens `path` for appending, created when missing. A FIFO waits here
    // for its reader, as long as no stop comes.
    Status open(const QString& path);
    // `line` and `end`.
    Status writeLine(const QByteArray& line, QByteArrayView end = "\r\n");
    void close();
    bool isOpen() const { return fd_ >= 0; }
    // The name no longer leads to the open file (moved away for rotation).
    bool moved() const;
    QString error() const { return error_; }

private:
    Status failed(int error);

    std::function<bool()> stopping_;
    QString path_;
    int fd_ = -1;
    bool regular_ = false;
    dev_t device_ = 0;
    ino_t inode_ = 0;
    QString error_;
};

}  // namespace vx::cli
