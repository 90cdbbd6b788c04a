#include <QAbstractAxis>
#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDateTimeAxis>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineSeries>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QValueAxis>
#include <QWheelEvent>

#include <memory>

#include "forms/Trend/Trend.h"
#include "support/RecordingDialogs.h"

using vx::forms::Trend;

using vx::trend::Column;

namespace {

const QDateTime kStart(QDate(2016, 9, 22), QTime(14, 5, 9));

QList<QList<QPointF>> shown(const Trend& window, Column column) {
    QList<QList<QPointF>> runs;
    for (const QLineSeries* series : window.plotted(column)) {
        runs.append(series->points());
    }
    return runs;
}

QValueAxis* valueAxis(const Trend& window, Qt::Alignment side) {
    for (QAbstractAxis* axis : window.chart()->axes(Qt::Vertical)) {
        if (axis->alignment() == side) {
            return qobject_cast<QValueAxis*>(axis);
        }
    }
    return nullptr;
}

// x of a reading `second` seconds after kStart
double x(int second) {
    return double(kStart.addSecs(second).toMSecsSinceEpoch());
}

}  // namespace

class TstTrend : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void plotFollowsReadings_data();
    void plotFollowsReadings();
    void drawsOnlyWhenTheTimerFires();
    void hiddenWindowDrawsWhenShown();
    void newFunctionStartsNewSeries();
    void keepsTheLastDayOnly();
    void statisticsPanel();
    void clearButton();
    void savePlot();
    void savePoints();
    void cancelSavesNothing();
    void saveErrorsAreReported_data();
    void saveErrorsAreReported();
    void zoomAndPan_data();
    void zoomAndPan();
    void readout_data();
    void readout();
    void openLogShowsSessions();
    void channelsOfASeveralMeterLog_data();
    void channelsOfASeveralMeterLog();
    void badLogsAreReported_data();
    void badLogsAreReported();
    void spanAllFitsTheSession_data();
    void spanAllFitsTheSession();

private:
    void feed(const QStringList& replies, bool secondaryOn, const QString& function = "VOLT:DC");
    void click(const char* button);
    // The plot area in the chart view's viewport, and the time at a pixel
    // column of it and back, as the window drew it last.
    QRect plotRect() const;
    qint64 timeAt(int x) const;
    int xOf(qint64 msecs) const;
    QWidget* viewport() const;
    void showWithReadings(int count);
    QString openLog(const QByteArray& bytes, const QString& name);

    RecordingDialogs dialogs_;
    std::unique_ptr<Trend> window_;
    std::unique_ptr<QTemporaryDir> dir_;  // fresh for each test
};

void TstTrend::init() {
    dialogs_ = RecordingDialogs();
    window_ = std::make_unique<Trend>(dialogs_);
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
}

void TstTrend::cleanup() {
    window_.reset();
    dir_.reset();
}

void TstTrend::feed(const QStringList& replies, bool secondaryOn, const QString& function) {
    const qsizetype already = window_->points().size();
    for (qsizetype i = 0; i < replies.size(); ++i) {
        window_->addReading(
            kStart.addSecs(already + i),
            vx::meter::splitReply(replies[i], secondaryOn,
                                  {function, QStringLiteral("VDC"), QStringLiteral("Hz")}));
    }
}

void TstTrend::click(const char* button) {
    auto* widget = window_->findChild<QPushButton*>(QLatin1String(button));
    QVERIFY(widget != nullptr);
    QTest::mouseClick(widget, Qt::LeftButton);
}

void TstTrend::plotFollowsReadings_data() {
    QTest::addColumn<QStringList>("replies");
    QTest::addColumn<bool>("secondaryOn");
    QTest::addColumn<QList<QList<QPointF>>>("primary");
    QTest::addColumn<QList<QList<QPointF>>>("secondary");

    QTest::newRow("primary only") << QStringList{"+1.00000E+00", "+1.50000E+00", "-2.00000E-01"}
                                  << false
                                  << QList<QList<QPointF>>{{{x(0), 1.0}, {x(1), 1.5}, {x(2), -0.2}}}
                                  << QList<QList<QPointF>>{};
    QTest::newRow("overload and junk are gaps")
        << QStringList{"+1.0E+00", "+2.0E+00", "+9.90000E+37", "+3.0E+00",
                       "+4.0E+00", "OOPS",     "+5.0E+00"}
        << false
        << QList<QList<QPointF>>{{{x(0), 1.0}, {x(1), 2.0}},
                                 {{x(3), 3.0}, {x(4), 4.0}},
                                 {{x(6), 5.0}}}
        << QList<QList<QPointF>>{};
    QTest::newRow("with secondary")
        << QStringList{"+1.0E+00,+6.0E+01", "+1.1E+00,+9.9E+37", "+1.2E+00,+6.2E+01",
                       "+1.3E+00,+6.3E+01\r"}
        << true << QList<QList<QPointF>>{{{x(0), 1.0}, {x(1), 1.1}, {x(2), 1.2}, {x(3), 1.3}}}
        << QList<QList<QPointF>>{{{x(0), 60.0}}, {{x(2), 62.0}, {x(3), 63.0}}};
}

