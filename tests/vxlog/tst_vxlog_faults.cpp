// The faults found by running vxlog as a user would and against hostile
// device servers: replies taken for the wrong query, readings in pieces, a
// run that cannot be stopped, files and terminals that get what they should
// not. Each case ran against the program before it was mended and failed.
#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>
#include <sys/stat.h>
#include <csignal>
#include <functional>

#include "support/Files.h"
#include "vxlog/VxlogRun.h"
#include "vxsim/client/SimProcess.h"

namespace {

// A device server on the loopback that answers each command line with what
// `answer` gives (and may close the connection itself).
class DeviceServer {
public:
    using Answer = std::function<QByteArray(const QByteArray& line, QTcpSocket& socket)>;

    explicit DeviceServer(Answer answer) : answer_(std::move(answer)) {
        server_.listen(QHostAddress::LocalHost);
        QObject::connect(&server_, &QTcpServer::newConnection, &server_, [this] {
            QTcpSocket* socket = server_.nextPendingConnection();
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                QByteArray& pending = pending_[socket];
                pending += socket->readAll();
                for (qsizetype at = pending.indexOf('\n'); at >= 0; at = pending.indexOf('\n')) {
                    const QByteArray line = pending.left(at);
                    pending.remove(0, at + 1);
                    lines << line;
                    socket->write(answer_(line, *socket));
                }
            });
        });
    }
    QString address() const {
        return QStringLiteral("tcp://127.0.0.1:%1").arg(server_.serverPort());
    }
    QList<QByteArray> lines;  // every command line received

private:
    Answer answer_;
    QTcpServer server_;
    QHash<QTcpSocket*, QByteArray> pending_;
};

constexpr char kIdentity[] = "Velmora,VX480,1,1.0";

QString vxlogProgram() {
    return QDir(qEnvironmentVariable("VX_BIN_DIR")).filePath(QStringLiteral("vxlog"));
}

const QRegularExpression kReadingLine(
    R"(^[-+]\d\.\d{5}E[-+]\d\d,\d\d:\d\d:\d\d \d\d/\d\d/\d{4}\r$)");

// The reading lines of the last block of a log file.
QList<QByteArray> lastBlock(const QByteArray& file) {
    QList<QByteArray> lines = file.split('\n');
    lines.removeLast();
    const qsizetype header = lines.lastIndexOf("\r") + 2;
    return lines.mid(header);
}

}  // namespace

class TestVxlogFaults : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void nextRunNotShifted_data();
    void nextRunNotShifted();
    void secondaryNeverCarriedOver();
    void onlyWholeRepliesAreReadings();
    void repliesCleanOfLineEnds();
    void commandBeyondLatin1Refused();
    void closedWhileIdentifyingSaidOnce();
    void unwrittenReadingNotCounted();
    void floodWithoutTerminatorBounded();
    void meterTextCannotDriveTheTerminal();
    void statusLineFitsTheTerminal();
    void meterOffAtStartWaitedFor();
    void emptyComVariableNotWaitedFor();
    void fifoWithoutReaderStops();
    void fileSizeLimitLikeFullDisk();
    void hangUpWithoutRotationKeepsOneBlock();
    void qtKeepsOffStderr();

private:
    QTemporaryDir dir_;
};

void TestVxlogFaults::nextRunNotShifted_data() {
    QTest::addColumn<QStringList>("simOptions");
    QTest::addColumn<QStringList>("firstRun");
    QTest::addColumn<QByteArray>("stopAfter");  // stopped once the meter has this; or ends itself
    QTest::addColumn<int>("firstEnd");
    // A run stopped while the meter (700 ms a reply) still owes the reply to
    // its second reading.
    QTest::newRow("late reading") << QStringList{"--reply-delay", "700"}
                                  << QStringList{"--count", "5"} << QByteArray("FETC?\nFETC?\n")
                                  << 0;
    // ... or still owes the identification.
    QTest::newRow("late identification")
        << QStringList{"--reply-delay", "700"} << QStringList{"--count", "5"}
        << QByteArray("*IDN?\n") << 0;
    // A run with the wrong terminator leaves "*IDN?" and a CR in the meter.
    QTest::newRow("half a command")
        << QStringList{} << QStringList{"--term", "CR", "--count", "1"} << QByteArray() << 4;
}

