// vxlog with several meters against simulators: rows on one time base, a
// slow meter waited for, a lost meter's column empty with the reason while
// the others go on, and a meter found again.
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "support/Files.h"
#include "vxlog/VxlogRun.h"
#include "vxsim/client/SimProcess.h"

namespace {

QList<QJsonObject> jsonRows(const QByteArray& out) {
    QList<QJsonObject> rows;
    for (const QByteArray& line : out.split('\n')) {
        if (!line.isEmpty()) {
            rows << QJsonDocument::fromJson(line).object();
        }
    }
    return rows;
}

// The lone terminator, *IDN?, the settings, then the readings.
QByteArray readingsAsked(const QByteArray& recorded) {
    return QByteArray::number(recorded.count("FETC?\n"));
}

}  // namespace

class TestVxlogBench : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void badMeters_data();
    void badMeters();
    void benchFile_data();
    void benchFile();
    void rowsWaitForTheSlowest();
    void computedChannels();
    void limitActions_data();
    void limitActions();
    void lostMeterLeavesItsColumnEmpty_data();
    void lostMeterLeavesItsColumnEmpty();

private:
    QTemporaryDir dir_;
};

void TestVxlogBench::badMeters_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("error");
    QTest::newRow("no name") << QStringList{"--meter", "COM1"}
                             << "--meter: \"COM1\" does not start with a name (letters, digits "
                                "and _, at most 32, not a digit first) and =";
    QTest::newRow("digit first") << QStringList{"--meter", "1V=COM1"}
                                 << "--meter: \"1V=COM1\" does not start with a name (letters, "
                                    "digits and _, at most 32, not a digit first) and =";
    QTest::newRow("twice") << QStringList{"--meter", "V=COM1", "--meter", "v=COM2"}
                           << "--meter: the name v is given twice";
    QTest::newRow("unknown setting")
        << QStringList{"--meter", "V=COM1,colour=red"}
        << "--meter V: \"colour=red\" is not SETTING=VALUE with one of baud, term, function, "
           "secondary, range, rate, display";
    QTest::newRow("bad setting") << QStringList{"--meter", "V=COM1,function=VOLT:DC,rate=QUICK"}
                                 << "--meter V: --rate: rate must be one of SLOW, MEDIUM, FAST, "
                                    "not \"QUICK\"";
    QTest::newRow("with --port") << QStringList{"--meter", "V=COM1", "--port", "COM2"}
                                 << "--port cannot be combined with --meter";
    QTest::newRow("calc cut short") << QStringList{"--meter", "V=COM1", "--calc", "P=V*"}
                                    << "--calc \"P=V*\": expected a number, a channel or \"(\" "
                                       "after \"*\" (column 5)";
    QTest::newRow("calc of no channel")
        << QStringList{"--meter", "V=COM1", "--meter", "I=COM2", "--calc", "P=V*J"}
        << "--calc \"P=V*J\": no channel J; channels: V, I";
    QTest::newRow("calc without meters") << QStringList{"--port", "COM1", "--calc", "P=2"}
                                         << "--calc needs --meter or --bench: its channels are "
                                            "named by the meters";
    QTest::newRow("limit without number")
        << QStringList{"--meter", "V=COM1", "--limit", "V<"}
        << "--limit \"V<\": expected a number after \"<\" (column 3)";
    QTest::newRow("setting outside") << QStringList{"--meter", "V=COM1", "--function", "VOLT:DC"}
                                     << "--function goes inside --meter, as function=VALUE after "
                                        "the port";
}

// The program itself: status 2, the message and the usage, nothing sent.
void TestVxlogBench::badMeters() {
    QFETCH(QStringList, args);
    QFETCH(QString, error);
    QCOMPARE(vx::cli::parseOptions(args).error, error);
    QProcess p;
    p.start(QDir(qEnvironmentVariable("VX_BIN_DIR")).filePath(QStringLiteral("vxlog")), args);
    QVERIFY(p.waitForFinished(5000));
    QCOMPARE(p.exitCode(), 2);
    QVERIFY(p.readAllStandardError().startsWith("vxlog: " + error.toUtf8() + "\nusage: vxlog"));
}

