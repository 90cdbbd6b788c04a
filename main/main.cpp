#include <QApplication>

#include "Clock.h"
#include "Dialogs.h"
#include "Main.h"
#include "SerialLink.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vxmeter"));
    shell::SystemClock clock;
    shell::QtDialogs dialogs;
    comm::SerialPortOpener opener;
    Main window({.clock = clock, .dialogs = dialogs, .opener = opener, .helpFilePath = {}});
    window.show();
    return QApplication::exec();
}