void TstTrend::plotFollowsReadings() {
    QFETCH(QStringList, replies);
    QFETCH(bool, secondaryOn);
    feed(replies, secondaryOn);
    window_->refreshNow();
    QTEST(shown(*window_, Column::Primary), "primary");
    QTEST(shown(*window_, Column::Secondary), "secondary");

    QValueAxis* left = valueAxis(*window_, Qt::AlignLeft);
    QValueAxis* right = valueAxis(*window_, Qt::AlignRight);
    QVERIFY(left != nullptr && right != nullptr);
    QCOMPARE(left->titleText(), "Primary(VDC)");
    QCOMPARE(right->titleText(), "Secondary(Hz)");
    QCOMPARE(right->isVisible(), secondaryOn);
    // The overload never stretches the scale.
    QVERIFY(left->max() < 10.0);
    QVERIFY(left->min() > -10.0);
    if (secondaryOn) {
        QVERIFY(right->max() < 100.0);
    }
}

void TstTrend::drawsOnlyWhenTheTimerFires() {
    QVERIFY(!window_->refreshPending());
    feed({"+1.0E+00", "+2.0E+00"}, false);
    QVERIFY(window_->refreshPending());
    QVERIFY(window_->plotted(Column::Primary).isEmpty());
    window_->refreshNow();
    QVERIFY(!window_->refreshPending());
    QCOMPARE(shown(*window_, Column::Primary), (QList<QList<QPointF>>{{{x(0), 1.0}, {x(1), 2.0}}}));
}

void TstTrend::hiddenWindowDrawsWhenShown() {
    window_->setRefreshInterval(std::chrono::milliseconds(0));
    feed({"+1.0E+00", "+2.0E+00"}, false);
    QTRY_VERIFY(!window_->refreshPending());
    QVERIFY(window_->plotted(Column::Primary).isEmpty());  // hidden: nothing drawn

    window_->show();
    QCOMPARE(shown(*window_, Column::Primary), (QList<QList<QPointF>>{{{x(0), 1.0}, {x(1), 2.0}}}));
    feed({"+3.0E+00"}, false);
    QTRY_VERIFY(!window_->refreshPending());
    QCOMPARE(shown(*window_, Column::Primary),
             (QList<QList<QPointF>>{{{x(0), 1.0}, {x(1), 2.0}, {x(2), 3.0}}}));
}

void TstTrend::newFunctionStartsNewSeries() {
    feed({"+1.0E+00", "+2.0E+00", "+3.0E+00"}, false, "VOLT:DC");
    QCOMPARE(window_->points().size(), 3);
    feed({"+4.0E+00"}, false, "VOLT:DC");
    QCOMPARE(window_->points().size(), 4);
    QCOMPARE(window_->primaryStats().count(), 4);

    window_->addReading(kStart.addSecs(10),
                        vx::meter::splitReply("+5.00000E+01", false, {"FREQ", "Hz", ""}));
    window_->refreshNow();
    QCOMPARE(window_->points().size(), 1);
    QCOMPARE(window_->primaryStats().count(), 1);
    QCOMPARE(window_->primaryStats().mean(), 50.0);
    QCOMPARE(shown(*window_, Column::Primary), (QList<QList<QPointF>>{{{x(10), 50.0}}}));
    QCOMPARE(window_->chart()->title(), "FREQ");
    QCOMPARE(valueAxis(*window_, Qt::AlignLeft)->titleText(), "Primary(Hz)");
}

