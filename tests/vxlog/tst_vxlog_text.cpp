// vxlog's numbers and time stamps written by hand, byte for byte as the
// library calls they stand in for would write them: "%.8g" as
// std::to_chars, the time stamps as Qt's own formatting.
#include <QDateTime>
#include <QLocale>
#include <QTest>

#include <time.h>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>

#include "cli/Text.h"
#include "log/DataLog.h"
#include "options/Values.h"

class TestVxlogText : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void numberAsToChars_data();
    void numberAsToChars();
    void timeStampsAsQt_data();
    void timeStampsAsQt();
    void secondsAsQtReadsThem_data();
    void secondsAsQtReadsThem();
};

// Local time half an hour off the hour, with summer time (a POSIX rule, no
// zone files needed): -02:30 in September, -03:30 in January.
void TestVxlogText::initTestCase() {
    qputenv("TZ", "NST3:30NDT,M3.2.0,M11.1.0");
    ::tzset();
}

void TestVxlogText::numberAsToChars_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("digits");
    QTest::newRow("reading") << 1.50123 << 8;
    QTest::newRow("mean") << 1.501228 << 8;
    QTest::newRow("negative") << -0.00021 << 8;
    QTest::newRow("small, scientific") << 0.0000123456789 << 8;
    QTest::newRow("smallest fixed") << 0.0001 << 8;
    QTest::newRow("rounds up a decade") << 9.999999996 << 8;
    QTest::newRow("large, scientific") << 123456789.0 << 8;
    QTest::newRow("largest fixed") << 12345678.0 << 8;
    QTest::newRow("overload") << 9.9e37 << 8;
    QTest::newRow("half way") << 0.125 << 2;
    QTest::newRow("zero") << 0.0 << 8;
    QTest::newRow("negative zero") << -0.0 << 8;
    QTest::newRow("infinite") << std::numeric_limits<double>::infinity() << 8;
    QTest::newRow("not a number") << std::numeric_limits<double>::quiet_NaN() << 8;
    QTest::newRow("three digits") << 0.05 << 3;
}

void TestVxlogText::numberAsToChars() {
    QFETCH(double, value);
    QFETCH(int, digits);
    std::array<char, 64> buffer{};
    const auto r = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                 std::chars_format::general, digits);
    QCOMPARE(vx::cli::number(value, digits),
             QString::fromLatin1(buffer.data(), r.ptr - buffer.data()));
}

void TestVxlogText::timeStampsAsQt_data() {
    QTest::addColumn<QDateTime>("when");
    const QDate day(2016, 9, 22);
    const QTime time(14, 5, 9, 7);
    const auto at = [&](int offset) { return QDateTime(day, time, Qt::OffsetFromUTC, offset); };
    QTest::newRow("UTC") << QDateTime(day, time, Qt::UTC);
    QTest::newRow("local, summer") << QDateTime(day, time, Qt::LocalTime);
    QTest::newRow("local, winter") << QDateTime(QDate(2017, 1, 5), time, Qt::LocalTime);
    QTest::newRow("now") << QDateTime::currentDateTime();
    QTest::newRow("east") << at(2 * 3600);
    QTest::newRow("west, half hour") << at(-(3 * 3600 + 1800));
    QTest::newRow("less than an hour west") << at(-1800);
    QTest::newRow("far east") << at(14 * 3600);
    QTest::newRow("offset with seconds") << at(3208);
    QTest::newRow("midnight, new year")
        << QDateTime(QDate(2027, 1, 1), QTime(0, 0), Qt::OffsetFromUTC, 3600);
    QTest::newRow("last millisecond")
        << QDateTime(QDate(1999, 12, 31), QTime(23, 59, 59, 999), Qt::UTC);
    QTest::newRow("year 999") << QDateTime(QDate(999, 3, 4), time, Qt::UTC);
    QTest::newRow("year 10000") << QDateTime(QDate(10000, 3, 4), time, Qt::UTC);
    QTest::newRow("invalid") << QDateTime();
}

void TestVxlogText::timeStampsAsQt() {
    QFETCH(QDateTime, when);
    QCOMPARE(vx::log::logTimeStamp(when), when.toString(QStringLiteral("HH:mm:ss MM/dd/yyyy")));
    QCOMPARE(vx::cli::isoTime(when),
             when.toOffsetFromUtc(when.offsetFromUtc()).toString(Qt::ISODateWithMs));
}

// Option values: plain decimals are read without Qt's locale, the rest by
// it; either way the number is the one Qt's C locale reads, and what it
// refuses is refused.
void TestVxlogText::secondsAsQtReadsThem_data() {
    QTest::addColumn<QString>("text");
    for (const char* text : {"0.1",
                             "5",
                             "+0.25",
                             "-1",
                             "007",
                             "86400",
                             "0.30000000000000004",
                             "12345678901234567890",
                             " 2.5 ",
                             "1e-1",
                             "1E2",
                             ".5",
                             "5.",
                             "1,000",
                             "0,5",
                             "1.2.3",
                             "+-1",
                             "",
                             "+",
                             "0x10",
                             "inf",
                             "nan",
                             "１"}) {
        QTest::newRow(text) << QString::fromUtf8(text);
    }
}

void TestVxlogText::secondsAsQtReadsThem() {
    QFETCH(QString, text);
    bool ok = false;
    const double qt = QLocale::c().toDouble(text.trimmed(), &ok);
    const vx::options::Real read = vx::options::seconds(text, {.low = -1e30, .high = 1e30});
    QCOMPARE(read.fault == vx::options::Fault::None, ok && std::isfinite(qt));
    if (read.fault == vx::options::Fault::None) {
        QCOMPARE(read.value, qt);
    }
}

QTEST_GUILESS_MAIN(TestVxlogText)
#include "tst_vxlog_text.moc"
