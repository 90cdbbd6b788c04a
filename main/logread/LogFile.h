#pragma once

#include <QString>

#include <atomic>
#include <cstdint>

#include "logread/LogReader.h"

namespace vx::logread {

// Shared between the thread that reads a file and the window that shows how
// far it got: bytes read so far, the file's size, and the operator's Cancel.
struct LoadProgress {
    std::atomic<std::int64_t> done{0};
    std::atomic<std::int64_t> total{0};
    std::atomic<bool> cancel{false};
};

enum class LoadOutcome {
    Read,        // sessions to show (perhaps with bad lines)
    Empty,       // 0 bytes, or nothing but empty lines
    Foreign,     // not one line of it is a reading
    Unreadable,  // missing, a folder, no permission, a read error
    Canceled,
};

struct LogLoad {
    LoadOutcome outcome = LoadOutcome::Unreadable;
    QString error;  // the system's reason when Unreadable
    LogContents contents;
};

// Reads the file at `path` in pieces of `chunkBytes`, checking `progress`'s
// Cancel between pieces. Memory stays within what LogReader keeps, whatever
// the size of the file.
LogLoad readLogFile(const QString& path, LoadProgress* progress = nullptr,
                    std::int64_t chunkBytes = 1 << 20);

// What the window tells the operator when a file cannot be shown, naming the
// file by `name`; empty for Read and Canceled.
QString problemText(const LogLoad& load, const QString& name);

// The line under the plot of a file that was read: bad lines skipped and
// sessions left out; empty when everything was read.
QString skippedText(const LogContents& contents);

}  // namespace vx::logread
