#include "unst/LogUninstall.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStringDecoder>

#include <algorithm>

namespace unst {

namespace {

// A log is a short list of paths; anything larger is not one of ours.
constexpr qint64 kMaxLogBytes = 4 * 1024 * 1024;

// Where the log lies under the prefix, and the one listed symbolic link that
// may be removed: the launcher, a relative link into the program folder.
constexpr QLatin1StringView kProgramFolderName{"vxmeter"};
constexpr QLatin1StringView kLibFolderName{"lib"};
constexpr QLatin1StringView kLauncher{"bin/vxmeter"};

bool isAbsolute(const QString& path) {
    // QDir also calls ":/x" absolute (a Qt resource); a log never lists one.
    return !path.startsWith(u':') && QDir::isAbsolutePath(path);
}

QString underPrefix(const QString& prefix, const QString& relative) {
    return prefix.endsWith(u'/') ? prefix + relative : prefix + u'/' + relative;
}

bool isLink(const QFileInfo& info) {
    return info.isSymLink() || info.isJunction();
}

// True when some component after the root is empty, "." or "..": such a path
// may name something else than it seems to.
bool hasOddComponent(const QString& path, QString* reason) {
    const QStringList parts = path.split(u'/');
    for (qsizetype i = 1; i < parts.size(); ++i) {
        if (parts[i] == u"..") {
            *reason = QStringLiteral("contains '..'");
            return true;
        }
        if (parts[i].isEmpty() || parts[i] == u".") {
            *reason = QStringLiteral("is not a plain path (an empty or '.' component)");
            return true;
        }
    }
    return false;
}

enum class Verdict { Remove, Gone, Refuse };

struct Check {
    Verdict verdict = Verdict::Refuse;
    QString reason;
};

// Decides from the file system as it is now (lstat semantics: no link is
// followed) whether `entry` may be removed.
Check checkEntry(const QString& entry, const QString& prefix) {
    QString reason;
    if (hasOddComponent(entry, &reason)) {
        return {Verdict::Refuse, reason};
    }
    if (entry == prefix) {
        return {Verdict::Refuse, QStringLiteral("is the install prefix itself")};
    }
    const QString root = underPrefix(prefix, {});
    if (!entry.startsWith(root)) {
        return {Verdict::Refuse, QStringLiteral("lies outside the install prefix ") + prefix};
    }

    const QString relative = entry.mid(root.size());
    const QStringList parts = relative.split(u'/');
    QString at = root.chopped(1);
    for (qsizetype i = 0; i + 1 < parts.size(); ++i) {
        at += u'/' + parts[i];
        const QFileInfo folder(at);
        if (isLink(folder)) {
            return {Verdict::Refuse, QStringLiteral("passes through the symbolic link ") + at};
        }
        if (!folder.exists()) {
            return {Verdict::Gone, {}};
        }
        if (!folder.isDir()) {
            return {Verdict::Refuse, at + QStringLiteral(" is not a folder")};
        }
    }

    const QFileInfo file(entry);
    if (isLink(file)) {
        if (relative == kLauncher) {
            return {Verdict::Remove, {}};
        }
        return {Verdict::Refuse, QStringLiteral("is a symbolic link")};
    }
    if (!file.exists()) {
        return {Verdict::Gone, {}};
    }
    if (file.isDir()) {
        return {Verdict::Refuse, QStringLiteral("is a folder; the log lists files only")};
    }
    if (!file.isFile()) {
        return {Verdict::Refuse, QStringLiteral("is not a regular file")};
    }
    return {Verdict::Remove, {}};
}

// The folders between `entry` and the prefix, nearest first.
QStringList foldersAbove(const QString& entry, const QString& prefix) {
    QStringList folders;
    QString folder = QFileInfo(entry).path();
    while (folder.size() > prefix.size() && folder.startsWith(prefix)) {
        folders << folder;
        folder = QFileInfo(folder).path();
    }
    return folders;
}

// Removes each folder that is empty, deepest first, so that a parent emptied
// by its child's removal goes too.
void pruneFolders(QSet<QString> candidates, Outcome& out) {
    QStringList folders(candidates.begin(), candidates.end());
    std::sort(folders.begin(), folders.end(), [](const QString& a, const QString& b) {
        const auto depthA = a.count(u'/');
        const auto depthB = b.count(u'/');
        return depthA != depthB ? depthA > depthB : a < b;
    });
    for (const QString& folder : folders) {
        const QFileInfo info(folder);
        if (isLink(info) || !info.isDir()) {
            continue;
        }
        if (!QDir(folder).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden |
                                  QDir::System)) {
            out.notes << folder + QStringLiteral(": kept, not empty");
            continue;
        }
        if (QDir().rmdir(folder)) {
            ++out.removedFolders;
        } else {
            out.failures << folder + QStringLiteral(": the empty folder could not be removed");
        }
    }
}

Outcome unusable(Outcome out, const QString& why) {
    out.logUnusable = true;
    out.refusals << why;
    return out;
}

}  // namespace

