#include <QDateTime>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>

#include "meter/Reading.h"
#include "trend/TrendData.h"

using vx::trend::Column;
using vx::trend::Point;
using vx::trend::PointBuffer;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

bool sameOrBothNaN(double a, double b) {
    return (std::isnan(a) && std::isnan(b)) || a == b;
}

qint64 at(int hour, int minute, int second) {
    return QDateTime(QDate(2016, 9, 22), QTime(hour, minute, second)).toMSecsSinceEpoch();
}

// The point of a reply as the main window splits it.
Point replyPoint(qint64 msecs, const QString& reply, bool secondaryOn) {
    return vx::trend::pointOf(msecs, vx::meter::splitReply(reply, secondaryOn));
}

// Readings one second apart, the primary value given, no secondary.
PointBuffer primarySeries(const QList<double>& values) {
    PointBuffer buffer;
    for (qsizetype i = 0; i < values.size(); ++i) {
        buffer.append(Point{.msecs = i * 1000, .primary = values[i], .secondary = kNaN});
    }
    return buffer;
}

}  // namespace

class TstTrendData : public QObject {
    Q_OBJECT

private slots:
    void parseValue_data();
    void parseValue();
    void pointOf_data();
    void pointOf();
    void bufferKeepsTheLastDay();
    void fewPointsAreDrawnAsTheyAre();
    void decimationKeepsEachBucketsExtremes();
    void bucketOfGapsBreaksTheLine();
    void secondaryOffIsAGap();
    void spanOfReadings_data();
    void spanOfReadings();
    void csvText_data();
    void csvText();
    void timeTicks_data();
    void timeTicks();
};

void TstTrendData::parseValue_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");
    QTest::newRow("exponent") << "+1.23456E+00" << 1.23456;
    QTest::newRow("negative small") << "-4.56000E-06" << -4.56e-6;
    QTest::newRow("left-over CR") << "+2.50000E+01\r" << 25.0;
    QTest::newRow("blanks") << "  7.5 " << 7.5;
    QTest::newRow("below overload") << "+9.89999E+37" << 9.89999e37;
    QTest::newRow("overload") << "+9.90000E+37" << kNaN;
    QTest::newRow("negative overload") << "-9.90000E+37" << kNaN;
    QTest::newRow("beyond overload") << "+1.00000E+38" << kNaN;
    QTest::newRow("too large for a double") << "1E+999" << kNaN;
    QTest::newRow("empty") << "" << kNaN;
    QTest::newRow("words") << "ERROR" << kNaN;
    QTest::newRow("two numbers") << "+1.0E+00,+2.0E+00" << kNaN;
    QTest::newRow("nan text") << "nan" << kNaN;
    QTest::newRow("inf text") << "inf" << kNaN;
    QTest::newRow("decimal comma") << "1,5" << kNaN;
}

void TstTrendData::parseValue() {
    QFETCH(QString, text);
    QFETCH(double, value);
    const double parsed = vx::trend::parseValue(text);
    QVERIFY2(sameOrBothNaN(parsed, value), qPrintable(QString::number(parsed)));
}

void TstTrendData::pointOf_data() {
    QTest::addColumn<QString>("reply");
    QTest::addColumn<bool>("secondaryOn");
    QTest::addColumn<double>("primary");
    QTest::addColumn<double>("secondary");
    QTest::newRow("primary only") << "+1.5E+00" << false << 1.5 << kNaN;
    QTest::newRow("comma while off") << "+1.5E+00,+6.0E+01" << false << kNaN << kNaN;
    QTest::newRow("both") << "+1.5E+00,+6.0E+01" << true << 1.5 << 60.0;
    QTest::newRow("both, CR left") << "+1.5E+00,+6.0E+01\r" << true << 1.5 << 60.0;
    QTest::newRow("no comma while on") << "+1.5E+00" << true << 1.5 << kNaN;
    QTest::newRow("secondary overload") << "+1.5E+00,+9.9E+37" << true << 1.5 << kNaN;
    QTest::newRow("primary overload") << "+9.9E+37,+6.0E+01" << true << kNaN << 60.0;
    QTest::newRow("second comma") << "+1.5E+00,+6.0E+01,+7.0E+00" << true << 1.5 << kNaN;
}

