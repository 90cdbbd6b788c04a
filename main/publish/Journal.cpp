#include "publish/Journal.h"

#include <QDir>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

namespace vx::publish {

namespace {

constexpr QByteArrayView kMagic = "VXJRNL1\n";
constexpr qint64 kMagicBytes = 8;
constexpr qint64 kHead = 8;           // length and CRC
constexpr qint64 kBodyHead = 9;       // kind and sequence number
constexpr qint64 kLongest = 1 << 24;  // no entry is longer: a length beyond is damage
// A journal whose readings are all acknowledged is started afresh once it
// is this long, so it does not sit at its full size for nothing.
constexpr qint64 kRestartAt = 1 << 20;

enum Kind : char { kReading = 'R', kAcked = 'A', kBase = 'B' };

constexpr std::array<quint32, 256> kCrcTable = [] {
    std::array<quint32, 256> table{};
    for (quint32 n = 0; n < 256; ++n) {
        quint32 c = n;
        for (int k = 0; k < 8; ++k) {
            c = (c & 1U) != 0 ? 0xEDB88320U ^ (c >> 1U) : c >> 1U;
        }
        table[n] = c;
    }
    return table;
}();

quint32 crc32(QByteArrayView data) {
    quint32 c = 0xFFFFFFFFU;
    for (const char byte : data) {
        c = kCrcTable[(c ^ quint8(byte)) & 0xFFU] ^ (c >> 8U);
    }
    return c ^ 0xFFFFFFFFU;
}

void put(QByteArray& out, quint64 value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out += char((value >> (8 * i)) & 0xFFU);
    }
}

quint64 get(const char* in, int bytes) {
    quint64 value = 0;
    for (int i = 0; i < bytes; ++i) {
        value |= quint64(quint8(in[i])) << (8 * i);
    }
    return value;
}

QByteArray entry(char kind, qint64 sequence, QByteArrayView payload) {
    QByteArray body;
    body.reserve(kBodyHead + payload.size());
    body += kind;
    put(body, quint64(sequence), 8);
    body += payload;
    QByteArray out;
    out.reserve(kHead + body.size());
    put(out, quint64(body.size()), 4);
    put(out, crc32(body), 4);
    return out + body;
}

bool writeAt(int fd, QByteArrayView data, qint64 offset, int* error) {
    qint64 done = 0;
    while (done < data.size()) {
        const ssize_t n =
            ::pwrite(fd, data.data() + done, std::size_t(data.size() - done), off_t(offset + done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            *error = n < 0 ? errno : ENOSPC;
            return false;
        }
        done += n;
    }
    return true;
}

bool readAt(int fd, char* data, qint64 size, qint64 offset) {
    qint64 done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd, data + done, std::size_t(size - done), off_t(offset + done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += n;
    }
    return true;
}

int openFile(const QString& path, int flags) {
    return ::open(QFile::encodeName(path).constData(), flags | O_CLOEXEC, 0600);
}

}  // namespace

Journal::~Journal() {
    close();
}

bool Journal::failed(const QString& what, int error) {
    error_ = QStringLiteral("%1 the journal %2: %3")
                 .arg(what, path_, QString::fromLocal8Bit(std::strerror(error)));
    return false;
}

bool Journal::open(const QString& path, qint64 maxBytes, QString* error, QStringList* notes) {
    close();
    path_ = path;
    maxBytes_ = maxBytes;
    const auto fail = [&](const QString& text) {
        close();
        if (error != nullptr) {
            *error = text;
        }
        return false;
    };
    QDir().mkpath(QFileInfo(path).absolutePath());
    fd_ = openFile(path, O_RDWR | O_CREAT);
    if (fd_ < 0) {
        failed(QStringLiteral("cannot open"), errno);
        return fail(error_);
    }
    if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        return fail(QStringLiteral("the journal %1 is in use by another vxlog").arg(path));
    }
    const off_t end = ::lseek(fd_, 0, SEEK_END);
    QByteArray magic(kMagicBytes, '\0');
    const bool whole = end >= kMagicBytes && readAt(fd_, magic.data(), kMagicBytes, 0);
    if (whole && magic != kMagic) {
        return fail(
            QStringLiteral("%1 is not a vxlog journal; name another with --journal").arg(path));
    }
    if (!whole) {
        // New, or cut short while it was being created.
        int e = 0;
        if (::ftruncate(fd_, 0) != 0 || !writeAt(fd_, kMagic, 0, &e)) {
            failed(QStringLiteral("cannot write"), e != 0 ? e : errno);
            return fail(error_);
        }
        size_ = kMagicBytes;
        return true;
    }
    qint64 at = kMagicBytes;
    QByteArray body;
    while (at < end) {
        char head[kHead];
        if (end - at < kHead || !readAt(fd_, head, kHead, at)) {
            break;
        }
        const qint64 length = qint64(get(head, 4));
        if (length < kBodyHead || length > kLongest || at + kHead + length > end) {
            break;
        }
        body.resize(length);
        if (!readAt(fd_, body.data(), length, at + kHead) || crc32(body) != get(head + 4, 4)) {
            break;
        }
        const qint64 sequence = qint64(get(body.constData() + 1, 8));
        const char kind = body.front();
        if (kind == kReading) {
            if (unacked_.empty() || sequence > unacked_.back().sequence) {
                unacked_.push_back(
                    {sequence, at + kHead + kBodyHead, qint32(length - kBodyHead), false});
            }
        } else if (kind == kAcked) {
            ackedThrough_ = std::max(ackedThrough_, sequence);
        } else if (kind != kBase) {
            break;
        }
        last_ = std::max(last_, sequence);
        at += kHead + length;
    }
    if (at < end) {
        if (::ftruncate(fd_, at) != 0) {
            failed(QStringLiteral("cannot cut the damaged end of"), errno);
            return fail(error_);
        }
        ::fdatasync(fd_);
        if (notes != nullptr) {
            *notes << QStringLiteral(
                          "the journal %1 ended in %2 bytes that do not read whole (a write cut "
                          "short); they were cut off")
                          .arg(path)
                          .arg(qint64(end) - at);
        }
    }
    size_ = at;
    while (!unacked_.empty() && unacked_.front().sequence <= ackedThrough_) {
        unacked_.pop_front();
    }
    ackMarked_ = ackedThrough_;
    synced_ = last_;
    qint64 dropped = 0;
    if (size_ > maxBytes_ || (unacked_.empty() && size_ > kRestartAt)) {
        if (!rewrite(maxBytes_ / 2, &dropped)) {
            return fail(error_);
        }
    }
    if (dropped > 0 && notes != nullptr) {
        *notes << QStringLiteral(
                      "the journal %1 was longer than its size: dropped the %2 oldest readings "
                      "the broker never acknowledged")
                      .arg(path)
                      .arg(dropped);
    }
    return true;
}

