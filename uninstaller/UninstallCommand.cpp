#include "uninstaller/UninstallCommand.h"

#include <QDir>

namespace uninstaller {

namespace {

#ifdef Q_OS_WIN
constexpr QLatin1StringView kToolFile{"st6unst.exe"};
#else
constexpr QLatin1StringView kToolFile{"st6unst"};
#endif
constexpr QLatin1StringView kLogFile{"ST6UNST.LOG"};
constexpr QLatin1StringView kLogOption{"-n"};

}  // namespace

QString UninstallCommand::nativeArguments() const {
    QStringList pieces;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        // The last argument is the log path, the one piece given in quotes.
        const bool quoted = i + 1 == arguments.size();
        pieces << (quoted ? u'"' + arguments[i] + u'"' : arguments[i]);
    }
    return pieces.join(u' ');
}

QString UninstallCommand::commandLine() const {
    return program + u' ' + nativeArguments();
}

UninstallCommand buildUninstallCommand(const QString& toolFolder, const QString& programFolder) {
    const QChar separator = QDir::separator();
    return {
        .program = QDir::toNativeSeparators(toolFolder) + separator + kToolFile,
        .arguments = {kLogOption, QDir::toNativeSeparators(programFolder) + separator + kLogFile},
    };
}

}  // namespace uninstaller