// The run after such a run identifies the meter and logs readings, each
// the reply to its own query.
void TestVxlogFaults::nextRunNotShifted() {
    QFETCH(QStringList, simOptions);
    QFETCH(QStringList, firstRun);
    QFETCH(QByteArray, stopAfter);
    QFETCH(int, firstEnd);
    vxsim::SimProcess sim;
    QVERIFY(sim.start(simOptions));
    {
        Run first(QStringList{"--port", sim.devicePath()} + firstRun,
                  vx::cli::Timing{2000, 50, 20, 50});
        QSignalSpy spy(first.runner.get(), &vx::cli::Runner::finished);
        first.runner->start();
        if (!stopAfter.isEmpty()) {
            QVERIFY(QTest::qWaitFor([&] { return sim.recorded().endsWith(stopAfter); }, 5000));
            first.runner->stop();
        }
        QVERIFY(!spy.isEmpty() || spy.wait(5000));
        QCOMPARE(spy.takeFirst().at(0).toInt(), firstEnd);
    }
    const QString path = dir_.filePath(QStringLiteral("next-%1.csv").arg(QTest::currentDataTag()));
    Run next(
        {"--port", sim.devicePath(), "--function", "VOLT:DC", "--count", "3", "--output", path},
        vx::cli::Timing{2000, 50, 20, 50});
    QCOMPARE(next.finish(), 0);
    QVERIFY2(next.err.data().contains(QByteArray("meter: Velmora,VX480")), next.err.data());
    const QList<QByteArray> lines = lastBlock(readFile(path));
    QCOMPARE(lines.size(), 3);
    for (const QByteArray& line : lines) {
        QVERIFY2(kReadingLine.match(QString::fromLatin1(line)).hasMatch(), line);
    }
}

// A run with the secondary display on, then one without it: the second
// run's header, lines and JSON all speak of one value.
void TestVxlogFaults::secondaryNeverCarriedOver() {
    vxsim::SimProcess sim;
    QVERIFY(sim.start({}));
    Run with({"--port", sim.devicePath(), "--function", "VOLT:DC", "--secondary", "FREQUENCY",
              "--count", "1"});
    QCOMPARE(with.finish(), 0);
    const QString path = dir_.filePath(QStringLiteral("after-secondary.csv"));
    Run without({"--port", sim.devicePath(), "--function", "VOLT:DC", "--count", "2", "--output",
                 path, "--format", "json"});
    QCOMPARE(without.finish(), 0);
    const QByteArray file = readFile(path);
    QVERIFY2(file.startsWith("\r\nDC Voltage(V)\r\n"), file);
    for (const QByteArray& line : lastBlock(file)) {
        QVERIFY2(kReadingLine.match(QString::fromLatin1(line)).hasMatch(), line);
    }
    for (const QByteArray& line : without.out.data().trimmed().split('\n')) {
        QVERIFY2(line.contains("\"value\":1.5") && !line.contains("secondary"), line);
    }
}

// A device server that sends text nobody asked for, before and after its
// replies and cut anywhere: only the whole replies are readings.
void TestVxlogFaults::onlyWholeRepliesAreReadings() {
    DeviceServer server([](const QByteArray& line, QTcpSocket&) -> QByteArray {
        if (line == "*IDN?") {
            return QByteArray(kIdentity) + "\n+7.00000E+00\n+9.99";
        }
        if (line == "FETC?") {
            // The end of the line begun unasked, then the reply, then a
            // whole line and the start of another, both unasked.
            return "999E+00\n+2.00000E+00\n+7.00000E+00\n+9.99";
        }
        return {};
    });
    Run shown({"--port", server.address(), "--count", "4", "--format", "json"});
    QCOMPARE(shown.finish(), 0);
    const QList<QByteArray> out = shown.out.data().split('\n');
    QCOMPARE(out.size(), 5);
    for (int i = 0; i < 4; ++i) {
        QVERIFY2(out[i].contains("\"primary\":\"+2.00000E+00\""), out[i]);
    }
    QVERIFY2(shown.err.data().contains("mean 2"), shown.err.data());
}

