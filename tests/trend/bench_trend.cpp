// Feeds a full day of readings (86,400, with the secondary display on) to the
// Trend window and prints how long adding them and redrawing take. Not a
// test: run it by hand, QT_QPA_PLATFORM=offscreen bench_trend.
#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QString>

#include <cmath>
#include <cstdio>

#include "Dialogs.h"
#include "Trend.h"
#include "TrendData.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    shell::QtDialogs dialogs;
    Trend window(dialogs);
    window.resize(1200, 600);
    window.show();
    QApplication::processEvents();

    const QDateTime start = QDateTime::currentDateTime().addDays(-1);
    QStringList replies;
    for (int i = 0; i < trend::kMaxPoints; ++i) {
        replies << (i % 3600 == 7 ? QStringLiteral("+9.90000E+37,+6.00000E+01")
                                  : QString::number(10.0 + std::sin(i / 3000.0), 'E', 5) + ',' +
                                        QString::number(60.0 + 0.01 * std::cos(i / 70.0), 'E', 5));
    }

    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < trend::kMaxPoints; ++i) {
        window.addReading(start.addSecs(i), replies[i], true, "VOLT:DC", "VDC", "Hz");
    }
    const double addMs = double(timer.nsecsElapsed()) / 1e6;
    std::printf("add %d readings: %.1f ms (%.2f us each)\n", int(trend::kMaxPoints), addMs,
                addMs * 1000.0 / trend::kMaxPoints);

    constexpr int rounds = 20;
    timer.restart();
    for (int r = 0; r < rounds; ++r) {
        window.addReading(start.addSecs(trend::kMaxPoints + r), replies[r], true, "VOLT:DC", "VDC",
                          "Hz");
        window.refreshNow();
        QApplication::processEvents();
    }
    std::printf("redraw with %d points kept: %.2f ms each (mean of %d)\n",
                int(window.points().size()), double(timer.nsecsElapsed()) / 1e6 / rounds, rounds);

    timer.restart();
    int drawn = 0;
    for (int r = 0; r < rounds; ++r) {
        drawn = 0;
        for (const auto& run : trend::decimate(window.points(), trend::Column::Primary, 600)) {
            drawn += int(run.size());
        }
    }
    std::printf("decimate %d points to %d: %.2f ms each\n", int(window.points().size()), drawn,
                double(timer.nsecsElapsed()) / 1e6 / rounds);
    return 0;
}
