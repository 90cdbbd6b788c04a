#include <QCoreApplication>

#include "cli/App.h"
#include "timing/Clock.h"

int main(int argc, char* argv[]) {
    // Qt's own event dispatcher instead of GLib's: fewer system calls per
    // wake-up and a smaller footprint for a program that runs for days.
    qputenv("QT_NO_GLIB", "1");
    vx::timing::readTimeZoneOnce();
    QCoreApplication app(argc, argv);
    return vx::cli::runApp(QCoreApplication::arguments().mid(1));
}