// A meter that ends its lines with CR LF while vxlog splits at LF: no CR in
// any output.
void TestVxlogFaults::repliesCleanOfLineEnds() {
    vxsim::SimProcess sim;
    QVERIFY(sim.start({"--reply-term", "CRLF"}));
    for (const char* format : {"json", "csv", "text"}) {
        Run r({"--port", sim.devicePath(), "--count", "2", "--format", format});
        QCOMPARE(r.finish(), 0);
        // Neither the byte nor JSON's escape of it.
        QVERIFY2(!r.out.data().contains('\r') && !r.out.data().contains("\\r"), r.out.data());
        QVERIFY2(!r.err.data().contains("\\x0D"), r.err.data());
        QVERIFY2(r.out.data().contains("+1.5012"), r.out.data());
    }
}

// A character beyond one byte would go out as '?', a query in place of a
// command: refused, nothing sent.
void TestVxlogFaults::commandBeyondLatin1Refused() {
    vxsim::SimProcess sim;
    QVERIFY(sim.start({}));
    Run r({"--port", sim.devicePath(), "--send", "*RST", "--send", QStringLiteral("REF 5 \u03a9")});
    QCOMPARE(r.finish(), 2);
    QVERIFY2(r.err.data().contains("nothing was sent"), r.err.data());
    QCOMPARE(sim.recorded(), QByteArray());
}

void TestVxlogFaults::closedWhileIdentifyingSaidOnce() {
    DeviceServer server([](const QByteArray& line, QTcpSocket& socket) -> QByteArray {
        if (line == "*IDN?") {
            socket.disconnectFromHost();
        }
        return {};
    });
    Run r({"--port", server.address(), "--count", "2"});
    QCOMPARE(r.finish(), 4);
    QCOMPARE(r.err.data().count('\n'), 1);
    QVERIFY2(r.err.data().contains("did not identify itself") &&
                 r.err.data().contains("closed the connection"),
             r.err.data());
}

// Standard output that refuses the third line: two readings were written,
// and the summary says two.
void TestVxlogFaults::unwrittenReadingNotCounted() {
    class TwoLines final : public QIODevice {
    public:
        TwoLines() { open(QIODevice::WriteOnly); }
        int lines = 0;

    protected:
        qint64 readData(char*, qint64) override { return -1; }
        qint64 writeData(const char*, qint64 size) override { return ++lines > 2 ? -1 : size; }
    } out;
    vxsim::SimProcess sim;
    QVERIFY(sim.start({}));
    Run r({"--port", sim.devicePath(), "--count", "5"}, kShortTiming, &out);
    QCOMPARE(r.finish(), 0);
    QCOMPARE(r.runner->readings(), 2);
    QVERIFY2(r.err.data().contains("2 readings in"), r.err.data());
}

// A reply that never ends: dropped once past the reply limit, with the
// reason, instead of growing until the reply time is out.
void TestVxlogFaults::floodWithoutTerminatorBounded() {
    vxsim::SimProcess sim;
    QVERIFY(sim.start({"--no-terminator-flood", "4000000", "--baud", "4000000"}));
    Run r({"--port", sim.devicePath(), "--count", "3"}, vx::cli::Timing{20000, 50, 20, 50});
    QCOMPARE(r.finish(), 6);
    QVERIFY2(r.err.data().contains("ran past 65536 bytes without a terminator"), r.err.data());
}

