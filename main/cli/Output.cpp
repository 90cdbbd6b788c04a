#include "cli/Output.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

namespace vx::cli {

Written writeAll(int fd, const QByteArray& data, const std::function<bool()>& stopping) {
    Written result;
    while (result.bytes < data.size()) {
        const ssize_t n = ::write(fd, data.constData() + result.bytes,
                                  static_cast<size_t>(data.size() - result.bytes));
        if (n > 0) {
            result.bytes += n;
            continue;
        }
        if (n < 0 && errno == EINTR) {
            if (stopping && stopping()) {
                result.stopped = true;
                return result;
            }
            continue;
        }
        result.error = n < 0 ? errno : EIO;
        return result;
    }
    return result;
}

FdDevice::FdDevice(int fd, std::function<bool()> stopping)
    : fd_(fd), stopping_(std::move(stopping)) {
    QIODevice::open(QIODevice::WriteOnly | QIODevice::Unbuffered);
}

qint64 FdDevice::writeData(const char* data, qint64 size) {
    const Written w = writeAll(fd_, QByteArray::fromRawData(data, size), stopping_);
    return w.bytes == size ? size : -1;
}

OutputFile::~OutputFile() {
    close();
}

OutputFile::Status OutputFile::failed(int error) {
    error_ = QString::fromLocal8Bit(std::strerror(error));
    return Status::Failed;
}

OutputFile::Status OutputFile::open(const QString& path) {
    close();
    const QByteArray name = QFile::encodeName(path);
    int fd = -1;
    do {
        fd = ::open(name.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR && !(stopping_ && stopping_()));
    if (fd < 0) {
        if (errno == EINTR) {
            error_ = QStringLiteral("stopped while waiting to open it");
            return Status::Stopped;
        }
        return failed(errno);
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        const int error = errno;
        ::close(fd);
        return failed(error);
    }
    if (S_ISDIR(info.st_mode)) {
        ::close(fd);
        return failed(EISDIR);
    }
    fd_ = fd;
    path_ = path;
    regular_ = S_ISREG(info.st_mode);
    device_ = info.st_dev;
    inode_ = info.st_ino;
    error_.clear();
    return Status::Ok;
}

OutputFile::Status OutputFile::writeLine(const QByteArray& line, QByteArrayView end) {
    if (fd_ < 0) {
        error_ = QStringLiteral("no output file is open");
        return Status::Failed;
    }
    const Written w = writeAll(fd_, line + end.toByteArray(), stopping_);
    if (w.error == 0 && !w.stopped) {
        return Status::Ok;
    }
    // A line cut short would run into whatever is appended next: take the
    // part that went in back off the file. The file is opened for appending,
    // so that part is its end (asked only now, not before every line).
    if (regular_ && w.bytes > 0) {
        if (const off_t size = ::lseek(fd_, 0, SEEK_END); size >= w.bytes) {
            [[maybe_unused]] const int ignored = ::ftruncate(fd_, size - w.bytes);
        }
    }
    if (w.stopped) {
        error_ = QStringLiteral("stopped while writing");
        return Status::Stopped;
    }
    return failed(w.error);
}

void OutputFile::close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

bool OutputFile::moved() const {
    struct stat info {};
    if (::stat(QFile::encodeName(path_).constData(), &info) != 0) {
        return true;
    }
    return info.st_dev != device_ || info.st_ino != inode_;
}

}  // namespace vx::cli