void TstTrend::keepsTheLastDayOnly() {
    constexpr int total = 86'400 + 100;
    for (int i = 0; i < total; ++i) {
        window_->addReading(kStart.addSecs(i),
                            vx::meter::splitReply(i % 1000 == 500 ? "+9.9E+37" : "+1.0E+00", false,
                                                  {"VOLT:DC", "VDC", ""}));
    }
    QCOMPARE(window_->points().size(), 86'400);
    QCOMPARE(window_->points().at(0).msecs, kStart.addSecs(100).toMSecsSinceEpoch());
    QCOMPARE(window_->points().at(86'399).msecs, kStart.addSecs(total - 1).toMSecsSinceEpoch());
    // The statistics go back to the start of the series, not just the kept day.
    QCOMPARE(window_->primaryStats().count() + window_->primaryStats().gaps(), total);

    window_->refreshNow();
    qsizetype drawn = 0;
    for (const QLineSeries* series : window_->plotted(Column::Primary)) {
        drawn += series->count();
    }
    QVERIFY2(drawn > 0 && drawn <= 2000, qPrintable(QString::number(drawn)));
}

void TstTrend::statisticsPanel() {
    feed({"+2.0E+00", "+9.9E+37", "+4.0E+00", "GARBAGE", "+6.0E+00"}, false);
    window_->refreshNow();
    const auto text = [this](const char* name) {
        auto* label = window_->findChild<QLabel*>(QLatin1String(name));
        return label ? label->text() : QStringLiteral("<missing %1>").arg(QLatin1String(name));
    };
    QCOMPARE(text("PrimaryCount"), "3");
    QCOMPARE(text("PrimaryGaps"), "2");
    QCOMPARE(text("PrimaryLast"), "6 VDC");
    QCOMPARE(text("PrimaryMinimum"), "2 VDC");
    QCOMPARE(text("PrimaryMaximum"), "6 VDC");
    QCOMPARE(text("PrimaryMean"), "4 VDC");
    QCOMPARE(text("PrimaryStdDev"), "2 VDC");
    QCOMPARE(text("PrimaryPeakToPeak"), "4 VDC");
    QVERIFY(window_->findChild<QLabel*>("SecondaryCount")->isHidden());

    feed({"+8.0E+00,+1.0E+03", "+8.0E+00,+3.0E+03"}, true);
    window_->refreshNow();
    QVERIFY(!window_->findChild<QLabel*>("SecondaryCount")->isHidden());
    QCOMPARE(text("SecondaryCount"), "2");
    QCOMPARE(text("SecondaryMean"), "2000 Hz");
    QCOMPARE(text("PrimaryCount"), "5");
}

void TstTrend::clearButton() {
    feed({"+1.0E+00,+5.0E+00", "+9.9E+37,+6.0E+00"}, true);
    window_->refreshNow();
    click("ClearBtn");
    QVERIFY(window_->points().isEmpty());
    QCOMPARE(window_->primaryStats().count() + window_->primaryStats().gaps(), 0);
    QCOMPARE(window_->secondaryStats().count(), 0);
    QVERIFY(window_->plotted(Column::Primary).isEmpty());
    QCOMPARE(window_->findChild<QLabel*>("PrimaryCount")->text(), "0");
    QCOMPARE(window_->findChild<QLabel*>("PrimaryMean")->text(), "-");
    // Readings after Clear continue the same function without a restart.
    feed({"+7.0E+00"}, true);
    QCOMPARE(window_->primaryStats().mean(), 7.0);
}

void TstTrend::savePlot() {
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    QStringList replies;
    for (int i = 0; i < 300; ++i) {
        replies << QString::number(std::sin(i / 20.0), 'E', 5) + "," +
                       QString::number(50 + std::cos(i / 30.0), 'E', 5);
    }
    feed(replies, true);
    const QString path = dir_->filePath("plot.png");
    dialogs_.saveAnswers = {path};
    click("SavePlotBtn");

    QCOMPARE(dialogs_.saveRequests.size(), 1);
    QCOMPARE(dialogs_.saveRequests[0].title, "Save Plot As");
    QCOMPARE(dialogs_.saveRequests[0].filter, "PNG(*.png)|*.png|All Files(*.*)|*.*");
    QVERIFY(dialogs_.messages.isEmpty());

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.read(8) == QByteArray("\x89PNG\r\n\x1a\n", 8));
    const QImage image(path, "PNG");
    QVERIFY(!image.isNull());
    const auto* view = window_->findChild<QChartView*>("TrendChart");
    QCOMPARE(image.size(), view->size() * view->devicePixelRatio());
    // Both lines are in the picture: pixels close to each line colour.
    const auto near = [&image](QColor colour) {
        for (int y = 0; y < image.height(); ++y) {
            for (int xx = 0; xx < image.width(); ++xx) {
                const QColor c = image.pixelColor(xx, y);
                if (std::abs(c.red() - colour.red()) + std::abs(c.green() - colour.green()) +
                        std::abs(c.blue() - colour.blue()) <
                    30) {
                    return true;
                }
            }
        }
        return false;
    };
    QVERIFY(near(QColor(0x1f, 0x5f, 0xbf)));
    QVERIFY(near(QColor(0xd0, 0x60, 0x10)));
}

void TstTrend::savePoints() {
    const vx::meter::Measure measure{"VOLT:DC", "VDC", "Hz"};
    window_->addReading(kStart, vx::meter::splitReply("+1.50012E+00,+1.00001E+03", true, measure));
    window_->addReading(kStart.addSecs(1),
                        vx::meter::splitReply("+9.90000E+37,+1.00002E+03", true, measure));
    window_->addReading(kStart.addSecs(2), vx::meter::splitReply("-2.50000E-03", false, measure));
    const QString path = dir_->filePath("points.csv");
    {
        QFile old(path);  // an older export is replaced, not appended to
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old contents\r\n");
    }
    dialogs_.saveAnswers = {path};
    click("SaveCsvBtn");

    QCOMPARE(dialogs_.saveRequests.size(), 1);
    QCOMPARE(dialogs_.saveRequests[0].title, "Save Points As");
    QCOMPARE(dialogs_.saveRequests[0].filter,
             "CSV(*.csv)|*.csv|Text Files(*.txt)|*.txt|All Files(*.*)|*.*");
    QVERIFY(dialogs_.messages.isEmpty());
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("Time,Primary(VDC),Secondary(Hz)\r\n"
                                        "14:05:09 09/22/2016,1.50012,1000.01\r\n"
                                        "14:05:10 09/22/2016,,1000.02\r\n"
                                        "14:05:11 09/22/2016,-0.0025,\r\n"));
}

void TstTrend::cancelSavesNothing() {
    feed({"+1.0E+00"}, false);
    click("SavePlotBtn");
    click("SaveCsvBtn");
    QCOMPARE(dialogs_.saveRequests.size(), 2);
    QVERIFY(dialogs_.messages.isEmpty());
    QVERIFY(QDir(dir_->path()).entryList(QDir::Files).isEmpty());
}

void TstTrend::saveErrorsAreReported_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("what");
    QTest::newRow("plot") << "SavePlotBtn"
                          << "plot";
    QTest::newRow("points") << "SaveCsvBtn"
                            << "points";
}

