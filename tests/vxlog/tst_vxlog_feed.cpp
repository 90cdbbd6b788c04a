// What vxlog hands to its sinks (the broker, the live page): the run's
// channels, every reading or row in order with the values printed, each
// meter's state, and one stop at the end.
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#include <cmath>

#include "vxlog/VxlogRun.h"
#include "vxsim/client/SimProcess.h"

namespace {

struct Seen {
    vx::feed::Run run;
    std::vector<vx::feed::Record> records;
    QStringList states;  // "NAME STATE reason"
    int stops = 0;
};

class RecordingSink final : public vx::feed::Sink {
public:
    RecordingSink(Seen& seen, QString refuse) : seen_(seen), refuse_(std::move(refuse)) {}
    bool start(const vx::feed::Run& run, QString* error) override {
        seen_.run = run;
        *error = refuse_;
        return refuse_.isEmpty();
    }
    void record(const vx::feed::Record& record) override { seen_.records.push_back(record); }
    void meterChanged(int index, const vx::feed::Meter& meter) override {
        static constexpr const char* kStates[] = {"connecting", "connected", "lost",
                                                  "reconnecting"};
        seen_.states << QStringLiteral("%1 %2 %3")
                            .arg(seen_.run.meters[std::size_t(index)].name,
                                 QLatin1String(kStates[int(meter.state)]),
                                 meter.state == vx::feed::Meter::State::Connected ? meter.identity
                                                                                  : meter.reason);
    }
    void stop() override { ++seen_.stops; }

private:
    Seen& seen_;
    QString refuse_;
};

QList<QJsonObject> jsonLines(const QByteArray& out) {
    QList<QJsonObject> rows;
    for (const QByteArray& line : out.split('\n')) {
        if (!line.isEmpty()) {
            rows << QJsonDocument::fromJson(line).object();
        }
    }
    return rows;
}

}  // namespace

class TestVxlogFeed : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void recordsAsPrinted_data();
    void recordsAsPrinted();
    void refusedSinkStopsBeforeTheMeter();
    void lostMeterTold();
};

void TestVxlogFeed::recordsAsPrinted_data() {
    QTest::addColumn<bool>("bench");
    QTest::newRow("one meter, secondary display") << false;
    QTest::newRow("two meters and a computed channel") << true;
}

// Every record carries what the same run printed, in order, numbered 1, 2, ...
void TestVxlogFeed::recordsAsPrinted() {
    QFETCH(bool, bench);
    vxsim::SimProcess v;
    vxsim::SimProcess i;
    QVERIFY(v.start({}));
    QVERIFY(i.start({"--model", "VX260"}));
    const QStringList args =
        bench ? QStringList{"--meter",  "V=" + v.devicePath() + ",function=VOLT:DC",
                            "--meter",  "I=" + i.devicePath() + ",function=CURR:DC",
                            "--calc",   "P=V*I",
                            "--count",  "3",
                            "--format", "json"}
              : QStringList{"--port",    v.devicePath(), "--function", "VOLT:AC",  "--secondary",
                            "FREQUENCY", "--count",      "3",          "--format", "json"};
    Run r(args);
    QCOMPARE(r.error, QString());
    Seen seen;
    r.runner->addSink(std::make_unique<RecordingSink>(seen, QString()));
    QVERIFY2(r.finish() == 0, r.err.data());
    const QList<QJsonObject> printed = jsonLines(r.out.data());
    QCOMPARE(printed.size(), 3);
    QCOMPARE(seen.records.size(), std::size_t(3));
    QCOMPARE(seen.stops, 1);
    QStringList channels;
    for (const vx::feed::Channel& c : seen.run.channels) {
        channels << QStringLiteral("%1 %2 %3 %4").arg(c.name, c.unit, c.function).arg(c.meter);
    }
    if (bench) {
        QCOMPARE(channels, (QStringList{"V VDC DC VOLTAGE 0", "I ADC DC CURRENT 1", "P   -1"}));
        QCOMPARE(seen.states.size(), 2);
        QVERIFY2(seen.states.contains("V connected Velmora,VX480,480K52106,2.14"),
                 qPrintable(seen.states.join('|')));
    } else {
        QCOMPARE(channels.size(), 2);
        QCOMPARE(channels[0], QStringLiteral("meter VAC AC VOLTAGE 0"));
        QVERIFY2(channels[1].startsWith("secondary Hz "), qPrintable(channels[1]));
        QCOMPARE(seen.states, QStringList{"meter connected Velmora,VX480,480K52106,2.14"});
    }
    for (int n = 0; n < 3; ++n) {
        const vx::feed::Record& record = seen.records[std::size_t(n)];
        const QJsonObject& line = printed[n];
        QCOMPARE(record.sequence, n + 1);
        QCOMPARE(record.values.size(), seen.run.channels.size());
        QCOMPARE(record.when.toOffsetFromUtc(record.when.offsetFromUtc())
                     .toString(Qt::ISODateWithMs)
                     .left(19),
                 line["time"].toString().left(19));
        if (bench) {
            const QJsonObject values = line["values"].toObject();
            QCOMPARE(record.values[0], values["V"].toDouble());
            QCOMPARE(record.values[1], values["I"].toDouble());
            QCOMPARE(record.values[2], values["P"].toDouble());
            QCOMPARE(record.texts[0], line["texts"].toObject()["V"].toString());
            QVERIFY(record.texts[2].isEmpty());
        } else {
            QCOMPARE(record.values[0], line["value"].toDouble());
            QCOMPARE(record.values[1], line["secondary_value"].toDouble());
            QCOMPARE(record.texts[0], line["primary"].toString());
        }
        QCOMPARE(record.missing, std::vector<QString>(record.values.size()));
    }
}

