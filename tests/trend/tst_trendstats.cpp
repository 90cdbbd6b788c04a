#include <QList>
#include <QTest>

#include <cmath>
#include <limits>

#include "trend/TrendStats.h"

using vx::trend::TrendStats;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// NaN expected means "no value"; otherwise equal within 1e-12 relative.
bool same(double actual, double expected) {
    if (std::isnan(expected)) {
        return std::isnan(actual);
    }
    return std::fabs(actual - expected) <= 1e-12 * std::max(1.0, std::fabs(expected));
}

}  // namespace

class TstTrendStats : public QObject {
    Q_OBJECT

private slots:
    void knownSeries_data();
    void knownSeries();
    void clearStartsAfresh();
};

void TstTrendStats::knownSeries_data() {
    QTest::addColumn<QList<double>>("values");
    QTest::addColumn<qint64>("count");
    QTest::addColumn<qint64>("gaps");
    QTest::addColumn<double>("last");
    QTest::addColumn<double>("min");
    QTest::addColumn<double>("max");
    QTest::addColumn<double>("mean");
    QTest::addColumn<double>("stdDev");
    QTest::addColumn<double>("peakToPeak");

    QTest::newRow("nothing yet") << QList<double>{} << qint64(0) << qint64(0) << kNaN << kNaN
                                 << kNaN << kNaN << kNaN << kNaN;
    QTest::newRow("one reading") << QList<double>{3.5} << qint64(1) << qint64(0) << 3.5 << 3.5
                                 << 3.5 << 3.5 << kNaN << 0.0;
    QTest::newRow("ramp") << QList<double>{1, 2, 3, 4, 5} << qint64(5) << qint64(0) << 5.0 << 1.0
                          << 5.0 << 3.0 << std::sqrt(2.5) << 4.0;
    QTest::newRow("negative") << QList<double>{-1.5, -0.5} << qint64(2) << qint64(0) << -0.5 << -1.5
                              << -0.5 << -1.0 << std::sqrt(0.5) << 1.0;
    // 2 4 4 4 5 5 7 9: mean 5, squared distances sum to 32.
    QTest::newRow("gaps between readings")
        << QList<double>{2, kNaN, 4, 9.9e37, 4, -9.9e37, 4, 5, kInf, 5, 7, -kInf, 9} << qint64(8)
        << qint64(5) << 9.0 << 2.0 << 9.0 << 5.0 << std::sqrt(32.0 / 7.0) << 7.0;
    QTest::newRow("gap as the last reading")
        << QList<double>{1, 3, 9.9e37} << qint64(2) << qint64(1) << 3.0 << 1.0 << 3.0 << 2.0
        << std::sqrt(2.0) << 2.0;
    QTest::newRow("only gaps") << QList<double>{kNaN, 9.9e37, 1e38} << qint64(0) << qint64(3)
                               << kNaN << kNaN << kNaN << kNaN << kNaN << kNaN;
    QTest::newRow("just below overload")
        << QList<double>{9.89e37, -9.89e37} << qint64(2) << qint64(0) << -9.89e37 << -9.89e37
        << 9.89e37 << 0.0 << std::sqrt(2.0) * 9.89e37 << 2 * 9.89e37;
    // A sum of squares would lose these microvolt steps on a 1 GOhm offset.
    QTest::newRow("large offset") << QList<double>{1e9 + 4, 1e9 + 7, 1e9 + 13, 1e9 + 16}
                                  << qint64(4) << qint64(0) << 1e9 + 16 << 1e9 + 4 << 1e9 + 16
                                  << 1e9 + 10 << std::sqrt(30.0) << 12.0;
}

void TstTrendStats::knownSeries() {
    QFETCH(QList<double>, values);
    TrendStats stats;
    for (double value : values) {
        stats.add(value);
    }
    QTEST(qint64(stats.count()), "count");
    QTEST(qint64(stats.gaps()), "gaps");
    QFETCH(double, last);
    QFETCH(double, min);
    QFETCH(double, max);
    QFETCH(double, mean);
    QFETCH(double, stdDev);
    QFETCH(double, peakToPeak);
    QVERIFY2(same(stats.last(), last), qPrintable(QString::number(stats.last())));
    QVERIFY2(same(stats.min(), min), qPrintable(QString::number(stats.min())));
    QVERIFY2(same(stats.max(), max), qPrintable(QString::number(stats.max())));
    QVERIFY2(same(stats.mean(), mean), qPrintable(QString::number(stats.mean(), 'g', 17)));
    QVERIFY2(same(stats.stdDev(), stdDev), qPrintable(QString::number(stats.stdDev(), 'g', 17)));
    QVERIFY2(same(stats.peakToPeak(), peakToPeak), qPrintable(QString::number(stats.peakToPeak())));
}

void TstTrendStats::clearStartsAfresh() {
    TrendStats stats;
    for (double value : {100.0, kNaN, 300.0}) {
        stats.add(value);
    }
    stats.clear();
    QCOMPARE(stats.count(), 0);
    QCOMPARE(stats.gaps(), 0);
    QVERIFY(std::isnan(stats.mean()));
    stats.add(2.0);
    stats.add(4.0);
    QCOMPARE(stats.min(), 2.0);
    QCOMPARE(stats.max(), 4.0);
    QCOMPARE(stats.mean(), 3.0);
    QCOMPARE(stats.stdDev(), std::sqrt(2.0));
}

QTEST_APPLESS_MAIN(TstTrendStats)
#include "tst_trendstats.moc"