void TstTrend::saveErrorsAreReported() {
    QFETCH(QString, button);
    QFETCH(QString, what);
    feed({"+1.0E+00"}, false);
    const QString path = dir_->filePath("no such folder/out.file");
    dialogs_.saveAnswers = {path};
    click(qPrintable(button));
    QCOMPARE(dialogs_.messages.size(), 1);
    const auto& message = dialogs_.messages.constFirst();
    QCOMPARE(message.title, "Save Error");
    QCOMPARE(message.icon, vx::shell::Dialogs::Icon::Critical);
    QVERIFY2(message.text.startsWith(
                 QStringLiteral("The %1 could not be saved to %2: ").arg(what, path)),
             qPrintable(message.text));
    QVERIFY(!QFile::exists(path));
}

QWidget* TstTrend::viewport() const {
    return window_->findChild<QChartView*>("TrendChart")->viewport();
}

QRect TstTrend::plotRect() const {
    const auto* view = window_->findChild<QChartView*>("TrendChart");
    const QRectF scene = window_->chart()->mapRectToScene(window_->chart()->plotArea());
    return view->mapFromScene(scene).boundingRect();
}

qint64 TstTrend::timeAt(int x) const {
    const QRect plot = plotRect();
    const Trend::TimeRange range = window_->visibleRange();
    return range.from +
           std::llround(double(x - plot.left()) / plot.width() * double(range.to - range.from));
}

int TstTrend::xOf(qint64 msecs) const {
    const QRect plot = plotRect();
    const Trend::TimeRange range = window_->visibleRange();
    return plot.left() + int(std::lround(double(msecs - range.from) /
                                         double(range.to - range.from) * plot.width()));
}

void TstTrend::showWithReadings(int count) {
    window_->resize(1100, 560);
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    QStringList replies;
    for (int i = 0; i < count; ++i) {
        replies << QString::number(1.0 + std::sin(i / 30.0), 'E', 5);
    }
    feed(replies, false);
    window_->refreshNow();
}

// Each row scripts the mouse or the keys on the plot and gives the range it
// must show afterwards, from the range before (`from`, `to`) and the time at
// two pixel columns (`t1`: a quarter into the plot, `t2`: three quarters).
void TstTrend::zoomAndPan_data() {
    QTest::addColumn<QString>("action");
    QTest::newRow("wheel in") << "wheel+";
    QTest::newRow("wheel out") << "wheel-";
    QTest::newRow("drag pans") << "drag";
    QTest::newRow("right-drag zooms to a rectangle") << "rect-right";
    QTest::newRow("shift-drag zooms to a rectangle") << "rect-shift";
    QTest::newRow("key +") << "key+";
    QTest::newRow("key left") << "keyLeft";
}