void Journal::close() {
    if (fd_ >= 0) {
        sync();
        ::close(fd_);
        fd_ = -1;
    }
    unacked_.clear();
    size_ = last_ = synced_ = ackedThrough_ = ackMarked_ = 0;
}

bool Journal::write(char kind, qint64 sequence, const QByteArray& payload, qint64* offset) {
    const QByteArray bytes = entry(kind, sequence, payload);
    int e = 0;
    if (!writeAt(fd_, bytes, size_, &e)) {
        // A part that went in would stand before the next entry.
        [[maybe_unused]] const int ignored = ::ftruncate(fd_, size_);
        return failed(QStringLiteral("cannot write to"), e);
    }
    if (offset != nullptr) {
        *offset = size_ + kHead + kBodyHead;
    }
    size_ += bytes.size();
    dirty_ = true;
    return true;
}

qint64 Journal::append(const QByteArray& payload, qint64* dropped) {
    if (fd_ < 0) {
        error_ = QStringLiteral("the journal is not open");
        return 0;
    }
    const qint64 bytes = kHead + kBodyHead + payload.size();
    if (size_ + bytes > maxBytes_ && !rewrite(maxBytes_ / 2 - bytes, dropped)) {
        return 0;
    }
    qint64 offset = 0;
    if (!write(kReading, last_ + 1, payload, &offset)) {
        return 0;
    }
    ++last_;
    unacked_.push_back({last_, offset, qint32(payload.size()), false});
    return last_;
}

bool Journal::sync() {
    if (fd_ < 0) {
        return false;
    }
    markAcked();
    if (dirty_ && ::fdatasync(fd_) != 0) {
        return failed(QStringLiteral("cannot write to"), errno);
    }
    dirty_ = false;
    synced_ = last_;
    return true;
}