// Escape sequences in the identification and the readings reach neither the
// terminal nor the standard output; they are shown written out.
void TestVxlogFaults::meterTextCannotDriveTheTerminal() {
    DeviceServer server([](const QByteArray& line, QTcpSocket&) -> QByteArray {
        if (line == "*IDN?") {
            return "Velmora\x1b[2J,VX480,1,1.0\n";
        }
        return line == "FETC?" ? QByteArray("+1.00000E+00\x1b]0;owned\x07\n") : QByteArray();
    });
    for (const char* format : {"text", "csv", "json"}) {
        Run r({"--port", server.address(), "--count", "1", "--format", format});
        QCOMPARE(r.finish(), 0);
        QVERIFY2(!r.err.data().contains('\x1b') && r.err.data().contains("Velmora\\x1B[2J"),
                 r.err.data());
        QVERIFY2(!r.out.data().contains('\x1b') && !r.out.data().contains("\\u001b") &&
                     r.out.data().contains("x1B]0;owned\\"),
                 r.out.data());
    }
}

void TestVxlogFaults::statusLineFitsTheTerminal() {
    vxsim::SimProcess sim;
    QVERIFY(sim.start({}));
    JumpClock clock;
    vx::link::SerialPortOpener opener;
    QBuffer out;
    QBuffer err;
    out.open(QIODevice::ReadWrite);
    err.open(QIODevice::ReadWrite);
    const vx::cli::Parsed parsed = vx::cli::parseOptions(
        {"--port", sim.devicePath(), "--function", "VOLT:DC", "--count", "3", "--quiet"});
    vx::cli::Runner runner(parsed.options, opener, clock,
                           vx::cli::Streams{.out = out,
                                            .err = err,
                                            .errIsTerminal = true,
                                            .columns = [] { return 24; },
                                            .stopping = {}},
                           kShortTiming);
    QSignalSpy spy(&runner, &vx::cli::Runner::finished);
    runner.start();
    QVERIFY(!spy.isEmpty() || spy.wait(5000));
    const QList<QByteArray> drawn = err.data().split('\r');
    QVERIFY(drawn.size() > 3);
    for (const QByteArray& part : drawn) {
        // Each redraw: erase the line, then at most 23 columns.
        const QByteArray text = part.startsWith("\x1b[K") ? part.mid(3) : part;
        if (!text.startsWith("vxlog:")) {
            QVERIFY2(text.size() <= 23, text);
        }
    }
    QVERIFY2(err.data().contains("3 readings"), err.data());
}

// With --reconnect a meter that is not there at the start is waited for.
void TestVxlogFaults::meterOffAtStartWaitedFor() {
    const QString link = dir_.filePath(QStringLiteral("later"));
    Run r({"--port", link, "--count", "2", "--reconnect"});
    QSignalSpy spy(r.runner.get(), &vx::cli::Runner::finished);
    r.runner->start();
    QVERIFY(QTest::qWaitFor([&] { return r.err.data().contains("waiting for the meter"); }, 5000));
    QVERIFY(spy.isEmpty());
    vxsim::SimProcess sim;
    QVERIFY(sim.start({"--link", link}));
    QVERIFY(!spy.isEmpty() || spy.wait(10000));
    QCOMPARE(spy.takeFirst().at(0).toInt(), 0);
    QCOMPARE(r.runner->readings(), 2);
    QVERIFY2(r.err.data().contains("2 readings in 00:00:0"), r.err.data());
}

// A COM variable set but empty names no device: waiting cannot mend it.
void TestVxlogFaults::emptyComVariableNotWaitedFor() {
    qputenv("VXMETER_COM9", "");
    Run r({"--port", "COM9", "--count", "1", "--reconnect"});
    const int code = r.finish();
    qunsetenv("VXMETER_COM9");
    QCOMPARE(code, 3);
    QVERIFY2(r.err.data().contains("VXMETER_COM9 is set but empty"), r.err.data());
    QVERIFY(!r.err.data().contains("waiting"));
}

// A FIFO that nobody reads holds the program in its open: SIGTERM still
// ends it, before anything was sent to the meter.
void TestVxlogFaults::fifoWithoutReaderStops() {
    vxsim::SimProcess sim;
    QVERIFY(sim.start({}));
    const QString fifo = dir_.filePath(QStringLiteral("fifo"));
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QProcess p;
    p.start(vxlogProgram(),
            {"--port", sim.devicePath(), "--function", "VOLT:DC", "--output", fifo});
    QVERIFY(p.waitForStarted());
    const QString wchan = QStringLiteral("/proc/%1/wchan").arg(p.processId());
    // Once it waits in the open (or after a second, where the kernel does
    // not say where a process waits).
    [[maybe_unused]] const bool waiting =
        QTest::qWaitFor([&] { return readFile(wchan).contains("fifo"); }, 1000);
    ::kill(static_cast<pid_t>(p.processId()), SIGTERM);
    QVERIFY(p.waitForFinished(3000));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), 0);
    QCOMPARE(sim.recorded(), QByteArray());
}