void TstTrend::zoomAndPan() {
    QFETCH(QString, action);
    showWithReadings(600);
    QVERIFY(window_->following());
    const Trend::TimeRange before = window_->visibleRange();
    const QRect plot = plotRect();
    const int x1 = plot.left() + plot.width() / 4;
    const int x2 = plot.left() + plot.width() * 3 / 4;
    const int y = plot.center().y();
    const qint64 t1 = timeAt(x1);
    const qint64 t2 = timeAt(x2);
    const qint64 span = before.to - before.from;

    Trend::TimeRange expected;
    if (action.startsWith("wheel")) {
        const int delta = action == "wheel+" ? 120 : -120;
        QWheelEvent wheel(QPointF(x1, y), viewport()->mapToGlobal(QPointF(x1, y)), QPoint(),
                          QPoint(0, delta), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(viewport(), &wheel);
        const double factor = delta > 0 ? 0.8 : 1.25;
        // The time under the mouse stays where it was.
        const qint64 from = t1 - std::llround(double(t1 - before.from) * factor);
        expected = {from, from + std::llround(span * factor)};
    } else if (action == "drag") {
        QTest::mousePress(viewport(), Qt::LeftButton, {}, QPoint(x2, y));
        QTest::mouseMove(viewport(), QPoint(x1, y));
        QTest::mouseRelease(viewport(), Qt::LeftButton, {}, QPoint(x1, y));
        expected = {before.from + (t2 - t1), before.to + (t2 - t1)};
    } else if (action.startsWith("rect")) {
        const bool right = action == "rect-right";
        const Qt::MouseButton button = right ? Qt::RightButton : Qt::LeftButton;
        const Qt::KeyboardModifiers keys = right ? Qt::NoModifier : Qt::ShiftModifier;
        QTest::mousePress(viewport(), button, keys, QPoint(x2, y));
        QTest::mouseMove(viewport(), QPoint(x1, y));
        QTest::mouseRelease(viewport(), button, keys, QPoint(x1, y));
        expected = {t1, t2};
    } else if (action == "key+") {
        QTest::keyClick(window_->findChild<QChartView*>("TrendChart"), Qt::Key_Plus);
        const qint64 middle = before.from + span / 2;
        const qint64 from = middle - std::llround(double(span / 2) * 0.8);
        expected = {from, from + std::llround(span * 0.8)};
    } else {
        QTest::keyClick(window_->findChild<QChartView*>("TrendChart"), Qt::Key_Left);
        expected = {before.from - span / 10, before.to - span / 10};
    }
    QVERIFY(!window_->following());
    const Trend::TimeRange after = window_->visibleRange();
    // Within one pixel column's worth of time.
    const qint64 pixel = span / plot.width() + 1;
    QVERIFY2(
        std::abs(after.from - expected.from) <= pixel && std::abs(after.to - expected.to) <= pixel,
        qPrintable(QStringLiteral("%1..%2, expected %3..%4")
                       .arg(after.from - before.from)
                       .arg(after.to - before.from)
                       .arg(expected.from - before.from)
                       .arg(expected.to - before.from)));
    QVERIFY(window_->findChild<QPushButton*>("FollowBtn")->isEnabled());

    // New readings do not move a zoomed plot; Escape goes back to following them.
    feed({"+5.0E+00"}, false);
    window_->refreshNow();
    QCOMPARE(window_->visibleRange().from, after.from);
    QTest::keyClick(window_.get(), Qt::Key_Escape);
    QVERIFY(window_->following());
    QVERIFY(!window_->findChild<QPushButton*>("FollowBtn")->isEnabled());
    QCOMPARE(window_->visibleRange().from, before.from);
    QVERIFY(window_->visibleRange().to >= kStart.addSecs(600).toMSecsSinceEpoch());
}

void TstTrend::readout_data() {
    QTest::addColumn<int>("second");
    QTest::addColumn<QString>("text");
    QTest::newRow("reading") << 0
                             << "14:05:09 09/22/2016   Primary 1.50012 VDC   Secondary 1000.01 Hz";
    QTest::newRow("overload") << 1
                              << "14:05:10 09/22/2016   Primary: overload   Secondary 1000.02 Hz";
    QTest::newRow("not a number")
        << 2 << "14:05:11 09/22/2016   Primary: not a number   Secondary: overload";
    QTest::newRow("secondary missing")
        << 3 << "14:05:12 09/22/2016   Primary 2 VDC   Secondary: not a number";
}

void TstTrend::readout() {
    QFETCH(int, second);
    window_->resize(1100, 560);
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    feed({"+1.50012E+00,+1.00001E+03", "+9.90000E+37,+1.00002E+03", "OOPS,+9.9E+37", "+2.0E+00"},
         true);
    window_->refreshNow();
    QTest::mouseMove(viewport(), QPoint(xOf(kStart.addSecs(second).toMSecsSinceEpoch()),
                                        plotRect().center().y()));
    QTEST(window_->findChild<QLabel*>("Readout")->text(), "text");
    // Outside the plot the label goes back to its hint.
    QTest::mouseMove(viewport(), QPoint(1, 1));
    QVERIFY(window_->findChild<QLabel*>("Readout")->text().startsWith("Wheel: zoom"));
}

QString TstTrend::openLog(const QByteArray& bytes, const QString& name) {
    const QString path = dir_->filePath(name);
    if (!bytes.isNull()) {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly)) {
            return {};
        }
        file.write(bytes);
    }
    window_->setOpenDialog([path](QWidget*) { return std::optional<QString>(path); });
    click("OpenLogBtn");
    return path;
}

