#include "uninstaller/Platform.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>

#ifdef Q_OS_WIN
#include <windows.h>

#include <string>
#endif

namespace uninstaller {

#ifdef Q_OS_WIN

QString WindowsDirectory() {
    // GetWindowsDirectoryA of "kernel32", bound by name at the first call.
    using GetWindowsDirectoryFn = UINT(WINAPI*)(LPSTR, UINT);
    static const GetWindowsDirectoryFn getWindowsDirectory = [] {
        const HMODULE kernel = LoadLibraryA("kernel32");
        return kernel ? reinterpret_cast<GetWindowsDirectoryFn>(
                            GetProcAddress(kernel, "GetWindowsDirectoryA"))
                      : nullptr;
    }();
    if (!getWindowsDirectory) {
        return {};
    }
    constexpr UINT kBufferSize = 256;
    char buffer[kBufferSize] = {};
    const UINT written = getWindowsDirectory(buffer, kBufferSize);
    // 0 is a failure; a result of the buffer size or more is the size the
    // call would need, and then the buffer holds nothing usable.
    if (written == 0 || written >= kBufferSize) {
        return {};
    }
    return QString::fromLocal8Bit(buffer, static_cast<qsizetype>(written));
}

#else

QString WindowsDirectory() {
    return QCoreApplication::applicationDirPath();
}

#endif

QString SystemDirectories::windowsDirectory() const {
    return WindowsDirectory();
}

QString SystemDirectories::programDirectory() const {
    return QCoreApplication::applicationDirPath();
}

StartResult DetachedProcessStarter::startDetached(const UninstallCommand& command) {
    QProcess process;
    process.setProgram(command.program);
    // The tool runs in its own folder, not in whatever folder the uninstaller
    // happened to be started from.
    process.setWorkingDirectory(QFileInfo(command.program).path());
#ifdef Q_OS_WIN
    // A Windows process receives one command line, and the tool is given
    // exactly its own: only the log path quoted. Qt would quote arguments by
    // its own rules, so they go as native text; Qt would still quote a tool
    // path holding a blank and put two blanks before native text, so the
    // line CreateProcess receives is replaced by the command line itself.
    process.setNativeArguments(command.nativeArguments());
    std::wstring line = command.commandLine().toStdWString();
    process.setCreateProcessArgumentsModifier([&line](QProcess::CreateProcessArguments* args) {
        args->arguments = line.data();
        args->startupInfo->dwFlags |= STARTF_USESHOWWINDOW;
        args->startupInfo->wShowWindow = SW_SHOWMINIMIZED;  // minimized, with the focus
    });
#else
    process.setArguments(command.arguments);
#endif
    if (process.startDetached()) {
        return {.started = true, .error = {}};
    }
    return {.started = false, .error = process.errorString()};
}

void MessageBoxes::error(QWidget* parent, const QString& title, const QString& text) {
    QMessageBox::critical(parent, title, text);
}

void MessageBoxes::information(QWidget* parent, const QString& title, const QString& text) {
    QMessageBox::information(parent, title, text);
}

Installation ThisInstallation() {
#ifdef VX_PACKAGE_NAME
    return {.packageName = QStringLiteral(VX_PACKAGE_NAME)};
#else
    return {};
#endif
}

}  // namespace uninstaller
