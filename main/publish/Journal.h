#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <deque>
#include <optional>

// The local journal of what vxlog publishes: every reading is appended here
// before it is handed to the broker, and marked once the broker has
// acknowledged it, so neither a broker that goes away nor a restart of vxlog
// loses one.
//
// The file: "VXJRNL1\n", then entries, each a 32-bit length, the CRC-32 of
// the body and the body (all little-endian): a kind byte and a 64-bit
// sequence number, and for a reading its payload. Kinds: reading, acked
// (every reading up to that number is acknowledged), base (the last number
// given out before the file was rewritten). A power cut can leave a half
// written entry at the end: opening checks every entry and cuts the file at
// the first one that does not read whole, so nothing is ever mis-read.
//
// The file is bounded: when it would grow past its size it is rewritten with
// the readings not yet acknowledged, and when those alone fill it the
// oldest are dropped (the caller is told how many). The numbers go on across
// restarts, so a consumer that sees a number twice (QoS 1) drops the second.
namespace vx::publish {

class Journal {
public:
    struct Entry {
        qint64 sequence = 0;
        QByteArray payload;
    };

    Journal() = default;
    Journal(const Journal&) = delete;
    Journal& operator=(const Journal&) = delete;
    ~Journal();

    // Opens (or creates) `path`, at most `maxBytes` long, and takes it for
    // this process alone. False with `error` when it cannot be used: not a
    // journal, in use by another vxlog, not writable. `notes` gets what the
    // operator should know (a damaged end cut off).
    bool open(const QString& path, qint64 maxBytes, QString* error, QStringList* notes);
    void close();
    bool isOpen() const { return fd_ >= 0; }

    // Appends a reading and returns its sequence number; 0 with `error()`
    // when it could not be written (disk full). `dropped` counts the oldest
    // unacknowledged readings given up to make room.
    qint64 append(const QByteArray& payload, qint64* dropped = nullptr);
    // Forces what was appended to the disk (fdatasync). False on an error.
    bool sync();
    // The last sequence number on the disk for sure (after sync()).
    qint64 synced() const { return synced_; }
    qint64 last() const { return last_; }
    // The broker acknowledged `sequence`.
    void acknowledge(qint64 sequence);
    // The first unacknowledged reading after `sequence`, up to `upTo`.
    std::optional<Entry> next(qint64 sequence, qint64 upTo) const;
    // Readings not yet acknowledged.
    qint64 pending() const { return qint64(unacked_.size()); }
    qint64 size() const { return size_; }
    QString error() const { return error_; }
    QString path() const { return path_; }

private:
    struct Index {
        qint64 sequence;
        qint64 offset;  // of the payload
        qint32 length;
        bool acked;
    };
    bool write(char kind, qint64 sequence, const QByteArray& payload, qint64* offset);
    bool rewrite(qint64 keepBytes, qint64* dropped);
    void markAcked();
    bool failed(const QString& what, int error);

    QString path_;
    int fd_ = -1;
    qint64 maxBytes_ = 0;
    qint64 size_ = 0;
    qint64 last_ = 0;          // the last number given out
    qint64 synced_ = 0;        // the last number on the disk for sure
    qint64 ackedThrough_ = 0;  // every reading up to it is acknowledged
    qint64 ackMarked_ = 0;     // the last acked entry written
    bool dirty_ = false;
    std::deque<Index> unacked_;
    QString error_;
};

}  // namespace vx::publish
