// vxlog against the meter simulator on a real pseudo-terminal: the bytes on
// the wire, the bytes in the file, and every way a run can end. Runs inside
// the test use a clock that jumps to each reading's due time, so no test
// waits out the schedule; the program itself is run for what only a process
// shows (signals, a closed pipe, exit status).
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <sys/resource.h>
#include <csignal>

#include "cli/Runner.h"
#include "link/SerialLink.h"
#include "support/Files.h"
#include "timing/Clock.h"
#include "vxlog/VxlogRun.h"
#include "vxsim/client/SimProcess.h"

namespace {

// The reading lines of a log file, each checked for its shape.
QList<QByteArray> readingLines(const QByteArray& file, int skip) {
    QList<QByteArray> lines = file.split('\n');
    lines.removeLast();  // after the last CR LF
    return lines.mid(skip);
}

QString vxlogProgram() {
    return QDir(qEnvironmentVariable("VX_BIN_DIR")).filePath(QStringLiteral("vxlog"));
}

}  // namespace

class TestVxlogE2E : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void readingsExact_data();
    void readingsExact();
    void scheduleWithoutDrift();
    void comNumberMapped();
    void sendCommands();
    void endings_data();
    void endings();
    void diskFullKeepsEarlierLines();
    void reconnectCarriesOn();
    void signalsLoseNoLine();
    void closedPipeEndsCleanly();
    void badOptionSendsNothing();

private:
    QTemporaryDir dir_;
};

void TestVxlogE2E::readingsExact_data() {
    QTest::addColumn<QString>("term");
    QTest::addColumn<QByteArray>("t");
    QTest::addColumn<bool>("network");
    QTest::newRow("LF") << "LF" << QByteArray("\n") << false;
    QTest::newRow("CR") << "CR" << QByteArray("\r") << false;
    // The same meter behind a device server on the loopback.
    QTest::newRow("LF over TCP") << "LF" << QByteArray("\n") << true;
}

// N readings: N lines, the exact queries, the window's file format appended
// after what the file held.
void TestVxlogE2E::readingsExact() {
    QFETCH(QString, term);
    QFETCH(QByteArray, t);
    QFETCH(bool, network);
    vxsim::SimProcess sim;
    QStringList simOptions{"--term", term};
    if (network) {
        simOptions << "--listen"
                   << "127.0.0.1:0";
    }
    QVERIFY2(sim.start(simOptions), qPrintable(sim.errorString()));
    QCOMPARE(sim.devicePath().startsWith("tcp://127.0.0.1:"), network);
    const QString path = dir_.filePath(QString("exact-%1-%2.csv").arg(term).arg(network));
    {
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("earlier run\r\n");
    }
    Run r({"--port", sim.devicePath(), "--term", term, "--function", "dc voltage", "--secondary",
           "FREQUENCY", "--count", "4", "--output", path});
    QCOMPARE(r.finish(), 0);
    // A lone terminator first: it ends whatever an earlier run left half-sent.
    QCOMPARE(sim.recorded(), t + "*IDN?" + t + ":FUNC VOLT:DC" + t + ":FUNC2:STAT 1" + t +
                                 ":FUNC2 FREQ" + t + "FETC?" + t + "FETC?" + t + "FETC?" + t +
                                 "FETC?" + t);
    const QByteArray file = readFile(path);
    QVERIFY2(file.startsWith("earlier run\r\n\r\nDC Voltage(V),Frequency(Hz)\r\n"), file);
    const QList<QByteArray> lines = readingLines(file, 3);
    QCOMPARE(lines.size(), 4);
    const QList<QByteArray> shown = r.out.data().split('\n');
    for (int i = 0; i < 4; ++i) {
        const QByteArray stamp =
            "14:05:" + QByteArray::number(9 + i).rightJustified(2, '0') + " 09/22/2016";
        QVERIFY2(QRegularExpression(R"(^[-+]\d\.\d{5}E[-+]\d\d,[-+]\d\.\d{5}E[-+]\d\d,)" +
                                    QRegularExpression::escape(QString::fromLatin1(stamp)) + "\r$")
                     .match(QString::fromLatin1(lines[i]))
                     .hasMatch(),
                 lines[i]);
        // Standard output: stamp, primary and unit, secondary and unit.
        const QList<QByteArray> values = lines[i].split(',');
        QCOMPARE(shown[i], stamp + "  " + values[0] + " VDC  " + values[1] + " Hz");
    }
    QVERIFY2(r.err.data().contains("meter: Velmora,VX480"), r.err.data());
    QVERIFY2(r.err.data().contains("4 readings"), r.err.data());
}

