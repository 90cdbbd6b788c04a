#include <QApplication>
#include <QTextStream>

#include <cstdio>

#include "check/CommandLine.h"
#include "forms/Main/Main.h"
#include "link/NetworkConnect.h"
#include "link/SerialLink.h"
#include "network/TcpConnector.h"
#include "shell/Dialogs.h"
#include "timing/Clock.h"

using vx::forms::Main;

int main(int argc, char* argv[]) {
    // The window links the network stack anyway: no module to load.
    vx::link::setNetworkConnector(&vx::network::connectTcp);
    vx::timing::SystemClock clock;
    vx::link::SerialPortOpener opener;
    if (QStringList arguments(argv, argv + argc); vx::check::isCommandLineRun(arguments)) {
        // No window: runs where no display is attached.
        QCoreApplication app(argc, argv);
        QTextStream out(stdout);
        QTextStream err(stderr);
        return vx::check::run(QCoreApplication::arguments(), opener, clock, out, err);
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vxmeter"));
    vx::shell::QtDialogs dialogs;
    Main window({.clock = clock, .dialogs = dialogs, .opener = opener, .helpFilePath = {}});
    window.show();
    return QApplication::exec();
}
