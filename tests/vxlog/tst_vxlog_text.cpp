// vxlog's numbers in the summary and the status line: "%.8g" exactly as
// std::to_chars writes it, whichever way they are made.
#include <QTest>

#include <array>
#include <charconv>
#include <cmath>
#include <limits>

#include "cli/Text.h"

class TestVxlogText : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void numberAsToChars_data();
    void numberAsToChars();
};

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

QTEST_GUILESS_MAIN(TestVxlogText)
#include "tst_vxlog_text.moc"
