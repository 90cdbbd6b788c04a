// Feeds a full day of readings (86,400, with the secondary display on) to the
// Trend window and prints how long adding them and redrawing take, then how
// long a zoom or a pan takes to redraw and paint, on the live day and on a
// day read from a log file. Not a test: run it by hand,
// QT_QPA_PLATFORM=offscreen bench_trend.
#include <QApplication>
#include <QChartView>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <vector>

#include "forms/Trend/Trend.h"
#include "shell/Dialogs.h"
#include "trend/TrendData.h"

using vx::forms::Trend;

namespace {

// CPU time of this thread, so a busy machine does not count against the window.
double cpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// Wheel notches in and out and drags to either side, each painted at once;
// prints the median and the longest of them.
void zoomAndPan(Trend& window, const char* what, const char* key) {
    auto* view = window.findChild<QChartView*>(QStringLiteral("TrendChart"));
    QWidget* viewport = view->viewport();
    const QRectF scene = window.chart()->mapRectToScene(window.chart()->plotArea());
    const QRect plot = view->mapFromScene(scene).boundingRect();
    const QPoint middle = plot.center();
    std::vector<double> zoomMs;
    std::vector<double> panMs;
    std::vector<double> zoomCpu;
    std::vector<double> panCpu;
    QElapsedTimer timer;
    for (int round = 0; round < 40; ++round) {
        const int notches = round < 20 ? 120 : -120;  // in to minutes, then out again
        QWheelEvent wheel(QPointF(middle), viewport->mapToGlobal(QPointF(middle)), QPoint(),
                          QPoint(0, notches), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                          false);
        timer.start();
        const double cpu = cpuMs();
        QApplication::sendEvent(viewport, &wheel);
        viewport->repaint();
        zoomMs.push_back(double(timer.nsecsElapsed()) / 1e6);
        zoomCpu.push_back(cpuMs() - cpu);
    }
    QTest::mousePress(viewport, Qt::LeftButton, {}, middle);
    for (int step = 1; step <= 40; ++step) {
        const QPoint to = middle + QPoint((step % 20 - 10) * 8, 0);
        timer.start();
        const double cpu = cpuMs();
        QTest::mouseMove(viewport, to);
        viewport->repaint();
        panMs.push_back(double(timer.nsecsElapsed()) / 1e6);
        panCpu.push_back(cpuMs() - cpu);
    }
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, middle);
    for (auto* figures : {&zoomMs, &panMs, &zoomCpu, &panCpu}) {
        std::sort(figures->begin(), figures->end());
    }
    for (const bool zoom : {true, false}) {
        const auto& wall = zoom ? zoomMs : panMs;
        const auto& cpu = zoom ? zoomCpu : panCpu;
        std::printf(
            "%s %s redraw and paint: median %.2f ms, longest %.2f ms of %zu "
            "(CPU time median %.2f ms, longest %.2f ms)\n",
            what, zoom ? "zoom" : "pan", wall[wall.size() / 2], wall.back(), wall.size(),
            cpu[cpu.size() / 2], cpu.back());
        // The same as key and value, for scripts.
        std::printf("%s_%s\t%.2f\t%.2f\t%.2f\t%.2f\n", key, zoom ? "zoom" : "pan",
                    wall[wall.size() / 2], wall.back(), cpu[cpu.size() / 2], cpu.back());
    }
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    vx::shell::QtDialogs dialogs;
    Trend window(dialogs);
    window.resize(1200, 600);
    window.show();
    QApplication::processEvents();

    const QDateTime start = QDateTime::currentDateTime().addDays(-1);
    QStringList replies;
    for (int i = 0; i < vx::trend::kMaxPoints; ++i) {
        replies << (i % 3600 == 7 ? QStringLiteral("+9.90000E+37,+6.00000E+01")
                                  : QString::number(10.0 + std::sin(i / 3000.0), 'E', 5) + ',' +
                                        QString::number(60.0 + 0.01 * std::cos(i / 70.0), 'E', 5));
    }

    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < vx::trend::kMaxPoints; ++i) {
        window.addReading(start.addSecs(i),
                          vx::meter::splitReply(replies[i], true, {"VOLT:DC", "VDC", "Hz"}));
    }
    const double addMs = double(timer.nsecsElapsed()) / 1e6;
    std::printf("add %d readings: %.1f ms (%.2f us each)\n", int(vx::trend::kMaxPoints), addMs,
                addMs * 1000.0 / vx::trend::kMaxPoints);

    constexpr int rounds = 20;
    timer.restart();
    for (int r = 0; r < rounds; ++r) {
        window.addReading(start.addSecs(vx::trend::kMaxPoints + r),
                          vx::meter::splitReply(replies[r], true, {"VOLT:DC", "VDC", "Hz"}));
        window.refreshNow();
        QApplication::processEvents();
    }
    std::printf("redraw with %d points kept: %.2f ms each (mean of %d)\n",
                int(window.points().size()), double(timer.nsecsElapsed()) / 1e6 / rounds, rounds);

    timer.restart();
    int drawn = 0;
    for (int r = 0; r < rounds; ++r) {
        drawn = 0;
        for (const auto& run :
             vx::trend::decimate(window.points(), vx::trend::Column::Primary, 600)) {
            drawn += int(run.size());
        }
    }
    std::printf("decimate %d points to %d: %.2f ms each\n", int(window.points().size()), drawn,
                double(timer.nsecsElapsed()) / 1e6 / rounds);

    zoomAndPan(window, "live day:", "live");

    // The same day as a log file, opened as the operator would.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("day.csv"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly)) {
            return 1;
        }
        QByteArray bytes = "\r\nDC Voltage(V),Frequency(Hz)\r\n";
        for (int i = 0; i < vx::trend::kMaxPoints; ++i) {
            bytes += replies[i].toLatin1() + ',' +
                     start.addSecs(i).toString(QStringLiteral("HH:mm:ss MM/dd/yyyy")).toLatin1() +
                     "\r\n";
        }
        file.write(bytes);
    }
    timer.restart();
    window.openLog(path);
    while (window.loading()) {
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    }
    std::printf("open a day's log (%d lines): %.1f ms\n", int(vx::trend::kMaxPoints) + 2,
                double(timer.nsecsElapsed()) / 1e6);
    zoomAndPan(window, "day from a log:", "log");
    return 0;
}
