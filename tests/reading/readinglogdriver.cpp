// Drives the real main window against a meter on a serial device, for the
// end-to-end logging tests: connects COM1 (VXMETER_COM1) with LF, presses
// Run, starts logging into the given file and prints "logged <reply>" once
// each logged line has been handed to the system. With a line count it
// presses Stop after that many lines and ends; with 0 it runs until killed.
//
//   readinglogdriver <log file> <lines> [clock factor]
#include <QApplication>
#include <QLineEdit>
#include <QMetaObject>
#include <QPushButton>
#include <QTimer>

#include <cstdio>

#include "forms/Main/Main.h"
#include "link/SerialLink.h"
#include "shell/Dialogs.h"
#include "shell/PromptComboBox.h"
#include "support/FakeClock.h"
#include "support/MainState.h"
#include "support/RecordingDialogs.h"

using vx::forms::Main;

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    if (args.size() < 3) {
        std::fprintf(stderr, "usage: readinglogdriver <log file> <lines> [clock factor]\n");
        return 2;
    }
    const int lines = args[2].toInt();
    const double factor = args.size() > 3 ? args[3].toDouble() : 10.0;
    FastClock clock(factor);
    FixedDialogs dialogs(args[1]);
    vx::link::SerialPortOpener opener;
    Main w({.clock = clock, .dialogs = dialogs, .opener = opener, .helpFilePath = {}});
    combo(w, "ComPort")->setCurrentIndex(0);
    combo(w, "TermChar")->setCurrentIndex(1);
    MainState(w).invoke("ConnectBtn_Click");
    if (!child<vx::link::SerialLink>(w, "MSComm1")->isOpen() || !button(w, "Send")->isEnabled()) {
        std::fprintf(stderr, "not connected: %s\n", qPrintable(lineEdit(w, "StatusBox")->text()));
        return 2;
    }
    MainState(w).func_selection = QStringLiteral("DC Voltage(V)");

    int logged = 0;
    QObject::connect(&w, &Main::readingShown, &w, [&](const QDateTime&, const QString& reply) {
        if (MainState(w).datalog_start != 1) {
            return;
        }
        const int n = ++logged;
        // Queued: runs once the receive handler has written the line.
        QMetaObject::invokeMethod(
            &w,
            [&w, reply, n, lines] {
                std::printf("logged %s\n", qPrintable(reply));
                std::fflush(stdout);
                if (n == lines) {
                    MainState(w).invoke("StopBtn_Click");
                }
            },
            Qt::QueuedConnection);
    });
    // Runs inside the first wait of the Run loop.
    QTimer::singleShot(0, &w, [&w] { MainState(w).invoke("SaveData_Click"); });
    MainState(w).invoke("Run_Click");
    if (lineEdit(w, "StatusBox")->text().startsWith(QStringLiteral("Readings stopped"))) {
        std::fprintf(stderr, "%s\n", qPrintable(lineEdit(w, "StatusBox")->text()));
        return 3;
    }
    return logged == lines ? 0 : 3;
}