void TstTrend::openLogShowsSessions() {
    feed({"+1.0E+00", "+2.0E+00"}, false);
    window_->refreshNow();
    const QByteArray log =
        "\r\nDC Voltage(V)\r\n"
        "+1.50000E+00,14:05:09 09/22/2016\r\n"
        "+1.60000E+00,14:05:10 09/22/2016\r\n"
        "\r\nDC Voltage(V),Frequency(Hz)\r\n"
        "+1.70000E+00,+1.00000E+03,14:06:00 09/22/2016\r\n"
        "+1.80000E+00,14:0";
    openLog(log, "night.csv");
    QTRY_VERIFY(!window_->loading());
    QVERIFY(window_->showingLog());
    QVERIFY(dialogs_.messages.isEmpty());

    auto* sessions = window_->findChild<QComboBox*>("SessionBox");
    QCOMPARE(sessions->count(), 2);
    QCOMPARE(sessions->itemText(0), "1: DC Voltage(V), from 14:05:09 09/22/2016, 2 readings");
    QCOMPARE(sessions->itemText(1),
             "2: DC Voltage(V),Frequency(Hz), from 14:06:00 09/22/2016, 1 readings");
    QCOMPARE(sessions->currentIndex(), 1);  // the latest run
    QCOMPARE(window_->findChild<QLabel*>("LogNote")->text(),
             "1 line could not be read and was skipped: line 8.");
    QCOMPARE(shown(*window_, Column::Primary), (QList<QList<QPointF>>{{{x(51), 1.7}}}));
    QCOMPARE(shown(*window_, Column::Secondary), (QList<QList<QPointF>>{{{x(51), 1000.0}}}));
    QCOMPARE(window_->findChild<QLabel*>("PrimaryTitle")->text(), "DC Voltage(V)");
    QCOMPARE(window_->findChild<QLabel*>("PrimaryMean")->text(), "1.7 V");

    // The first session, chosen with the keyboard.
    sessions->setFocus();
    QTest::keyClick(sessions, Qt::Key_Up);
    QCOMPARE(shown(*window_, Column::Primary), (QList<QList<QPointF>>{{{x(0), 1.5}, {x(1), 1.6}}}));
    QCOMPARE(window_->findChild<QLabel*>("PrimaryCount")->text(), "2");

    // Live readings go on being kept while the file is shown, and come back with Live.
    feed({"+3.0E+00"}, false);
    QCOMPARE(window_->points().size(), 3);
    QVERIFY(!window_->refreshPending());
    QCOMPARE(shown(*window_, Column::Primary).first().size(), 2);
    click("LiveBtn");
    QVERIFY(!window_->showingLog());
    QVERIFY(!window_->findChild<QPushButton*>("LiveBtn")->isEnabled());
    QCOMPARE(shown(*window_, Column::Primary),
             (QList<QList<QPointF>>{{{x(0), 1.0}, {x(1), 2.0}, {x(2), 3.0}}}));
    QCOMPARE(window_->findChild<QLabel*>("PrimaryTitle")->text(), "Primary(VDC)");
}

// A log of four channels (vxlog --meter, --calc) after a one-column session:
// the channel list picks the column drawn as the primary line and the figures
// beside the plot, with the unit from its title; empty fields are gaps.
void TstTrend::channelsOfASeveralMeterLog_data() {
    QTest::addColumn<int>("channel");
    QTest::addColumn<QList<QList<QPointF>>>("runs");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QStringList>("figures");  // count, gaps, minimum, maximum, mean
    QTest::addColumn<QString>("readout");      // hovering the last reading

    QTest::newRow("V")
        << 0 << QList<QList<QPointF>>{{{x(0), 1.5}, {x(1), 1.5}, {x(2), 1.4}, {x(3), 1.6}}}
        << "V: DC Voltage(V)" << QStringList{"4", "0", "1.4 V", "1.6 V", "1.5 V"}
        << "V: DC Voltage(V) 1.6 V";
    QTest::newRow("I, an overload and an empty field")
        << 1 << QList<QList<QPointF>>{{{x(0), 0.012}}, {{x(3), 0.02}}} << "I: DC Current(A)"
        << QStringList{"2", "2", "0.012 A", "0.02 A", "0.016 A"} << "I: DC Current(A) 0.02 A";
    QTest::newRow("P, computed, no unit")
        << 2 << QList<QList<QPointF>>{{{x(0), 0.018}}, {{x(3), 0.032}}} << "P"
        << QStringList{"2", "2", "0.018", "0.032", "0.025"} << "P 0.032";
    QTest::newRow("E, the last") << 3
                                 << QList<QList<QPointF>>{{{x(0), 0.0}},
                                                          {{x(2), 0.5}, {x(3), 1.25}}}
                                 << "E" << QStringList{"3", "1", "0", "1.25", "0.5833333"}
                                 << "E 1.25";
}

