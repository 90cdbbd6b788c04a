#pragma once

#include <QString>
#include <QStringList>

namespace uninstaller {

// The uninstall tool's command line, e.g. on Linux
//   /opt/vx/lib/vxmeter/st6unst -n "/opt/vx/lib/vxmeter/ST6UNST.LOG"
// and on Windows
//   C:\WINDOWS\st6unst.exe -n "C:\Tools\Meter\ST6UNST.LOG"
// The program and its two arguments are kept apart so that the process is
// started without a shell: nothing in the folder names is ever interpreted.
// On Windows a process receives one command line instead, and the tool is
// given exactly commandLine().
struct UninstallCommand {
    QString program;
    QStringList arguments;

    // The arguments as one text, with only the log path quoted.
    QString nativeArguments() const;
    // The program, a blank and nativeArguments(): the line the tool is
    // started with on Windows, and the one messages show.
    QString commandLine() const;
};

// Built from five pieces in this order: the tool's folder; the separator, the
// tool name and " -n " and a double quote; the program's folder; the
// separator and the log name; a closing double quote.
UninstallCommand buildUninstallCommand(const QString& toolFolder, const QString& programFolder);

}  // namespace uninstaller
