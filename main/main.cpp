#include <QApplication>
#include <QTextStream>

#include <cstdio>

#include "Clock.h"
#include "CommandLine.h"
#include "Dialogs.h"
#include "Main.h"
#include "SerialLink.h"

int main(int argc, char* argv[]) {
    shell::SystemClock clock;
    comm::SerialPortOpener opener;
    if (QStringList arguments(argv, argv + argc); check::isCommandLineRun(arguments)) {
        // No window: runs where no display is attached.
        QCoreApplication app(argc, argv);
        QTextStream out(stdout);
        QTextStream err(stderr);
        return check::run(QCoreApplication::arguments(), opener, clock, out, err);
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vxmeter"));
    shell::QtDialogs dialogs;
    Main window({.clock = clock, .dialogs = dialogs, .opener = opener, .helpFilePath = {}});
    window.show();
    return QApplication::exec();
}