// A file size limit is a full disk: status 5, whole lines, the summary.
void TestVxlogFaults::fileSizeLimitLikeFullDisk() {
    vxsim::SimProcess sim;
    QVERIFY(sim.start({}));
    const QString path = dir_.filePath(QStringLiteral("limited.csv"));
    QProcess p;
    p.setChildProcessModifier([] {
        rlimit limit{200, 200};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        ::signal(SIGXFSZ, SIG_DFL);
    });
    p.start(vxlogProgram(), {"--port", sim.devicePath(), "--function", "VOLT:DC", "--interval",
                             "0.1", "--output", path, "--quiet"});
    QVERIFY(p.waitForFinished(10000));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), 5);
    const QByteArray err = p.readAllStandardError();
    QVERIFY2(err.contains("the lines before are kept") && err.contains("readings in"), err);
    const QByteArray file = readFile(path);
    QVERIFY(file.size() <= 200);
    const QList<QByteArray> lines = lastBlock(file);
    QVERIFY(lines.size() >= 4);
    for (const QByteArray& line : lines) {
        QVERIFY2(kReadingLine.match(QString::fromLatin1(line)).hasMatch(), line);
    }
}

// SIGHUP with the file where it was: no new header block.
void TestVxlogFaults::hangUpWithoutRotationKeepsOneBlock() {
    vxsim::SimProcess sim;
    QVERIFY(sim.start({}));
    const QString path = dir_.filePath(QStringLiteral("hup.csv"));
    QProcess p;
    p.start(vxlogProgram(), {"--port", sim.devicePath(), "--function", "VOLT:DC", "--interval",
                             "0.1", "--count", "8", "--output", path, "--quiet"});
    QVERIFY(p.waitForStarted());
    for (int n = 1; n <= 3; ++n) {
        QVERIFY(QTest::qWaitFor([&] { return lastBlock(readFile(path)).size() >= 2 * n; }, 5000));
        ::kill(static_cast<pid_t>(p.processId()), SIGHUP);
    }
    QVERIFY(p.waitForFinished(10000));
    QCOMPARE(p.exitCode(), 0);
    const QByteArray file = readFile(path);
    QCOMPARE(file.count("DC Voltage(V)"), 1);
    QCOMPARE(lastBlock(file).size(), 8);
    QVERIFY(!p.readAllStandardError().contains("reopened"));
}

// Writing into a FIFO that a reader empties: stderr holds vxlog's own
// messages only.
void TestVxlogFaults::qtKeepsOffStderr() {
    vxsim::SimProcess sim;
    QVERIFY(sim.start({}));
    const QString fifo = dir_.filePath(QStringLiteral("read-fifo"));
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QProcess reader;
    reader.start(QStringLiteral("cat"), {fifo});
    QVERIFY(reader.waitForStarted());
    QProcess p;
    p.start(vxlogProgram(), {"--port", sim.devicePath(), "--function", "VOLT:DC", "--interval",
                             "0.1", "--count", "3", "--output", fifo, "--quiet"});
    QVERIFY(p.waitForFinished(10000));
    QCOMPARE(p.exitCode(), 0);
    QVERIFY(reader.waitForFinished(5000));
    QCOMPARE(lastBlock(reader.readAllStandardOutput()).size(), 3);
    for (const QByteArray& line : p.readAllStandardError().split('\n')) {
        QVERIFY2(line.isEmpty() || line.startsWith("vxlog: "), line);
    }
}

QTEST_GUILESS_MAIN(TestVxlogFaults)
#include "tst_vxlog_faults.moc"