void TstTrend::channelsOfASeveralMeterLog() {
    QFETCH(int, channel);
    QFETCH(QList<QList<QPointF>>, runs);
    QFETCH(QString, title);
    QFETCH(QStringList, figures);
    QFETCH(QString, readout);
    window_->resize(1100, 560);
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    const QByteArray log =
        "\r\nDC Voltage(V)\r\n"
        "+1.00000E+00,14:00:00 09/22/2016\r\n"
        "\r\nV: DC Voltage(V),I: DC Current(A),P,E\r\n"
        "+1.5E+00,+1.2E-02,0.018,0,14:05:09 09/22/2016\r\n"
        "+1.5E+00,,,,14:05:10 09/22/2016\r\n"
        "+1.4E+00,+9.9E+37,,0.5,14:05:11 09/22/2016\r\n"
        "+1.6E+00,+2.0E-02,0.032,1.25,14:05:12 09/22/2016\r\n";
    openLog(log, "bench.csv");
    QTRY_VERIFY(!window_->loading());
    QVERIFY(dialogs_.messages.isEmpty());

    auto* channels = window_->findChild<QComboBox*>("ChannelBox");
    QVERIFY(channels != nullptr);
    QVERIFY(!channels->isHidden());
    QCOMPARE(channels->count(), 4);
    QCOMPARE(channels->itemText(channel), title);
    QCOMPARE(channels->currentIndex(), 0);
    channels->setFocus();
    for (int i = 0; i < channel; ++i) {
        QTest::keyClick(channels, Qt::Key_Down);
    }
    QCOMPARE(channels->currentIndex(), channel);

    QCOMPARE(shown(*window_, Column::Primary), runs);
    QVERIFY(shown(*window_, Column::Secondary).isEmpty());
    QCOMPARE(window_->findChild<QLabel*>("PrimaryTitle")->text(), title);
    QVERIFY(window_->findChild<QLabel*>("SecondaryTitle")->isHidden());
    QStringList labels;
    for (const char* name :
         {"PrimaryCount", "PrimaryGaps", "PrimaryMinimum", "PrimaryMaximum", "PrimaryMean"}) {
        labels << window_->findChild<QLabel*>(QLatin1String(name))->text();
    }
    QCOMPARE(labels, figures);
    // Inside the log's slice of 14:05:12, whatever the rounding to a pixel.
    QTest::mouseMove(viewport(), QPoint(xOf(kStart.addMSecs(3500).toMSecsSinceEpoch()),
                                        plotRect().center().y()));
    QCOMPARE(window_->findChild<QLabel*>("Readout")->text(), "14:05:12 09/22/2016   " + readout);

    // A session of one column has no channels to choose.
    auto* sessions = window_->findChild<QComboBox*>("SessionBox");
    sessions->setFocus();
    QTest::keyClick(sessions, Qt::Key_Up);
    QCOMPARE(sessions->currentIndex(), 0);
    QVERIFY(channels->isHidden());
    QCOMPARE(shown(*window_, Column::Primary), (QList<QList<QPointF>>{{{x(-309), 1.0}}}));
    QCOMPARE(window_->findChild<QLabel*>("PrimaryTitle")->text(), "DC Voltage(V)");
}

void TstTrend::badLogsAreReported_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("message");
    QTest::newRow("0 bytes") << QByteArray("") << "empty.csv"
                             << "The log file %1 is empty: it holds no session and no reading.";
    QTest::newRow("foreign") << QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR") << "plot.png"
                             << "%1 is not a log of readings: none of its 2 lines is a reading "
                                "with its time stamp (value, then hh:mm:ss mm/dd/yyyy).";
    QTest::newRow("folder") << QByteArray() << "."
                            << "The log file %1 could not be read: it is a folder.";
}

void TstTrend::badLogsAreReported() {
    QFETCH(QString, message);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, name);
    feed({"+1.0E+00"}, false);
    const QString path = openLog(bytes, name);
    QTRY_VERIFY(!window_->loading());
    QCOMPARE(dialogs_.messages.size(), 1);
    QCOMPARE(dialogs_.messages[0].title, "Open Log");
    QCOMPARE(dialogs_.messages[0].text, message.arg(path));
    QVERIFY(!window_->showingLog());
    QCOMPARE(window_->points().size(), 1);
    QVERIFY(window_->findChild<QPushButton*>("OpenLogBtn")->isEnabled());
}

// A session of the log format: an empty line, the header, then `count`
// readings `step` seconds apart from `first`, every line ended by CR LF.
QByteArray sessionLog(const QDateTime& first, int count, int step) {
    QByteArray bytes = "\r\nDC Voltage(V)\r\n";
    for (int i = 0; i < count; ++i) {
        bytes += QByteArray::number(1.5 + 0.01 * std::sin(i / 40.0), 'E', 5) + ',' +
                 first.addSecs(qint64(i) * step)
                     .toString(QStringLiteral("HH:mm:ss MM/dd/yyyy"))
                     .toLatin1() +
                 "\r\n";
    }
    return bytes;
}

