// Shows the Trend window fed with a few hundred synthetic readings: a slow
// DC drift with noise on the primary display, a frequency on the secondary,
// and a short overload. With a file name it saves a picture of the window
// there and ends; without, it stays open. trend_demo [out.png [count]]
//
// trend_demo --tour DIR walks through a night's log instead and saves a
// picture of each step in DIR: the live plot, the log opened, the spike
// zoomed to and read under the mouse, and the live plot again. With
// TREND_DEMO_IMPORT=1 each step is also taken from the screen with
// ImageMagick's import (under Xvfb: xvfb-run -a trend_demo --tour DIR).
// trend_demo --tour DIR BIGLOG first starts reading BIGLOG, a log large
// enough to take a while, pictures the progress bar and cancels.
#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QMouseEvent>
#include <QPixmap>
#include <QProcess>
#include <QPushButton>
#include <QTimer>

#include <cmath>
#include <cstdio>
#include <functional>

#include "forms/Trend/Trend.h"
#include "shell/Dialogs.h"

using vx::forms::Trend;

namespace {

void feedLive(Trend& window, int count) {
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
        window.addReading(start.addSecs(i),
                          vx::meter::splitReply(reply, secondaryOn, {"DC Voltage", "VDC", "Hz"}));
    }
}

// Last night: a short session in the evening, then the overnight run from
// 22:00 to 06:00 with one spike at 03:12:07, an overload and a line cut by a
// power failure.
QDateTime writeNightLog(const QString& path) {
    const QDateTime evening(QDate::currentDate().addDays(-1), QTime(19, 30, 0));
    const QDateTime night(QDate::currentDate().addDays(-1), QTime(22, 0, 0));
    const QDateTime spike(QDate::currentDate(), QTime(3, 12, 7));
    const auto stamp = [](const QDateTime& t) {
        return t.toString(QStringLiteral("HH:mm:ss MM/dd/yyyy")).toLatin1();
    };
    QByteArray bytes = "\r\nDC Voltage(V)\r\n";
    for (int i = 0; i < 600; ++i) {
        bytes += QByteArray::number(1.49 + 0.001 * std::sin(i / 50.0), 'E', 5) + ',' +
                 stamp(evening.addSecs(i)) + "\r\n";
    }
    bytes += "\r\nDC Voltage(V),Frequency(Hz)\r\n";
    const qint64 seconds = night.secsTo(night.addSecs(8 * 3600));
    for (qint64 i = 0; i < seconds; ++i) {
        const QDateTime t = night.addSecs(i);
        double volts =
            1.5 + 0.003 * std::sin(double(i) / 2000.0) + 0.0002 * std::sin(double(i) * 7.3);
        if (t == spike) {
            volts = 2.73418;
        }
        const QByteArray primary =
            i == 9000 ? QByteArray("+9.90000E+37") : QByteArray::number(volts, 'E', 5);
        bytes += primary + ',' +
                 QByteArray::number(50.0 + 0.02 * std::cos(double(i) / 900.0), 'E', 5) + ',' +
                 stamp(t) + "\r\n";
        if (i == 20000) {
            bytes += "+1.50012E+00,+5.00\r\n";  // cut short
        }
    }
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(bytes);
    }
    return spike;
}

QPoint plotPoint(Trend& window, qint64 msecs) {
    auto* view = window.findChild<QChartView*>(QStringLiteral("TrendChart"));
    const QRectF scene = window.chart()->mapRectToScene(window.chart()->plotArea());
    const QRect plot = view->mapFromScene(scene).boundingRect();
    const Trend::TimeRange range = window.visibleRange();
    const double share = double(msecs - range.from) / double(range.to - range.from);
    return {plot.left() + int(share * plot.width()), plot.center().y()};
}

void mouse(QWidget* target, QEvent::Type type, Qt::MouseButton button, const QPoint& pos) {
    QMouseEvent event(type, QPointF(pos), target->mapToGlobal(QPointF(pos)), button,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button),
                      Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

int tour(const QString& dir, const QString& bigLog) {
    vx::shell::QtDialogs dialogs;
    Trend window(dialogs);
    window.resize(1400, 640);
    window.show();
    feedLive(window, 400);
    window.refreshNow();
    QDir().mkpath(dir);
    const QString log = QDir(dir).filePath(QStringLiteral("night.csv"));
    const QDateTime spike = writeNightLog(log);
    QWidget* viewport = window.findChild<QChartView*>(QStringLiteral("TrendChart"))->viewport();

    int step = 0;
    const auto save = [&](const char* name) {
        window.repaint();
        QApplication::processEvents();
        const QString path = QDir(dir).filePath(QStringLiteral("%1-%2.png").arg(++step).arg(name));
        window.grab().save(path, "PNG");
        if (qEnvironmentVariableIntValue("TREND_DEMO_IMPORT") == 1) {
            QProcess::execute(
                QStringLiteral("import"),
                {QStringLiteral("-window"), QStringLiteral("root"),
                 QDir(dir).filePath(QStringLiteral("%1-%2-screen.png").arg(step).arg(name))});
        }
        std::printf("saved %s\n", qPrintable(path));
    };
    // Each step runs once the one before it has been painted.
    QList<std::function<void()>> steps{
        [&] { save("live"); },
        [&] { window.openLog(log); },
        [&] { save("log-opened"); },
        [&] {
            const QPoint a = plotPoint(window, spike.addSecs(-600).toMSecsSinceEpoch());
            const QPoint b = plotPoint(window, spike.addSecs(600).toMSecsSinceEpoch());
            mouse(viewport, QEvent::MouseButtonPress, Qt::RightButton, a);
            mouse(viewport, QEvent::MouseMove, Qt::RightButton, b);
            save("zoom-rectangle");
            mouse(viewport, QEvent::MouseButtonRelease, Qt::RightButton, b);
        },
        [&] {
            mouse(viewport, QEvent::MouseMove, Qt::NoButton,
                  plotPoint(window, spike.toMSecsSinceEpoch()));
            save("spike-read");
        },
        [&] {
            auto* range = window.findChild<QComboBox*>(QStringLiteral("StatsRangeBox"));
            range->setCurrentIndex(1);
            window.StatsRangeBox_Change(1);
            save("visible-span-figures");
        },
        [&] {
            window.findChild<QPushButton*>(QStringLiteral("LiveBtn"))->click();
            save("live-again");
            QApplication::quit();
        },
    };
    if (!bigLog.isEmpty()) {
        steps.insert(1, [&] {
            window.openLog(bigLog);
            QTimer::singleShot(1500, &window, [&] {
                save("loading");
                window.findChild<QPushButton*>(QStringLiteral("CancelLoadBtn"))->click();
            });
        });
        steps.insert(2, [&] { save("canceled"); });
    }
    std::function<void(qsizetype)> run = [&](qsizetype i) {
        if (window.loading()) {
            QTimer::singleShot(50, &window, [&run, i] { run(i); });
            return;
        }
        steps[i]();
        if (i + 1 < steps.size()) {
            QTimer::singleShot(400, &window, [&run, i] { run(i + 1); });
        }
    };
    QTimer::singleShot(400, &window, [&run] { run(0); });
    return QApplication::exec();
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc > 2 && QString::fromLocal8Bit(argv[1]) == QLatin1String("--tour")) {
        return tour(QString::fromLocal8Bit(argv[2]),
                    argc > 3 ? QString::fromLocal8Bit(argv[3]) : QString());
    }
    vx::shell::QtDialogs dialogs;
    Trend window(dialogs);
    window.show();

    const int count = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 400;
    feedLive(window, count);
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
