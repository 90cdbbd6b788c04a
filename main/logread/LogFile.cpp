#include "logread/LogFile.h"

#include <QFile>
#include <QFileInfo>

#include <string_view>
#include <vector>

namespace vx::logread {

LogLoad readLogFile(const QString& path, LoadProgress* progress, std::int64_t chunkBytes) {
    LogLoad load;
    const QFileInfo info(path);
    if (info.isDir()) {
        load.error = QStringLiteral("it is a folder");
        return load;
    }
    // A device or a pipe has no end to read to.
    if (info.exists() && !info.isFile()) {
        load.error = QStringLiteral("it is not a regular file");
        return load;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        load.error = file.errorString();
        return load;
    }
    if (progress != nullptr) {
        progress->total = file.size();
    }
    LogReader reader;
    std::vector<char> buffer(static_cast<std::size_t>(std::max<std::int64_t>(chunkBytes, 1)));
    for (;;) {
        if (progress != nullptr && progress->cancel) {
            load.outcome = LoadOutcome::Canceled;
            return load;
        }
        const qint64 n = file.read(buffer.data(), static_cast<qint64>(buffer.size()));
        if (n < 0) {
            load.error = file.errorString();
            return load;
        }
        if (n == 0) {
            break;
        }
        reader.feed(std::string_view(buffer.data(), static_cast<std::size_t>(n)));
        if (progress != nullptr) {
            progress->done += n;
        }
    }
    load.contents = reader.finish();
    const LogContents& c = load.contents;
    // A log written by the program starts with an empty line; text without
    // a single reading that starts otherwise is some other file.
    const bool headerFirst = !c.sessions.empty() && c.sessions.front().line == 1;
    if (c.readings == 0 && (c.badLines > 0 || headerFirst)) {
        load.outcome = LoadOutcome::Foreign;
    } else if (c.sessions.empty() && c.sessionsLeftOut == 0) {
        load.outcome = LoadOutcome::Empty;
    } else {
        load.outcome = LoadOutcome::Read;
    }
    return load;
}

QString problemText(const LogLoad& load, const QString& name) {
    switch (load.outcome) {
        case LoadOutcome::Read:
        case LoadOutcome::Canceled:
            return {};
        case LoadOutcome::Unreadable:
            return QStringLiteral("The log file %1 could not be read: %2.").arg(name, load.error);
        case LoadOutcome::Empty:
            return QStringLiteral("The log file %1 is empty: it holds no session and no reading.")
                .arg(name);
        case LoadOutcome::Foreign:
            return QStringLiteral(
                       "%1 is not a log of readings: none of its %2 lines is a reading with its "
                       "time stamp (value, then hh:mm:ss mm/dd/yyyy).")
                .arg(name)
                .arg(load.contents.lines);
    }
    return {};
}

QString skippedText(const LogContents& contents) {
    QStringList parts;
    if (contents.badLines == 1) {
        parts << QStringLiteral("1 line could not be read and was skipped: line %1.")
                     .arg(contents.firstBadLine);
    } else if (contents.badLines > 1) {
        parts << QStringLiteral(
                     "%1 lines could not be read and were skipped; the first is line %2.")
                     .arg(contents.badLines)
                     .arg(contents.firstBadLine);
    }
    if (contents.sessionsLeftOut > 0) {
        parts << QStringLiteral(
                     "Only the first %1 sessions are listed; %2 more, with %3 readings, are not.")
                     .arg(kMaxSessions)
                     .arg(contents.sessionsLeftOut)
                     .arg(contents.readingsLeftOut);
    }
    return parts.join(QLatin1Char(' '));
}

}  // namespace vx::logread