// 600 readings at 0.1 s: each stamped 0.1 s after the one before, the last
// 59.9 s after the first, and the run takes nowhere near a minute.
void TestVxlogE2E::scheduleWithoutDrift() {
    vxsim::SimProcess sim;
    QVERIFY(sim.start({"--baud", "4000000"}));
    QElapsedTimer wall;
    wall.start();
    Run r({"--port", sim.devicePath(), "--interval", "0.1", "--duration", "60", "--format", "csv",
           "--quiet"});
    QCOMPARE(r.finish(), 0);
    QCOMPARE(r.runner->readings(), 600);
    QCOMPARE(sim.recorded().count("FETC?\n"), 600);
    QVERIFY(r.out.data().isEmpty());
    QVERIFY2(r.err.data().contains("600 readings in 00:00:59"), r.err.data());
    QVERIFY(wall.elapsed() < 30000);
}

void TestVxlogE2E::comNumberMapped() {
    vxsim::SimProcess sim;
    QVERIFY(sim.start({}));
    qputenv("VXMETER_COM7", QFile::encodeName(sim.devicePath()));
    Run r({"--port", "COM7", "--count", "1", "--format", "json"});
    const int code = r.finish();
    qunsetenv("VXMETER_COM7");
    QCOMPARE(code, 0);
    QVERIFY2(QRegularExpression(
                 R"re(^\{.*"time":"2016-09-22T14:05:09\.\d{3}(Z|[-+]\d\d:\d\d)".*\}\n$)re")
                 .match(QString::fromUtf8(r.out.data()))
                 .hasMatch(),
             r.out.data());
}

// Each --send goes out as typed; a query prints its reply, a setting prints
// nothing.
void TestVxlogE2E::sendCommands() {
    vxsim::SimProcess sim;
    QVERIFY(sim.start({}));
    Run r({"--port", sim.devicePath(), "--send", "*IDN?", "--send", ":FUNC CURR:DC", "--send",
           "*IDN?"});
    QCOMPARE(r.finish(), 0);
    QCOMPARE(sim.recorded(), QByteArray("\n*IDN?\n:FUNC CURR:DC\n*IDN?\n"));
    QCOMPARE(r.out.data(), QByteArray("Velmora,VX480,480K52106,2.14\n"
                                      "Velmora,VX480,480K52106,2.14\n"));
}

void TestVxlogE2E::endings_data() {
    QTest::addColumn<QStringList>("simOptions");
    QTest::addColumn<QString>("port");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("says");
    QTest::addColumn<int>("lines");
    QTest::newRow("port missing") << QStringList{} << "/dev/no-such-meter" << 3
                                  << "/dev/no-such-meter does not exist" << 0;
    // Nothing listens on port 1 of the loopback.
    QTest::newRow("network port refused")
        << QStringList{} << "tcp://127.0.0.1:1" << 3 << "refused the connection" << 0;
    QTest::newRow("no identity") << QStringList{"--silent"} << "" << 4
                                 << "no reply to *IDN? within 0.2 s" << 0;
    // The opening terminator, *IDN?, :FUNC, :FUNC2:STAT 0, two readings
    // answered, then the line goes dead.
    QTest::newRow("hang-up") << QStringList{"--hangup-after", "6"} << "" << 6 << "lost the meter"
                             << 2;
}