// A sink that cannot start ends the run before any port is opened: the
// meter sees nothing.
void TestVxlogFeed::refusedSinkStopsBeforeTheMeter() {
    vxsim::SimProcess v;
    QVERIFY(v.start({}));
    Run r({"--port", v.devicePath(), "--function", "VOLT:DC", "--count", "2"});
    Seen seen;
    r.runner->addSink(std::make_unique<RecordingSink>(seen, QStringLiteral("no broker there")));
    QCOMPARE(r.finish(), int(vx::cli::kExitOutput));
    QCOMPARE(r.err.data(), QByteArray("vxlog: no broker there\n"));
    QVERIFY(seen.records.empty());
    QCOMPARE(seen.stops, 1);
    QCOMPARE(v.recorded(), QByteArray());
}

// A meter lost mid-run is told to the sinks with its reason, and found again.
void TestVxlogFeed::lostMeterTold() {
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("meter"));
    vxsim::SimProcess first;
    QVERIFY(first.start({"--link", link, "--hangup-after", "5"}));
    Run r({"--port", link, "--function", "VOLT:DC", "--count", "4", "--reconnect"});
    Seen seen;
    r.runner->addSink(std::make_unique<RecordingSink>(seen, QString()));
    QSignalSpy spy(r.runner.get(), &vx::cli::Runner::finished);
    r.runner->start();
    QVERIFY(QTest::qWaitFor([&] { return r.err.data().contains("lost the meter"); }, 10000));
    QVERIFY(first.waitForExit(std::chrono::seconds(5)));
    vxsim::SimProcess second;
    QVERIFY(second.start({"--link", link}));
    QVERIFY(!spy.isEmpty() || spy.wait(20000));
    QCOMPARE(spy.takeFirst().at(0).toInt(), 0);
    QCOMPARE(seen.states.size(), 3);
    QCOMPARE(seen.states[0], QStringLiteral("meter connected Velmora,VX480,480K52106,2.14"));
    QVERIFY2(seen.states[1].startsWith("meter reconnecting ") && seen.states[1].size() > 20,
             qPrintable(seen.states[1]));
    QCOMPARE(seen.states[2], seen.states[0]);
    QCOMPARE(seen.records.size(), std::size_t(4));
    QCOMPARE(seen.records.back().sequence, 4);
}

QTEST_GUILESS_MAIN(TestVxlogFeed)
#include "tst_vxlog_feed.moc"
