#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace unst {

// ST6UNST.LOG, written by the installation into <prefix>/lib/vxmeter/:
//
//   UTF-8 text, one absolute path per line, each line ended by LF:
//     /opt/vx/lib/vxmeter/vxmeter
//     /opt/vx/lib/vxmeter/uninstaller
//     /opt/vx/bin/vxmeter                  <- the launcher, a relative symlink
//     /opt/vx/share/applications/vxmeter.desktop
//
// The log does not list itself; it is removed last, once every entry is gone.
// A log that is not in that form (an empty line, a relative path, a control
// character, bytes that are not UTF-8, no entries at all) is refused as a
// whole and nothing is removed.

struct ParsedLog {
    QStringList entries;
    QString error;  // empty when the log is well formed
};

ParsedLog parseLog(const QByteArray& bytes);

// What one run did. A refusal is an entry the tool will not touch; a failure
// is a removal the system did not carry out.
struct Outcome {
    QString prefix;
    QStringList refusals;
    QStringList failures;
    QStringList notes;  // entries already gone, folders kept because not empty
    int removedFiles = 0;
    int removedFolders = 0;
    bool logUnusable = false;

    bool clean() const { return !logUnusable && refusals.isEmpty() && failures.isEmpty(); }
};

// Removes the files the log at `logPath` lists, then the log, then the
// folders left empty, all under the prefix the log's location implies
// (<prefix>/lib/vxmeter/ST6UNST.LOG). Nothing outside the prefix, nothing
// reached through a symbolic link, nothing unlisted and never the prefix
// itself. The one listed symbolic link allowed is the launcher
// <prefix>/bin/vxmeter, which is removed as a link.
Outcome uninstallFromLog(const QString& logPath);

}  // namespace unst
