#include <QTest>

#include <optional>

#include "Reading.h"

// The split of a reading reply that the display boxes, the Trend window and
// vxlog all take.
class TestReadingSplit : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void split_data();
    void split();
};

void TestReadingSplit::split_data() {
    QTest::addColumn<QString>("reply");
    QTest::addColumn<bool>("secondaryOn");
    QTest::addColumn<QString>("primary");
    QTest::addColumn<bool>("hasSecondary");
    QTest::addColumn<QString>("secondary");
    struct Row {
        const char* name;
        const char* reply;
        bool secondaryOn;
        const char* primary;
        std::optional<const char*> secondary;
    };
    const Row rows[] = {
        {"off: whole reply, commas included", "1,2", false, "1,2", std::nullopt},
        {"on: first comma, CR kept", "+1.5E+00,+1.0E+03\r", true, "+1.5E+00", "+1.0E+03\r"},
        {"on: second comma stays secondary", "1,2,3", true, "1", "2,3"},
        {"on, no comma: empty secondary", "7.7", true, "7.7", ""},
        {"on, leading comma: empty primary", ",5", true, "", "5"},
    };
    for (const Row& r : rows) {
        QTest::newRow(r.name) << QString(r.reply) << r.secondaryOn << QString(r.primary)
                              << r.secondary.has_value() << QString(r.secondary.value_or(""));
    }
}

void TestReadingSplit::split() {
    QFETCH(QString, reply);
    QFETCH(bool, secondaryOn);
    QFETCH(QString, primary);
    QFETCH(bool, hasSecondary);
    QFETCH(QString, secondary);
    const meter::Reading r = meter::splitReply(reply, secondaryOn, {"VOLT:DC", "VDC", "Hz"});
    QCOMPARE(r.primary, primary);
    QCOMPARE(r.secondary.has_value(), hasSecondary);
    if (hasSecondary) {
        QCOMPARE(*r.secondary, secondary);
    }
    QCOMPARE(r.measure.function, QString("VOLT:DC"));
    QCOMPARE(r.measure.primaryUnit, QString("VDC"));
    QCOMPARE(r.measure.secondaryUnit, QString("Hz"));
}

QTEST_MAIN(TestReadingSplit)
#include "tst_readingsplit.moc"