void TestVxlogE2E::endings() {
    QFETCH(QStringList, simOptions);
    QFETCH(QString, port);
    QFETCH(int, code);
    QFETCH(QString, says);
    QFETCH(int, lines);
    vxsim::SimProcess sim;
    QVERIFY(sim.start(simOptions));
    const QString path = dir_.filePath(QString("ending-%1.csv").arg(code));
    Run r({"--port", port.isEmpty() ? sim.devicePath() : port, "--function", "VOLT:DC", "--count",
           "10", "--output", path});
    QCOMPARE(r.finish(), code);
    QVERIFY2(r.err.data().contains(says.toLatin1()), r.err.data());
    if (lines > 0) {
        QCOMPARE(readingLines(readFile(path), 2).size(), lines);
    }
}

// The file system refuses more bytes after the header and two readings:
// those stay whole, the run ends with status 5 and says why.
void TestVxlogE2E::diskFullKeepsEarlierLines() {
    vxsim::SimProcess sim;
    QVERIFY(sim.start({}));
    const QString path = dir_.filePath("full.csv");
    const QByteArray line = "+1.50123E+00,14:05:09 09/22/2016\r\n";
    const qint64 room = QByteArray("\r\nDC Voltage(V)\r\n").size() + 2 * line.size() + 10;
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    const auto oldHandler = ::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = saved;
    limited.rlim_cur = static_cast<rlim_t>(room);
    ::setrlimit(RLIMIT_FSIZE, &limited);
    Run r({"--port", sim.devicePath(), "--function", "DC VOLTAGE", "--count", "10", "--output",
           path});
    const int code = r.finish();
    ::setrlimit(RLIMIT_FSIZE, &saved);
    ::signal(SIGXFSZ, oldHandler);
    QCOMPARE(code, 5);
    QVERIFY2(r.err.data().contains("the lines before are kept"), r.err.data());
    const QByteArray file = readFile(path);
    QVERIFY2(file.startsWith("\r\nDC Voltage(V)\r\n"), file);
    const QList<QByteArray> lines = readingLines(file, 2);
    QCOMPARE(lines.size(), 2);
    QVERIFY(file.endsWith("09/22/2016\r\n"));
}

// The meter hangs up after two readings; a new meter comes up at the same
// path and the run carries on in the same block of the same file.
void TestVxlogE2E::reconnectCarriesOn() {
    const QString link = dir_.filePath("meter");
    vxsim::SimProcess first;
    QVERIFY(first.start({"--link", link, "--hangup-after", "6"}));
    const QString path = dir_.filePath("reconnect.csv");
    Run r({"--port", link, "--function", "DC VOLTAGE", "--count", "5", "--reconnect", "--output",
           path});
    QSignalSpy spy(r.runner.get(), &vx::cli::Runner::finished);
    r.runner->start();
    QVERIFY(QTest::qWaitFor([&] { return r.err.data().contains("lost the meter"); }, 10000));
    QVERIFY(first.waitForExit(std::chrono::seconds(5)));
    vxsim::SimProcess second;
    QVERIFY(second.start({"--link", link}));
    QVERIFY(spy.wait(10000));
    QCOMPARE(spy.takeFirst().at(0).toInt(), 0);
    QVERIFY2(r.err.data().contains("the meter answers again"), r.err.data());
    QCOMPARE(second.recorded(),
             QByteArray("\n*IDN?\n:FUNC VOLT:DC\n:FUNC2:STAT 0\nFETC?\nFETC?\nFETC?\n"));
    const QByteArray file = readFile(path);
    QCOMPARE(file.count("DC Voltage(V)"), 1);
    QCOMPARE(readingLines(file, 2).size(), 5);
}