void TestVxlogBench::benchFile_data() {
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QString>("error");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("lines");  // the second meter's settings
    QTest::newRow("ordered") << QByteArray(
                                    "[bench]\nmeters = V, I\n[V]\nport = COM1\n"
                                    "function = DC VOLTAGE\n[I]\nport = COM2\n"
                                    "function = DC CURRENT\nrange = 2 A\n")
                             << QString() << QStringList{"V", "I"}
                             << QStringList{":FUNC CURR:DC", ":FUNC2:STAT 0",
                                            "CURR:DC:RANG:AUTO OFF", "CURR:DC:RANG 2"};
    QTest::newRow("name order") << QByteArray("[V]\nport = COM1\n[I]\nport = COM2\n") << QString()
                                << QStringList{"I", "V"} << QStringList{":FUNC2:STAT 0"};
    QTest::newRow("no meter") << QByteArray("[bench]\n") << "names no meter" << QStringList{}
                              << QStringList{};
    QTest::newRow("missing group") << QByteArray("[bench]\nmeters = V, W\n[V]\nport = COM1\n")
                                   << "has no [W] group" << QStringList{} << QStringList{};
    QTest::newRow("bad setting") << QByteArray("[V]\nport = COM1\nrate = SLOW\n")
                                 << "--meter V: --rate needs --function" << QStringList{}
                                 << QStringList{};
}

void TestVxlogBench::benchFile() {
    QFETCH(QByteArray, ini);
    QFETCH(QString, error);
    QFETCH(QStringList, names);
    QFETCH(QStringList, lines);
    const QString path = dir_.filePath(QStringLiteral("%1.ini").arg(QTest::currentDataTag()));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(ini);
    file.close();
    const vx::cli::Parsed parsed = vx::cli::parseOptions({"--bench", path});
    QVERIFY2(error.isEmpty() ? parsed.error.isEmpty() : parsed.error.contains(error),
             qPrintable(parsed.error));
    QStringList got;
    for (const vx::cli::BenchMeter& m : parsed.options.meters) {
        got << m.name;
    }
    QCOMPARE(got, names);
    if (names.size() > 1) {
        QCOMPARE(vx::cli::settingLines(parsed.options.meters[1].settings), lines);
    } else if (!names.isEmpty()) {
        QCOMPARE(vx::cli::settingLines(parsed.options.meters[0].settings), lines);
    }
}

// One meter answers 300 ms late: every row still holds all three values,
// and every meter was asked once per row.
void TestVxlogBench::rowsWaitForTheSlowest() {
    vxsim::SimProcess fast;
    vxsim::SimProcess slow;
    vxsim::SimProcess net;
    QVERIFY(fast.start({}));
    QVERIFY(slow.start({"--reply-delay", "300"}));
    QVERIFY(net.start({"--listen", "127.0.0.1:0", "--model", "VX260"}));
    Run r({"--meter", "V=" + fast.devicePath() + ",function=DC VOLTAGE", "--meter",
           "I=" + slow.devicePath() + ",function=DC CURRENT,range=2 A", "--meter",
           "F=" + net.devicePath() + ",function=FREQ", "--count", "4", "--format", "json"},
          vx::cli::Timing{2000, 50, 20, 50});
    QCOMPARE(r.finish(), 0);
    const QList<QJsonObject> rows = jsonRows(r.out.data());
    QCOMPARE(rows.size(), 4);
    for (const QJsonObject& row : rows) {
        const QJsonObject values = row.value("values").toObject();
        QVERIFY2(values.value("V").toDouble() > 1.4 && values.value("I").isDouble() &&
                     values.value("F").toDouble() > 999.0 && !row.contains("missing"),
                 QJsonDocument(row).toJson());
        QCOMPARE(row.value("units").toObject().value("I").toString(), QStringLiteral("ADC"));
    }
    for (const vxsim::SimProcess* sim : {&fast, &slow, &net}) {
        QCOMPARE(readingsAsked(sim->recorded()), QByteArray("4"));
    }
    QVERIFY(slow.recorded().startsWith("\n*IDN?\n:FUNC CURR:DC\n:FUNC2:STAT 0\n"));
    QVERIFY2(r.err.data().contains("4 rows in"), r.err.data());
}