void TstTrendData::pointOf() {
    QFETCH(QString, reply);
    QFETCH(bool, secondaryOn);
    QFETCH(double, primary);
    QFETCH(double, secondary);
    const Point point = vx::trend::pointOf(1234, vx::meter::splitReply(reply, secondaryOn));
    QCOMPARE(point.msecs, 1234);
    QCOMPARE(point.secondaryOn, secondaryOn);
    QVERIFY2(sameOrBothNaN(point.primary, primary), qPrintable(QString::number(point.primary)));
    QVERIFY2(sameOrBothNaN(point.secondary, secondary),
             qPrintable(QString::number(point.secondary)));
}

void TstTrendData::bufferKeepsTheLastDay() {
    PointBuffer buffer;
    QCOMPARE(buffer.capacity(), 86'400);
    // Only the very first reading has a secondary value; it drops off last.
    for (qint64 i = 0; i < 86'400 + 50; ++i) {
        buffer.append(Point{.msecs = i, .primary = double(i), .secondaryOn = i == 0});
        if (i == 86'399) {
            QCOMPARE(buffer.size(), 86'400);
            QCOMPARE(buffer.at(0).msecs, 0);
            QVERIFY(buffer.anySecondary());
        }
    }
    QCOMPARE(buffer.size(), 86'400);
    QCOMPARE(buffer.at(0).msecs, 50);
    QCOMPARE(buffer.at(buffer.size() - 1).msecs, 86'449);
    QVERIFY(!buffer.anySecondary());
    buffer.clear();
    QVERIFY(buffer.isEmpty());
}

void TstTrendData::fewPointsAreDrawnAsTheyAre() {
    const PointBuffer buffer = primarySeries({1, 2, kNaN, 3, 9.9e37, 4, 5});
    const auto runs = vx::trend::decimate(buffer, Column::Primary, 100);
    const QList<QList<QPointF>> expected{{{0, 1}, {1000, 2}}, {{3000, 3}}, {{5000, 4}, {6000, 5}}};
    QCOMPARE(runs, expected);
}

void TstTrendData::decimationKeepsEachBucketsExtremes() {
    std::minstd_rand random(20160922);
    std::uniform_real_distribution<double> noise(-1.0, 1.0);
    QList<double> values;
    for (int i = 0; i < 86'400; ++i) {
        values.append(std::sin(i / 5000.0) + 0.01 * noise(random) + (i % 7919 == 0 ? 5.0 : 0.0));
    }
    const PointBuffer buffer = primarySeries(values);
    constexpr int buckets = 800;
    const auto runs = vx::trend::decimate(buffer, Column::Primary, buckets);
    QCOMPARE(runs.size(), 1);
    const QList<QPointF>& shown = runs.first();
    QVERIFY2(shown.size() <= 2 * buckets, qPrintable(QString::number(shown.size())));
    QVERIFY(std::is_sorted(shown.begin(), shown.end(),
                           [](const QPointF& a, const QPointF& b) { return a.x() < b.x(); }));

    // Each slice of the time span must show its own lowest and highest reading.
    const double width = (86'399'000.0 + 1) / buckets;
    QList<double> low(buckets, 1e300);
    QList<double> high(buckets, -1e300);
    for (int i = 0; i < values.size(); ++i) {
        const int b = std::min(int(i * 1000.0 / width), buckets - 1);
        low[b] = std::min(low[b], values[i]);
        high[b] = std::max(high[b], values[i]);
    }
    for (int b = 0; b < buckets; ++b) {
        const auto inBucket = [&](double value) {
            return std::any_of(shown.begin(), shown.end(), [&](const QPointF& p) {
                return std::min(int(p.x() / width), buckets - 1) == b && p.y() == value;
            });
        };
        QVERIFY2(inBucket(low[b]), qPrintable(QStringLiteral("minimum of bucket %1").arg(b)));
        QVERIFY2(inBucket(high[b]), qPrintable(QStringLiteral("maximum of bucket %1").arg(b)));
    }
    // The 5.0 spikes every 7919 readings all survive.
    const auto spikes =
        std::count_if(shown.begin(), shown.end(), [](const QPointF& p) { return p.y() > 3.0; });
    QCOMPARE(spikes, (86'400 + 7918) / 7919);
}

void TstTrendData::bucketOfGapsBreaksTheLine() {
    QList<double> values(1000, 1.0);
    for (int i = 300; i < 400; ++i) {
        values[i] = 9.9e37;  // an overload lasting 100 readings
    }
    values[700] = kNaN;  // one bad reply inside a bucket of good ones
    const auto runs = vx::trend::decimate(primarySeries(values), Column::Primary, 100);
    QCOMPARE(runs.size(), 2);
    QVERIFY(runs[0].constLast().x() < 300'000);
    QVERIFY(runs[1].constFirst().x() >= 400'000);
    for (const auto& run : runs) {
        for (const QPointF& p : run) {
            QCOMPARE(p.y(), 1.0);
        }
    }
}

void TstTrendData::secondaryOffIsAGap() {
    PointBuffer buffer;
    buffer.append(Point{.msecs = 0, .primary = 1, .secondary = 10, .secondaryOn = true});
    buffer.append(Point{.msecs = 1000, .primary = 2, .secondary = 20, .secondaryOn = true});
    buffer.append(Point{.msecs = 2000, .primary = 3, .secondary = kNaN, .secondaryOn = false});
    buffer.append(Point{.msecs = 3000, .primary = 4, .secondary = 40, .secondaryOn = true});
    const QList<QList<QPointF>> expected{{{0, 10}, {1000, 20}}, {{3000, 40}}};
    QCOMPARE(vx::trend::decimate(buffer, Column::Secondary, 100), expected);
    QCOMPARE(vx::trend::decimate(buffer, Column::Primary, 100).size(), 1);
}

// Readings at the given seconds with the value 10 * second; the span 10 s
// to 20 s must give the readings in it plus one on each side to carry the
// line to the edges, its figures, and the reading nearest to 14.4 s.
void TstTrendData::spanOfReadings_data() {
    QTest::addColumn<QList<int>>("seconds");
    QTest::addColumn<QList<int>>("drawn");
    QTest::addColumn<double>("mean");
    QTest::addColumn<int>("nearest");
    QTest::newRow("in order") << QList<int>{0, 5, 9, 10, 14, 20, 21, 30}
                              << QList<int>{9, 10, 14, 20, 21} << (100 + 140 + 200) / 3.0 << 14;
    QTest::newRow("clock set back")
        << QList<int>{0, 5, 12, 30, 10, 14, 20, 40, 2} << QList<int>{5, 12, 10, 14, 20, 30}
        << (120 + 100 + 140 + 200) / 4.0 << 14;
    QTest::newRow("nothing inside") << QList<int>{0, 5, 25, 30} << QList<int>{5, 25} << kNaN << 5;
}

void TstTrendData::spanOfReadings() {
    QFETCH(QList<int>, seconds);
    PointBuffer buffer;
    for (const int second : seconds) {
        buffer.append(Point{.msecs = second * 1000, .primary = second * 10.0, .secondary = kNaN});
    }
    QList<int> drawn;
    for (const vx::trend::Extent& extent :
         vx::trend::extentsOf(buffer, Column::Primary, 10'000, 20'000)) {
        drawn.append(int(extent.lowAt / 1000));
    }
    QTEST(drawn, "drawn");
    QFETCH(double, mean);
    QVERIFY(
        sameOrBothNaN(vx::trend::statsOf(buffer, Column::Primary, 10'000, 20'000).mean(), mean));
    const vx::trend::Nearest nearest = vx::trend::nearestTo(buffer, 14'400);
    QVERIFY(nearest.found);
    QTEST(int(nearest.from / 1000), "nearest");
}

void TstTrendData::csvText_data() {
    QTest::addColumn<QList<Point>>("points");
    QTest::addColumn<QByteArray>("csv");

    QTest::newRow("nothing") << QList<Point>{} << QByteArray("Time,Primary(VDC)\r\n");
    QTest::newRow("primary only") << QList<Point>{replyPoint(at(14, 5, 9), "+1.50012E+00", false),
                                                  replyPoint(at(14, 5, 10), "+9.90000E+37", false),
                                                  replyPoint(at(9, 0, 0), "-1.20000E-05", false),
                                                  replyPoint(at(23, 59, 59), "ERR", false),
                                                  replyPoint(at(0, 0, 1), "-2.50000E-03", false)}
                                  << QByteArray(
                                         "Time,Primary(VDC)\r\n"
                                         "14:05:09 09/22/2016,1.50012\r\n"
                                         "14:05:10 09/22/2016,\r\n"
                                         "09:00:00 09/22/2016,-1.2e-05\r\n"
                                         "23:59:59 09/22/2016,\r\n"
                                         "00:00:01 09/22/2016,-0.0025\r\n");
    QTest::newRow("with secondary")
        << QList<Point>{replyPoint(at(14, 5, 9), "+1.50012E+00,+1.00001E+03", true),
                        replyPoint(at(14, 5, 10), "+9.90000E+37,+1.00002E+03", true),
                        replyPoint(at(14, 5, 11), "+1.23456E+06", false),
                        replyPoint(at(14, 5, 12), "+1.5E+00", true)}
        << QByteArray(
               "Time,Primary(VDC),Secondary(Hz)\r\n"
               "14:05:09 09/22/2016,1.50012,1000.01\r\n"
               "14:05:10 09/22/2016,,1000.02\r\n"
               "14:05:11 09/22/2016,1234560,\r\n"
               "14:05:12 09/22/2016,1.5,\r\n");
}

void TstTrendData::csvText() {
    QFETCH(QList<Point>, points);
    PointBuffer buffer;
    for (const Point& point : points) {
        buffer.append(point);
    }
    QTEST(vx::trend::csvText(buffer, QStringLiteral("VDC"), QStringLiteral("Hz")), "csv");
}

void TstTrendData::timeTicks_data() {
    QTest::addColumn<qint64>("from");
    QTest::addColumn<qint64>("to");
    QTest::addColumn<int>("utcOffset");
    QTest::addColumn<qint64>("tickFrom");
    QTest::addColumn<qint64>("tickTo");
    QTest::addColumn<int>("count");
    const qint64 s = 1000;
    QTest::newRow("3 seconds") << 100 * s + 400 << 103 * s + 100 << 0 << 100 * s << 104 * s << 5;
    QTest::newRow("10 seconds") << 95 * s << 105 * s << 0 << 94 * s << 106 * s << 7;
    QTest::newRow("400 seconds") << 1000 * s + 7 << 1400 * s << 0 << 960 * s << 1440 * s << 9;
    QTest::newRow("a day") << 0 * s << 86'400 * s << 0 << 0 * s << 86'400 * s << 9;
    QTest::newRow("day, UTC+5:30")
        << 0 * s << 86'400 * s << 19'800 << -19'800 * s << 88'200 * s << 6;
    QTest::newRow("minute, UTC-7") << 1003 * s << 1058 * s << -25'200 << 1000 * s << 1060 * s << 7;
    QTest::newRow("before 1970") << -95 * s << -85 * s << 0 << -96 * s << -84 * s << 7;
    QTest::newRow("one instant") << 50 * s << 50 * s << 0 << 50 * s << 51 * s << 2;
}

void TstTrendData::timeTicks() {
    QFETCH(qint64, from);
    QFETCH(qint64, to);
    QFETCH(int, utcOffset);
    const vx::trend::TimeTicks ticks = vx::trend::timeTicks(from, to, utcOffset, 9);
    QTEST(ticks.from, "tickFrom");
    QTEST(ticks.to, "tickTo");
    QTEST(ticks.count, "count");
    QVERIFY(ticks.from <= from && ticks.to >= to);
}

QTEST_APPLESS_MAIN(TstTrendData)
#include "tst_trenddata.moc"
