#include "unst/LogUninstall.h"

#include <QFile>

#include <cstdio>

namespace {

void print(std::FILE* stream, const QString& line) {
    std::fputs(qPrintable(QStringLiteral("st6unst: ") + line + u'\n'), stream);
}

}  // namespace

// st6unst -n LOGPATH
// Exit status: 0 when everything listed is gone, 1 when an entry was refused
// or could not be removed, 2 when the command line or the log is unusable.
int main(int argc, char** argv) {
    if (argc != 3 || QByteArray(argv[1]) != "-n") {
        std::fputs(
            "usage: st6unst -n LOGPATH\n"
            "Removes the files the installation log LOGPATH lists, then the log and the\n"
            "folders left empty, under the install prefix (LOGPATH lies in\n"
            "<prefix>/lib/vxmeter/).\n",
            stderr);
        return 2;
    }
    const unst::Outcome outcome = unst::uninstallFromLog(QFile::decodeName(argv[2]));
    for (const QString& note : outcome.notes) {
        print(stdout, note);
    }
    for (const QString& refusal : outcome.refusals) {
        print(stderr, QStringLiteral("refused: ") + refusal);
    }
    for (const QString& failure : outcome.failures) {
        print(stderr, QStringLiteral("could not remove ") + failure);
    }
    if (outcome.logUnusable) {
        return 2;
    }
    print(outcome.clean() ? stdout : stderr,
          QStringLiteral("removed %1 files and %2 folders under %3%4")
              .arg(outcome.removedFiles)
              .arg(outcome.removedFolders)
              .arg(outcome.prefix,
                   outcome.clean() ? QString() : QStringLiteral("; the log was kept")));
    return outcome.clean() ? 0 : 1;
}