// P=V*I on every row, and E its integral over the ticks (1 s apart on the
// test's clock) in watt-hours.
void TestVxlogBench::computedChannels() {
    vxsim::SimProcess v;
    vxsim::SimProcess i;
    QVERIFY(v.start({}));
    QVERIFY(i.start({"--model", "VX260"}));
    Run r({"--meter", "V=" + v.devicePath() + ",function=VOLT:DC", "--meter",
           "I=" + i.devicePath() + ",function=CURR:DC", "--calc", "P=V*I", "--calc",
           "E=integral(P)/3600", "--count", "4", "--format", "csv"});
    QCOMPARE(r.finish(), 0);
    const QList<QByteArray> lines = r.out.data().trimmed().split('\n');
    QCOMPARE(lines[0], QByteArray("time,V (VDC),I (ADC),P,E,missing"));
    QCOMPARE(lines.size(), 5);
    double energy = 0.0;
    double before = 0.0;
    for (int n = 1; n < lines.size(); ++n) {
        const QList<QByteArray> f = lines[n].split(',');
        const double power = f[1].toDouble() * f[2].toDouble();
        QVERIFY2(qAbs(f[3].toDouble() - power) <= 1e-7 * power, lines[n]);
        if (n > 1) {
            energy += (before + power) / 2 / 3600;
        }
        before = power;
        QVERIFY2(qAbs(f[4].toDouble() - energy) <= 1e-7 * qMax(energy, 1e-9), lines[n]);
    }
    QVERIFY(energy > 0);
}

void TestVxlogBench::limitActions_data() {
    QTest::addColumn<QStringList>("action");
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("rows");
    QTest::newRow("marked") << QStringList{} << 0 << 5;
    QTest::newRow("stop") << QStringList{"--stop-on-limit"} << 7 << 3;
    QTest::newRow("command") << QStringList{"--on-limit", "sh -c \"env > $0\" FILE"} << 0 << 5;
}

// V>1 holds on every row; "for 2s" is reached on the third tick (1 s apart).
void TestVxlogBench::limitActions() {
    QFETCH(QStringList, action);
    QFETCH(int, code);
    QFETCH(int, rows);
    vxsim::SimProcess v;
    QVERIFY(v.start({}));
    const QString envFile = dir_.filePath(QStringLiteral("env-%1").arg(QTest::currentDataTag()));
    action.replaceInStrings(QStringLiteral("FILE"), envFile);
    Run r(QStringList{"--meter", "V=" + v.devicePath() + ",function=VOLT:DC", "--limit",
                      "V>1 for 2s", "--limit", "V<0", "--count", "5", "--format", "json"} +
          action);
    QCOMPARE(r.finish(), code);
    const QList<QJsonObject> got = jsonRows(r.out.data());
    QCOMPARE(got.size(), rows);
    for (int n = 0; n < got.size(); ++n) {
        const QJsonArray limits = got[n].value("limits").toArray();
        QCOMPARE(limits, n < 2 ? QJsonArray{} : QJsonArray{"V>1 for 2s"});
    }
    QCOMPARE(r.err.data().count("limit \"V>1 for 2s\" reached at 2016-09-22T14:05:11"), 1);
    QVERIFY(!r.err.data().contains("V<0"));
    if (!action.isEmpty() && action[0] == QStringLiteral("--on-limit")) {
        QVERIFY(QTest::qWaitFor([&] { return readFile(envFile).contains("VXLOG_TIME"); }, 5000));
        const QByteArray env = readFile(envFile);
        for (const char* expected :
             {"VXLOG_LIMIT=V>1 for 2s\n", "VXLOG_CHANNEL=V\n", "VXLOG_VALUE=1.5012"}) {
            QVERIFY2(env.contains(expected), env);
        }
    }
}

