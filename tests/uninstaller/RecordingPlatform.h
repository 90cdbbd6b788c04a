#pragma once

#include "uninstaller/Platform.h"

#include <QList>
#include <QString>
#include <QStringList>

// Test stand-ins for the uninstaller's platform layers: they record what the
// window asked for and answer as told.

class RecordingStarter final : public uninstaller::ProcessStarter {
public:
    struct Call {
        QString program;
        QStringList arguments;
        QString line;  // the one line Windows would start the tool with
    };

    uninstaller::StartResult startDetached(const uninstaller::UninstallCommand& command) override {
        calls.append({command.program, command.arguments, command.commandLine()});
        return answer;
    }

    QList<Call> calls;
    uninstaller::StartResult answer{.started = true, .error = {}};
};

class FixedDirectories final : public uninstaller::Directories {
public:
    FixedDirectories(QString windows, QString program)
        : windows_(std::move(windows)), program_(std::move(program)) {}
    QString windowsDirectory() const override { return windows_; }
    QString programDirectory() const override { return program_; }

private:
    QString windows_;
    QString program_;
};

class RecordingMessages final : public uninstaller::Messages {
public:
    struct Shown {
        QString title;
        QString text;
        bool isError = true;
    };

    void error(QWidget*, const QString& title, const QString& text) override {
        shown.append({title, text, true});
    }
    void information(QWidget*, const QString& title, const QString& text) override {
        shown.append({title, text, false});
    }

    QList<Shown> shown;
};