// Span "All" on an opened log: the time axis runs from the shown session's
// first reading to its last, widened only to the next round step at each end
// (and to ten seconds at least), whatever the session's length and year.
void TstTrend::spanAllFitsTheSession_data() {
    QTest::addColumn<QByteArray>("before");  // sessions before the shown one
    QTest::addColumn<QDateTime>("first");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("step");  // seconds between readings

    const QDateTime afternoon(QDate(2016, 9, 22), QTime(14, 5, 9));
    QTest::newRow("3 seconds") << QByteArray() << afternoon << 4 << 1;
    QTest::newRow("40 seconds") << QByteArray() << afternoon << 41 << 1;
    QTest::newRow("83 minutes") << QByteArray() << afternoon << 4981 << 1;
    QTest::newRow("83 minutes after midnight")
        << QByteArray() << QDateTime(QDate(2016, 9, 23), QTime(0, 2, 0)) << 4981 << 1;
    QTest::newRow("a night") << QByteArray() << QDateTime(QDate(2016, 9, 22), QTime(22, 0, 0))
                             << 2881 << 10;
    QTest::newRow("3 days") << QByteArray() << afternoon << 4321 << 60;
    QTest::newRow("40 days") << QByteArray() << afternoon << 5761 << 600;
    QTest::newRow("another year, over New Year")
        << QByteArray() << QDateTime(QDate(1999, 12, 31), QTime(23, 10, 30)) << 4981 << 1;
    QTest::newRow("the last of two sessions")
        << sessionLog(QDateTime(QDate(2015, 3, 2), QTime(8, 0, 0)), 600, 1) << afternoon << 4981
        << 1;
    QTest::newRow("another year, 2041")
        << QByteArray() << QDateTime(QDate(2041, 6, 30), QTime(11, 58, 0)) << 4981 << 1;
    // Thousands of short runs appended to one file (by a script, say) share
    // the reader's slices, so the shown session keeps only a few, wider than
    // a second; the axis still ends at its readings, not at its slices.
    QByteArray runs;
    const QByteArray run = sessionLog(QDateTime(QDate(2016, 9, 1), QTime(8, 0, 0)), 17, 1);
    for (int i = 0; i < 9000; ++i) {
        runs += run;
    }
    QTest::newRow("40 seconds after 9000 short runs") << runs << afternoon << 41 << 1;
    QTest::newRow("83 minutes after 9000 short runs") << runs << afternoon << 4981 << 1;
}

void TstTrend::spanAllFitsTheSession() {
    QFETCH(QByteArray, before);
    QFETCH(QDateTime, first);
    QFETCH(int, count);
    QFETCH(int, step);
    window_->resize(1100, 560);
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    feed({"+1.0E+00", "+2.0E+00"}, false);  // live readings of another day

    openLog(before + sessionLog(first, count, step), "session.csv");
    QTRY_VERIFY(!window_->loading());
    QVERIFY(window_->showingLog());
    QVERIFY(dialogs_.messages.isEmpty());
    QCOMPARE(window_->findChild<QComboBox*>("SpanBox")->currentText(), "All");
    QVERIFY(window_->following());

    const QList<QAbstractAxis*> axes = window_->chart()->axes(Qt::Horizontal);
    QCOMPARE(axes.size(), 1);
    const auto* axis = qobject_cast<QDateTimeAxis*>(axes.first());
    QVERIFY(axis != nullptr);
    const qint64 from = axis->min().toMSecsSinceEpoch();
    const qint64 to = axis->max().toMSecsSinceEpoch();
    QVERIFY(axis->tickCount() >= 3);
    const qint64 gridStep = (to - from) / (axis->tickCount() - 1);

    const qint64 firstAt = first.toMSecsSinceEpoch();
    const qint64 lastAt = first.addSecs(qint64(count - 1) * step).toMSecsSinceEpoch();
    const qint64 end = std::max(lastAt, firstAt + 10'000);
    const auto stamp = [](qint64 msecs) {
        return QDateTime::fromMSecsSinceEpoch(msecs).toString(
            QStringLiteral("MM/dd/yyyy HH:mm:ss"));
    };
    QVERIFY2(from <= firstAt && from > firstAt - gridStep && to >= end && to < end + gridStep,
             qPrintable(QStringLiteral("axis %1 to %2 in %3 steps, session %4 to %5")
                            .arg(stamp(from), stamp(to))
                            .arg(axis->tickCount() - 1)
                            .arg(stamp(firstAt), stamp(lastAt))));
}

QTEST_MAIN(TstTrend)
#include "tst_trend.moc"
