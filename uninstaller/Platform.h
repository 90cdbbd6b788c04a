#pragma once

#include <QString>
#include <QStringList>

#include "uninstaller/UninstallCommand.h"

class QWidget;

namespace uninstaller {

// The folder that holds the uninstall tool. On Windows it is the Windows
// directory as GetWindowsDirectoryA reports it (no trailing separator); on
// other systems the installation puts the stand-in tool st6unst beside the
// uninstaller, so it is the uninstaller's own folder. Empty when unknown.
QString WindowsDirectory();

// Where the tool and the log are looked for.
class Directories {
public:
    virtual ~Directories() = default;
    virtual QString windowsDirectory() const = 0;
    // The folder holding the running uninstaller, never the working directory.
    virtual QString programDirectory() const = 0;
};

class SystemDirectories final : public Directories {
public:
    QString windowsDirectory() const override;
    QString programDirectory() const override;
};

// How this copy of the program was installed. A package install belongs to
// the package manager, which keeps its own record of the files and must be
// the one to remove them.
struct Installation {
    QString packageName;  // empty: a prefix install with its installation log
};

// The installation this uninstaller was built for: the Debian package build
// names its package, every other build is a prefix install.
Installation ThisInstallation();

struct StartResult {
    bool started = false;
    QString error;  // why not, when not started
};

// Starts a command without a shell and without waiting for it.
class ProcessStarter {
public:
    virtual ~ProcessStarter() = default;
    virtual StartResult startDetached(const UninstallCommand& command) = 0;
};

// QProcess::startDetached with the program and its arguments; on Windows with
// exactly the command's line instead, and the tool's window starts minimized
// and with the focus.
class DetachedProcessStarter final : public ProcessStarter {
public:
    StartResult startDetached(const UninstallCommand& command) override;
};

// Modal error boxes, behind a layer so that tests answer them.
class Messages {
public:
    virtual ~Messages() = default;
    virtual void error(QWidget* parent, const QString& title, const QString& text) = 0;
    virtual void information(QWidget* parent, const QString& title, const QString& text) = 0;
};

class MessageBoxes final : public Messages {
public:
    void error(QWidget* parent, const QString& title, const QString& text) override;
    void information(QWidget* parent, const QString& title, const QString& text) override;
};

}  // namespace uninstaller