// A run at 0.1 s: SIGHUP after the file was moved away (log rotation) starts
// a new file with its own header; SIGTERM then ends the run with every line
// in the file whole, the summary on stderr and status 0.
void TestVxlogE2E::signalsLoseNoLine() {
    vxsim::SimProcess sim;
    QVERIFY(sim.start({}));
    const QString path = dir_.filePath("sigterm.csv");
    QProcess p;
    p.start(vxlogProgram(), {"--port", sim.devicePath(), "--function", "DC VOLTAGE", "--interval",
                             "0.1", "--output", path, "--quiet"});
    QVERIFY(p.waitForStarted());
    QVERIFY(QTest::qWaitFor([&] { return readFile(path).count('\n') >= 4; }, 10000));
    const QString rotated = path + ".1";
    QVERIFY(QFile::rename(path, rotated));
    ::kill(static_cast<pid_t>(p.processId()), SIGHUP);
    QVERIFY(QTest::qWaitFor([&] { return readFile(path).count('\n') >= 5; }, 10000));
    ::kill(static_cast<pid_t>(p.processId()), SIGTERM);
    QVERIFY(p.waitForFinished(5000));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), 0);
    const QByteArray err = p.readAllStandardError();
    QVERIFY2(err.contains("reopened") && err.contains("readings in") && err.contains("mean"), err);
    QVERIFY2(readFile(rotated).startsWith("\r\nDC Voltage(V)\r\n+"), readFile(rotated));
    const QByteArray file = readFile(path);
    QVERIFY2(file.startsWith("\r\nDC Voltage(V)\r\n+"), file);
    QVERIFY(file.endsWith("\r\n"));
    const QList<QByteArray> lines = readingLines(readFile(rotated), 2) + readingLines(file, 2);
    QVERIFY(lines.size() >= 5);
    const QRegularExpression shape(R"(^[-+]\d\.\d{5}E[-+]\d\d,\d\d:\d\d:\d\d \d\d/\d\d/\d{4}\r$)");
    for (const QByteArray& line : lines) {
        QVERIFY2(shape.match(QString::fromLatin1(line)).hasMatch(), line);
    }
    // The query whose reply the signal cut off is dropped whole.
    const qsizetype asked = sim.recorded().count("FETC?");
    QVERIFY(asked == lines.size() || asked == lines.size() + 1);
}

// `vxlog ... | head -3`: three lines through, then a clean end.
void TestVxlogE2E::closedPipeEndsCleanly() {
    vxsim::SimProcess sim;
    QVERIFY(sim.start({}));
    const QString path = dir_.filePath("pipe.csv");
    QProcess p;
    p.start(QStringLiteral("bash"),
            {"-c",
             QStringLiteral("\"$0\" --port \"$1\" --function VOLT:DC --interval 0.1 "
                            "--output \"$2\" | head -3; echo \"status ${PIPESTATUS[0]}\""),
             vxlogProgram(), sim.devicePath(), path});
    QVERIFY(p.waitForFinished(10000));
    const QList<QByteArray> out = p.readAllStandardOutput().split('\n');
    QCOMPARE(out.size(), 5);
    QCOMPARE(out[3], QByteArray("status 0"));
    QVERIFY(readFile(path).endsWith("\r\n"));
}

void TestVxlogE2E::badOptionSendsNothing() {
    vxsim::SimProcess sim;
    QVERIFY(sim.start({}));
    QProcess p;
    p.start(vxlogProgram(), {"--port", sim.devicePath(), "--interval", "0.01"});
    QVERIFY(p.waitForFinished(5000));
    QCOMPARE(p.exitCode(), 2);
    const QByteArray err = p.readAllStandardError();
    QVERIFY2(err.contains("--interval") && err.contains("usage: vxlog"), err);
    QCOMPARE(sim.recorded(), QByteArray());
}

QTEST_GUILESS_MAIN(TestVxlogE2E)
#include "tst_vxlog_e2e.moc"