void TestVxlogBench::lostMeterLeavesItsColumnEmpty_data() {
    QTest::addColumn<bool>("reconnect");
    QTest::newRow("the others go on") << false;
    QTest::newRow("found again") << true;
}

// The second meter hangs up after two readings; the first goes on. With
// --reconnect a new meter at the same path fills the column again.
void TestVxlogBench::lostMeterLeavesItsColumnEmpty() {
    QFETCH(bool, reconnect);
    const QString link = dir_.filePath(QStringLiteral("meter-%1").arg(reconnect));
    vxsim::SimProcess first;
    vxsim::SimProcess second;
    QVERIFY(first.start({}));
    // The opening terminator, *IDN?, :FUNC, :FUNC2:STAT 0, then two readings.
    QVERIFY(second.start({"--link", link, "--hangup-after", "6"}));
    const QString path = dir_.filePath(QStringLiteral("bench-%1.csv").arg(reconnect));
    QStringList args{"--meter",  "A=" + first.devicePath() + ",function=VOLT:DC",
                     "--meter",  "B=" + link + ",function=VOLT:DC",
                     "--count",  "12",
                     "--format", "csv",
                     "--output", path};
    if (reconnect) {
        args << "--reconnect";
    }
    Run r(args);
    QSignalSpy spy(r.runner.get(), &vx::cli::Runner::finished);
    r.runner->start();
    QVERIFY(QTest::qWaitFor([&] { return r.err.data().contains("lost meter B"); }, 10000));
    std::unique_ptr<vxsim::SimProcess> third;
    if (reconnect) {
        QVERIFY(second.waitForExit(std::chrono::seconds(5)));
        third = std::make_unique<vxsim::SimProcess>();
        QVERIFY(third->start({"--link", link}));
    }
    QVERIFY(!spy.isEmpty() || spy.wait(20000));
    QCOMPARE(spy.takeFirst().at(0).toInt(), 0);
    const QList<QByteArray> lines = r.out.data().trimmed().split('\n');
    QCOMPARE(lines.size(), 13);
    QCOMPARE(lines[0], QByteArray("time,A (VDC),B (VDC),missing"));
    int missing = 0;
    for (const QByteArray& line : lines.mid(1)) {
        const QList<QByteArray> fields = line.split(',');
        QCOMPARE(fields.size(), 4);
        QVERIFY2(fields[1].startsWith("+1.5"), line);
        if (fields[2].isEmpty()) {
            ++missing;
            QVERIFY2(fields[3].startsWith("B: "), line);
        } else {
            QVERIFY2(fields[3].isEmpty(), line);
        }
    }
    QVERIFY(lines[1].split(',')[2].startsWith("+1.5"));
    QVERIFY(missing >= 1);
    // The log file: one column per meter, the same fields empty, whole lines.
    QList<QByteArray> logged = readFile(path).split('\n');
    QCOMPARE(logged.takeLast(), QByteArray());
    QCOMPARE(logged.mid(0, 2), (QList<QByteArray>{"\r", "A: DC Voltage(V),B: DC Voltage(V)\r"}));
    QCOMPARE(logged.size(), 14);
    for (int i = 2; i < logged.size(); ++i) {
        const QList<QByteArray> fields = logged[i].split(',');
        QCOMPARE(fields.size(), 3);
        QVERIFY2(fields[2].endsWith("09/22/2016\r"), logged[i]);
        QCOMPARE(fields[1].isEmpty(), lines[i - 1].split(',')[2].isEmpty());
    }
    if (reconnect) {
        QVERIFY2(r.err.data().contains("meter B answers again"), r.err.data());
        QVERIFY(!lines.last().split(',')[2].isEmpty());
    } else {
        QCOMPARE(missing, 10);
    }
}

QTEST_GUILESS_MAIN(TestVxlogBench)
#include "tst_vxlog_bench.moc"