void Journal::acknowledge(qint64 sequence) {
    const auto it =
        std::lower_bound(unacked_.begin(), unacked_.end(), sequence,
                         [](const Index& index, qint64 s) { return index.sequence < s; });
    if (it == unacked_.end() || it->sequence != sequence) {
        return;
    }
    it->acked = true;
    while (!unacked_.empty() && unacked_.front().acked) {
        ackedThrough_ = unacked_.front().sequence;
        unacked_.pop_front();
    }
    if (unacked_.empty() && size_ > kRestartAt) {
        rewrite(0, nullptr);
    }
}

void Journal::markAcked() {
    if (ackedThrough_ > ackMarked_ && write(kAcked, ackedThrough_, {}, nullptr)) {
        ackMarked_ = ackedThrough_;
    }
}

std::optional<Journal::Entry> Journal::next(qint64 sequence, qint64 upTo) const {
    auto it = std::upper_bound(unacked_.begin(), unacked_.end(), sequence,
                               [](qint64 s, const Index& index) { return s < index.sequence; });
    while (it != unacked_.end() && it->acked) {
        ++it;
    }
    if (it == unacked_.end() || it->sequence > upTo) {
        return std::nullopt;
    }
    Entry out{.sequence = it->sequence, .payload = QByteArray(it->length, '\0')};
    if (!readAt(fd_, out.payload.data(), it->length, it->offset)) {
        return std::nullopt;
    }
    return out;
}

// Writes the journal anew beside the old one with the readings not yet
// acknowledged that fit in `keepBytes` (the newest), then puts it in its
// place: the old file stays whole until the new one is on the disk.
bool Journal::rewrite(qint64 keepBytes, qint64* dropped) {
    qint64 kept = 0;
    auto first = unacked_.end();
    while (first != unacked_.begin()) {
        const auto before = std::prev(first);
        if (!before->acked) {
            const qint64 bytes = kHead + kBodyHead + before->length;
            if (kept + bytes > keepBytes) {
                break;
            }
            kept += bytes;
        }
        first = before;
    }
    const QString fresh = path_ + QStringLiteral(".new");
    const int fd = openFile(fresh, O_RDWR | O_CREAT | O_TRUNC);
    if (fd < 0) {
        return failed(QStringLiteral("cannot rewrite"), errno);
    }
    const qint64 lost =
        std::count_if(unacked_.begin(), first, [](const Index& i) { return !i.acked; });
    const qint64 newAcked = first == unacked_.end() ? last_ : first->sequence - 1;
    QByteArray out = kMagic.toByteArray() + entry(kBase, last_, {}) +
                     entry(kAcked, std::max(ackedThrough_, newAcked), {});
    std::deque<Index> index;
    for (auto it = first; it != unacked_.end(); ++it) {
        QByteArray payload(it->length, '\0');
        if (!readAt(fd_, payload.data(), it->length, it->offset)) {
            ::close(fd);
            return failed(QStringLiteral("cannot read"), EIO);
        }
        index.push_back({it->sequence, out.size() + kHead + kBodyHead, it->length, it->acked});
        out += entry(kReading, it->sequence, payload);
    }
    int e = 0;
    if (!writeAt(fd, out, 0, &e) || ::fdatasync(fd) != 0 || ::flock(fd, LOCK_EX | LOCK_NB) != 0 ||
        ::rename(QFile::encodeName(fresh).constData(), QFile::encodeName(path_).constData()) != 0) {
        e = e != 0 ? e : errno;
        ::close(fd);
        ::unlink(QFile::encodeName(fresh).constData());
        return failed(QStringLiteral("cannot rewrite"), e);
    }
    if (const int dir = openFile(QFileInfo(path_).absolutePath(), O_RDONLY | O_DIRECTORY);
        dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    ::close(fd_);
    fd_ = fd;
    size_ = out.size();
    unacked_ = std::move(index);
    ackedThrough_ = ackMarked_ = std::max(ackedThrough_, newAcked);
    while (!unacked_.empty() && unacked_.front().acked) {
        unacked_.pop_front();
    }
    synced_ = last_;
    dirty_ = false;
    if (dropped != nullptr) {
        *dropped = lost;
    }
    return true;
}

}  // namespace vx::publish
