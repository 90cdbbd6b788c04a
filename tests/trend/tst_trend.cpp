#include <QAbstractAxis>
#include <QChart>
#include <QChartView>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineSeries>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QValueAxis>

#include <memory>

#include "RecordingDialogs.h"
#include "Trend.h"

using trend::Column;

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

private:
    void feed(const QStringList& replies, bool secondaryOn, const QString& function = "VOLT:DC");
    void click(const char* button);

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
        window_->addReading(kStart.addSecs(already + i), replies[i], secondaryOn, function,
                            QStringLiteral("VDC"), QStringLiteral("Hz"));
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

    window_->addReading(kStart.addSecs(10), "+5.00000E+01", false, "FREQ", "Hz", "");
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
        window_->addReading(kStart.addSecs(i), i % 1000 == 500 ? "+9.9E+37" : "+1.0E+00", false,
                            "VOLT:DC", "VDC", "");
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
    window_->addReading(kStart, "+1.50012E+00,+1.00001E+03", true, "VOLT:DC", "VDC", "Hz");
    window_->addReading(kStart.addSecs(1), "+9.90000E+37,+1.00002E+03", true, "VOLT:DC", "VDC",
                        "Hz");
    window_->addReading(kStart.addSecs(2), "-2.50000E-03", false, "VOLT:DC", "VDC", "Hz");
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
    QCOMPARE(message.icon, shell::Dialogs::Icon::Critical);
    QVERIFY2(message.text.startsWith(
                 QStringLiteral("The %1 could not be saved to %2: ").arg(what, path)),
             qPrintable(message.text));
    QVERIFY(!QFile::exists(path));
}

QTEST_MAIN(TstTrend)
#include "tst_trend.moc"
