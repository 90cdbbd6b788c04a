// Shows the Trend window fed with a few hundred synthetic readings: a slow
// DC drift with noise on the primary display, a frequency on the secondary,
// and a short overload. With a file name it saves a picture of the window
// there and ends; without, it stays open. trend_demo [out.png [count]]
#include <QApplication>
#include <QDateTime>
#include <QPixmap>
#include <QTimer>

#include <cmath>
#include <cstdio>

#include "Dialogs.h"
#include "Trend.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    shell::QtDialogs dialogs;
    Trend window(dialogs);
    window.show();

    const int count = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 400;
    const QDateTime start = QDateTime::currentDateTime().addSecs(-count);
    for (int i = 0; i < count; ++i) {
        const double volts = 1.5 + 0.002 * std::sin(i / 25.0) + 0.0004 * std::sin(i * 7.3);
        const double hertz = 1000.0 + 0.3 * std::cos(i / 40.0);
        // The secondary display comes on after a minute.
        const bool secondaryOn = i >= 60;
        QString reply =
            i >= 180 && i < 195 ? QStringLiteral("+9.90000E+37") : QString::number(volts, 'E', 5);
        if (secondaryOn) {
            reply += ',' + QString::number(hertz, 'E', 5);
        }
        window.addReading(start.addSecs(i), reply, secondaryOn, "DC Voltage", "VDC", "Hz");
    }
    window.refreshNow();

    if (argc < 2) {
        return QApplication::exec();
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    QTimer::singleShot(500, &window, [&window, out] {
        window.refreshNow();
        const bool saved = window.grab().save(out, "PNG");
        std::printf("%s %s\n", saved ? "saved" : "could not save", qPrintable(out));
        QApplication::exit(saved ? 0 : 1);
    });
    return QApplication::exec();
}