ParsedLog parseLog(const QByteArray& bytes) {
    ParsedLog log;
    if (bytes.size() > kMaxLogBytes) {
        log.error = QStringLiteral("the log is larger than 4 MiB");
        return log;
    }
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(bytes);
    if (decoder.hasError()) {
        log.error = QStringLiteral("the log is not UTF-8 text");
        return log;
    }
    QStringList lines = text.split(u'\n');
    if (lines.last().isEmpty()) {
        lines.removeLast();  // the line end of the last line
    }
    if (lines.isEmpty()) {
        log.error = QStringLiteral("the log lists no files");
        return log;
    }
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString& line = lines[i];
        const QString where = QStringLiteral("line %1").arg(i + 1);
        if (line.isEmpty()) {
            log.error = where + QStringLiteral(" is empty");
            return log;
        }
        const bool control = std::any_of(line.begin(), line.end(), [](QChar c) {
            return c.unicode() < 0x20 || c.unicode() == 0x7f;
        });
        if (control) {
            log.error = where + QStringLiteral(" holds a control character");
            return log;
        }
        if (!isAbsolute(line)) {
            log.error = where + QStringLiteral(" is not an absolute path: ") + line;
            return log;
        }
        log.entries << line;
    }
    return log;
}

Outcome uninstallFromLog(const QString& logPath) {
    Outcome out;
    // Checked before the path is made absolute: QFileInfo folds "x/.." away
    // without looking whether x is a link.
    if (QDir::fromNativeSeparators(logPath).split(u'/').contains(QStringLiteral(".."))) {
        return unusable(out, logPath + QStringLiteral(": the log path contains '..'"));
    }
    const QString given = QDir::fromNativeSeparators(QFileInfo(logPath).absoluteFilePath());
    const QFileInfo logInfo(given);
    if (isLink(logInfo)) {
        return unusable(out, given + QStringLiteral(": the log is a symbolic link"));
    }
    if (!logInfo.exists()) {
        return unusable(out, given + QStringLiteral(": no such log"));
    }
    if (!logInfo.isFile()) {
        return unusable(out, given + QStringLiteral(": the log is not a regular file"));
    }

    // <prefix>/lib/vxmeter/ST6UNST.LOG: the two folders must be real folders;
    // where the prefix itself lies is the installer's choice, so it is taken
    // in its canonical form, as the installation wrote it into the log.
    const QString programFolder = logInfo.path();
    const QString libFolder = QFileInfo(programFolder).path();
    if (QFileInfo(programFolder).fileName() != kProgramFolderName ||
        QFileInfo(libFolder).fileName() != kLibFolderName) {
        return unusable(out, given + QStringLiteral(": the log must lie in <prefix>/lib/vxmeter/"));
    }
    for (const QString& folder : {libFolder, programFolder}) {
        if (isLink(QFileInfo(folder))) {
            return unusable(out, folder + QStringLiteral(" is a symbolic link"));
        }
    }
    out.prefix = QFileInfo(QFileInfo(libFolder).path()).canonicalFilePath();
    if (out.prefix.isEmpty()) {
        return unusable(out, given + QStringLiteral(": the install prefix cannot be resolved"));
    }
    const QString log =
        underPrefix(out.prefix, QStringLiteral("lib/vxmeter/") + logInfo.fileName());

    QFile file(log);
    if (!file.open(QIODevice::ReadOnly)) {
        return unusable(out, log + QStringLiteral(": ") + file.errorString());
    }
    const ParsedLog parsed = parseLog(file.read(kMaxLogBytes + 1));
    file.close();
    if (!parsed.error.isEmpty()) {
        return unusable(out, log + QStringLiteral(": ") + parsed.error +
                                 QStringLiteral("; nothing was removed"));
    }

    // Every entry is judged before anything is removed, and judged again
    // right before its removal in case the tree changed meanwhile.
    QStringList approved;
    QSet<QString> seen;
    QSet<QString> folders;
    for (const QString& folder : foldersAbove(log, out.prefix)) {
        folders.insert(folder);
    }
    for (const QString& entry : parsed.entries) {
        if (entry == log || seen.contains(entry)) {
            continue;
        }
        seen.insert(entry);
        const Check check = checkEntry(entry, out.prefix);
        if (check.verdict == Verdict::Refuse) {
            out.refusals << entry + QStringLiteral(": ") + check.reason;
            continue;
        }
        for (const QString& folder : foldersAbove(entry, out.prefix)) {
            folders.insert(folder);
        }
        if (check.verdict == Verdict::Gone) {
            out.notes << entry + QStringLiteral(": already gone");
            continue;
        }
        approved << entry;
    }

    for (const QString& entry : approved) {
        const Check check = checkEntry(entry, out.prefix);
        if (check.verdict == Verdict::Refuse) {
            out.refusals << entry + QStringLiteral(": ") + check.reason;
        } else if (check.verdict == Verdict::Gone) {
            out.notes << entry + QStringLiteral(": already gone");
        } else if (QFile victim(entry); victim.remove()) {
            ++out.removedFiles;
        } else {
            out.failures << entry + QStringLiteral(": ") + victim.errorString();
        }
    }

    // The log goes last, and only when everything it lists is gone: a log
    // kept after a refusal still says what is installed.
    if (out.refusals.isEmpty() && out.failures.isEmpty()) {
        const QFileInfo again(log);
        if (isLink(again) || !again.isFile()) {
            out.refusals << log + QStringLiteral(": the log changed while it was used");
        } else if (QFile logFile(log); logFile.remove()) {
            ++out.removedFiles;
        } else {
            out.failures << log + QStringLiteral(": ") + logFile.errorString();
        }
    }

    pruneFolders(folders, out);
    return out;
}

}  // namespace unst
