// The vxsim program end to end: started through SimProcess, talked to over its real
// pseudo-terminal through a raw descriptor. Waits are bounded and end as soon as the expected
// bytes are there.

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <chrono>
#include <string_view>
#include <vector>

#include "vxsim/client/SimProcess.h"
#include "vxsim/host/HostOptions.h"
#include "vxsim/host/MeterHost.h"

using namespace std::chrono_literals;
using vxsim::SimProcess;

namespace {

const QByteArray kIdn480 = "Velmora,VX480,480K52106,2.14";
const QByteArray kIdn260 = "Velmora,VX260,260K31877,1.05";

// The program side of the line: the pseudo-terminal slave opened as a serial port would be.
class Port {
public:
    explicit Port(const QString& device) {
        fd_ = ::open(device.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd_ >= 0) {
            termios tio{};
            tcgetattr(fd_, &tio);
            cfmakeraw(&tio);
            tcsetattr(fd_, TCSANOW, &tio);
        }
    }
    ~Port() { close(); }
    Port(const Port&) = delete;
    Port& operator=(const Port&) = delete;

    bool isOpen() const { return fd_ >= 0; }
    void close() {
        if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }

    bool write(const QByteArray& bytes) {
        return ::write(fd_, bytes.constData(), static_cast<size_t>(bytes.size())) == bytes.size();
    }

    struct Chunk {
        QByteArray bytes;
        qint64 atMs;
    };

    // Reads until the collected bytes end with `until` (never, when it is empty) or the time is
    // up; every read is kept with its arrival time.
    std::vector<Chunk> readChunks(const QByteArray& until, std::chrono::milliseconds limit) {
        std::vector<Chunk> chunks;
        QByteArray all;
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < limit.count()) {
            pollfd pfd{.fd = fd_, .events = POLLIN, .revents = 0};
            const int left = static_cast<int>(limit.count() - timer.elapsed());
            if (::poll(&pfd, 1, std::max(left, 0)) <= 0) {
                break;
            }
            if (pfd.revents & (POLLHUP | POLLERR)) {
                hungUp_ = true;
            }
            char buffer[4096];
            const ssize_t n = ::read(fd_, buffer, sizeof buffer);
            if (n <= 0) {
                hungUp_ = true;
                break;
            }
            chunks.push_back({QByteArray(buffer, n), timer.elapsed()});
            all += chunks.back().bytes;
            if (!until.isEmpty() && all.endsWith(until)) {
                break;
            }
        }
        return chunks;
    }

    QByteArray readUntil(const QByteArray& until, std::chrono::milliseconds limit = 1000ms) {
        QByteArray all;
        for (const auto& chunk : readChunks(until, limit)) {
            all += chunk.bytes;
        }
        return all;
    }

    QByteArray query(const QByteArray& line, char terminator = '\n',
                     const QByteArray& until = QByteArray("\n")) {
        if (!write(line + terminator)) {
            return "<write failed>";
        }
        return readUntil(until);
    }

    // Waits, bounded, for the far end to hang up.
    bool waitForHangUp(std::chrono::milliseconds limit) {
        readChunks({}, limit);
        return hungUp_;
    }

private:
    int fd_ = -1;
    bool hungUp_ = false;
};

}  // namespace

class TestVxsimHost : public QObject {
    Q_OBJECT

private slots:
    void options_data();
    void options();
    void identifies_data();
    void identifies();
    void recordsEveryByte();
    void writesCommandTimes();
    void sendsReplyInPieces();
    void pacesRepliesAtBaudRate();
    void hangsUpAfterCommands();
    void silentNeverAnswers();
    void floodsWithoutTerminator();
    void survivesReopen();
    void linkFollowsDeviceAndIsRemoved();
    void refusesBadOption();
    void listensForOneClientAtATime();
};

void TestVxsimHost::options_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("error");

    QTest::newRow("none") << QStringList{} << QString();
    QTest::newRow("all") << QStringList{"--model",
                                        "VX260",
                                        "--term",
                                        "CR",
                                        "--baud",
                                        "19200",
                                        "--noise-start=7",
                                        "--pieces",
                                        "3",
                                        "--reply-term",
                                        "CRLF",
                                        "--garbage",
                                        "--silent",
                                        "--hangup-after",
                                        "4",
                                        "--no-terminator-flood",
                                        "1000000"}
                         << QString();
    QTest::newRow("unknown") << QStringList{"--fast"} << QString("unknown option --fast");
    QTest::newRow("model") << QStringList{"--model", "VX999"}
                           << QString("--model: unknown model (VX260 or VX480)");
    QTest::newRow("term") << QStringList{"--term", "CRLF"}
                          << QString("--term: terminator must be CR or LF");
    QTest::newRow("baud") << QStringList{"--baud", "fast"}
                          << QString("--baud: baud rate must be a whole number from 50 to 4000000");
    QTest::newRow("missing value") << QStringList{"--record"} << QString("--record needs a value");
    QTest::newRow("pieces 0") << QStringList{"--pieces", "0"}
                              << QString("--pieces: pieces must be a whole number from 1 to 1000");
    QTest::newRow("switch with value")
        << QStringList{"--silent=1"} << QString("--silent takes no value");
    QTest::newRow("listen") << QStringList{"--listen", "[::1]:4001"} << QString();
    QTest::newRow("listen port 70000")
        << QStringList{"--listen", "127.0.0.1:70000"}
        << QString("--listen: expected [HOST:]PORT with PORT from 0 to 65535");
    QTest::newRow("listen empty host")
        << QStringList{"--listen", ":4001"}
        << QString("--listen: expected [HOST:]PORT with PORT from 0 to 65535");
    QTest::newRow("listen IPv6 without brackets")
        << QStringList{"--listen", "::1:4001"}
        << QString("--listen: write an IPv6 address in brackets, [::1]:PORT");
    QTest::newRow("listen and link")
        << QStringList{"--listen", "4001", "--link", "/tmp/COM1"}
        << QString("--link names a pseudo-terminal and cannot go with --listen");
    QTest::newRow("flood 0")
        << QStringList{"--no-terminator-flood", "0"}
        << QString("--no-terminator-flood: flood size must be a positive whole number");
}

void TestVxsimHost::options() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, error);
    std::vector<std::string> storage;
    for (const auto& argument : arguments) {
        storage.push_back(argument.toStdString());
    }
    const std::vector<std::string_view> views(storage.begin(), storage.end());
    const auto parsed = vxsim::parseOptions(views);
    QCOMPARE(QString::fromStdString(parsed.error), error);
    if (QTest::currentDataTag() == QByteArray("all")) {
        const auto& o = parsed.options;
        QCOMPARE(o.model, vxsim::Model::VX260);
        QCOMPARE(o.terminator, '\r');
        QCOMPARE(o.baud, 19200);
        QCOMPARE(o.noiseStart, std::uint64_t{7});
        QCOMPARE(o.pieces, 3);
        QCOMPARE(o.replyTerminator, std::string("\r\n"));
        QVERIFY(o.garbage && o.silent);
        QCOMPARE(o.hangupAfter.value_or(0), 4L);
        QCOMPARE(o.floodBytes.value_or(0), std::size_t{1000000});
        QVERIFY(!o.listenHost);
    }
    if (QTest::currentDataTag() == QByteArray("listen")) {
        QCOMPARE(parsed.options.listenHost.value_or(""), std::string("::1"));
        QCOMPARE(parsed.options.listenPort, std::uint16_t{4001});
    }
}

void TestVxsimHost::identifies_data() {
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<char>("terminator");
    QTest::addColumn<QByteArray>("reply");

    QTest::newRow("LF VX480") << QStringList{} << '\n' << kIdn480 + '\n';
    QTest::newRow("CR VX480") << QStringList{"--term", "CR"} << '\r' << kIdn480 + '\r';
    QTest::newRow("LF VX260") << QStringList{"--model", "VX260"} << '\n' << kIdn260 + '\n';
    QTest::newRow("CR VX260") << QStringList{"--model", "VX260", "--term", "CR"} << '\r'
                              << kIdn260 + '\r';
    QTest::newRow("reply CR LF") << QStringList{"--reply-term", "CRLF"} << '\n' << kIdn480 + "\r\n";
    QTest::newRow("reply CR to LF") << QStringList{"--reply-term", "CR"} << '\n' << kIdn480 + '\r';
    QTest::newRow("garbage") << QStringList{"--garbage"} << '\n'
                             << kIdn480 +
                                    QByteArray(vxsim::MeterHost::kGarbage.data(),
                                               vxsim::MeterHost::kGarbage.size()) +
                                    '\n';
}

void TestVxsimHost::identifies() {
    QFETCH(QStringList, options);
    QFETCH(char, terminator);
    QFETCH(QByteArray, reply);
    SimProcess sim;
    QVERIFY2(sim.start(options), qPrintable(sim.errorString()));
    QVERIFY(sim.devicePath().startsWith("/dev/pts/"));
    Port port(sim.devicePath());
    QVERIFY(port.isOpen());
    QCOMPARE(port.query("*IDN?", terminator, reply.right(1)), reply);
}

void TestVxsimHost::recordsEveryByte() {
    SimProcess sim;
    QVERIFY2(sim.start(), qPrintable(sim.errorString()));
    Port port(sim.devicePath());
    const QByteArray odd("\r\x01\x7f\xfe\tnot a command \xc3\xa9\n", 22);
    const QByteArray sent = QByteArray("*IDN?\n") + odd + "VOLT:DC:RANG \n" + "*I" + "DN?\n";
    QVERIFY(port.write(sent.left(9)));
    QVERIFY(port.write(sent.mid(9)));
    QCOMPARE(port.readUntil(kIdn480 + '\n' + kIdn480 + '\n'), kIdn480 + '\n' + kIdn480 + '\n');
    QCOMPARE(sim.recorded(), sent);
    QCOMPARE(port.query("SYST:ERR?"), QByteArray("-100,\"Command error\"\n"));
    QCOMPARE(port.query("SYST:ERR?"), QByteArray("-109,\"Missing parameter\"\n"));
    sim.stop();
    QCOMPARE(sim.recorded(), sent + "SYST:ERR?\nSYST:ERR?\n");
}

void TestVxsimHost::writesCommandTimes() {
    QTemporaryDir dir;
    const QString times = dir.filePath("times.txt");
    SimProcess sim;
    QVERIFY2(sim.start({"--times", times, "--term", "CR"}), qPrintable(sim.errorString()));
    Port port(sim.devicePath());
    QVERIFY(port.write(":FUNC RES\r\tx\\\r"));
    QCOMPARE(port.query("FETC?", '\r', "\r").size(), 13);
    QFile file(times);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    QCOMPARE(lines.size(), 4);  // three lines and the empty text after the last line end
    QCOMPARE(lines[3], QByteArray());
    const QByteArrayList commands{":FUNC RES", "\\x09x\\x5C", "FETC?"};
    qint64 previous = 0;
    for (int i = 0; i < 3; ++i) {
        const QList<QByteArray> fields = lines[i].split('\t');
        QCOMPARE(fields.size(), 2);
        bool ok = false;
        const qint64 ns = fields[0].toLongLong(&ok);
        QVERIFY(ok && ns >= previous);
        previous = ns;
        QCOMPARE(fields[1], commands[i]);
    }
}

void TestVxsimHost::sendsReplyInPieces() {
    SimProcess sim;
    QVERIFY2(sim.start({"--pieces", "3", "--baud", "115200"}), qPrintable(sim.errorString()));
    Port port(sim.devicePath());
    QVERIFY(port.write("*IDN?\n"));
    const auto chunks = port.readChunks("\n", 1000ms);
    QByteArray all;
    int gaps = 0;
    for (std::size_t i = 0; i < chunks.size(); ++i) {
        all += chunks[i].bytes;
        if (i > 0 && chunks[i].atMs - chunks[i - 1].atMs >= 20) {
            ++gaps;
        }
    }
    QCOMPARE(all, kIdn480 + '\n');
    QCOMPARE(gaps, 2);
}

void TestVxsimHost::pacesRepliesAtBaudRate() {
    // 29 characters at 1200 baud take 29 * 8.3 ms = 242 ms on a real line; they cannot come
    // sooner from the simulator either.
    SimProcess sim;
    QVERIFY2(sim.start({"--baud", "1200"}), qPrintable(sim.errorString()));
    Port port(sim.devicePath());
    QElapsedTimer timer;
    timer.start();
    QVERIFY(port.write("*IDN?\n"));
    QCOMPARE(port.readUntil("\n", 2000ms), kIdn480 + '\n');
    QVERIFY2(timer.elapsed() >= 200, qPrintable(QString::number(timer.elapsed())));
}

void TestVxsimHost::hangsUpAfterCommands() {
    SimProcess sim;
    QVERIFY2(sim.start({"--hangup-after", "2"}), qPrintable(sim.errorString()));
    Port port(sim.devicePath());
    QCOMPARE(port.query("*IDN?"), kIdn480 + '\n');
    QVERIFY(port.write("FETC?\n*IDN?\n"));
    QCOMPARE(port.readUntil("\n").size(), 13);
    QVERIFY(port.waitForHangUp(500ms));
    QVERIFY(sim.waitForExit(2s));
    QCOMPARE(sim.exitCode(), 0);
    QCOMPARE(sim.recorded(), QByteArray("*IDN?\nFETC?\n*IDN?\n"));
}

void TestVxsimHost::silentNeverAnswers() {
    SimProcess sim;
    QVERIFY2(sim.start({"--silent"}), qPrintable(sim.errorString()));
    Port port(sim.devicePath());
    QVERIFY(port.write("*IDN?\nFETC?\n"));
    QCOMPARE(port.readUntil({}, 300ms), QByteArray());
    QCOMPARE(sim.recorded(), QByteArray("*IDN?\nFETC?\n"));
    QVERIFY(sim.isRunning());
}

void TestVxsimHost::floodsWithoutTerminator() {
    constexpr int kBytes = 20000;
    SimProcess sim;
    QVERIFY2(sim.start({"--no-terminator-flood", QString::number(kBytes), "--baud", "4000000"}),
             qPrintable(sim.errorString()));
    Port port(sim.devicePath());
    QVERIFY(port.write("FETC?\n"));
    QByteArray all;
    while (all.size() < kBytes) {
        const QByteArray more = port.readUntil({}, 300ms);
        if (more.isEmpty()) {
            break;
        }
        all += more;
    }
    QCOMPARE(all.size(), kBytes);
    QVERIFY(!all.contains('\n') && !all.contains('\r'));
    QVERIFY(all.startsWith("+1.5"));
    // Other replies are still framed.
    QCOMPARE(port.query("*IDN?"), kIdn480 + '\n');
}

void TestVxsimHost::survivesReopen() {
    SimProcess sim;
    QVERIFY2(sim.start(), qPrintable(sim.errorString()));
    for (int round = 0; round < 3; ++round) {
        Port port(sim.devicePath());
        QVERIFY(port.isOpen());
        QCOMPARE(port.query("*IDN?"), kIdn480 + '\n');
    }
    QVERIFY(sim.isRunning());
}

void TestVxsimHost::linkFollowsDeviceAndIsRemoved() {
    QTemporaryDir dir;
    const QString link = dir.filePath("COM1");
    QVERIFY(QFile::link("/nonexistent/stale", link));  // left behind by a killed run
    SimProcess sim;
    QVERIFY2(sim.start({"--link", link}), qPrintable(sim.errorString()));
    QCOMPARE(QFileInfo(link).symLinkTarget(), sim.devicePath());
    Port port(link);
    QCOMPARE(port.query("*IDN?"), kIdn480 + '\n');
    sim.stop();
    QCOMPARE(sim.exitCode(), 0);
    QVERIFY(!QFileInfo(link).isSymLink());

    QFile plain(dir.filePath("plain"));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    QVERIFY(!sim.start({"--link", plain.fileName()}));
    QVERIFY2(sim.errorString().contains("is not a symbolic link"), qPrintable(sim.errorString()));
    QVERIFY(QFileInfo(plain.fileName()).isFile());
}

void TestVxsimHost::refusesBadOption() {
    SimProcess sim;
    QVERIFY(!sim.start({"--baud", "fast"}, SimProcess::Recording::Off));
    QVERIFY2(sim.errorString().contains("baud rate must be a whole number"),
             qPrintable(sim.errorString()));
    QCOMPARE(sim.exitCode(), 2);
}

namespace {

// A client of vxsim --listen, as a device server's client would be.
struct TcpClient {
    QTcpSocket socket;

    explicit TcpClient(const QString& device) {
        const QUrl url(device);
        socket.connectToHost(url.host(), static_cast<quint16>(url.port()));
        socket.waitForConnected(2000);
    }
    QByteArray readUntil(const QByteArray& until) {
        QByteArray all;
        QElapsedTimer timer;
        timer.start();
        while (!all.endsWith(until) && timer.elapsed() < 2000) {
            if (socket.bytesAvailable() == 0 && !socket.waitForReadyRead(100) &&
                socket.state() != QAbstractSocket::ConnectedState) {
                break;
            }
            all += socket.readAll();
        }
        return all;
    }
    QByteArray query(const QByteArray& line) {
        socket.write(line + '\n');
        socket.flush();
        return readUntil("\n");
    }
    // True once the far end has closed the connection (bounded wait).
    bool closedByFarEnd() {
        return socket.state() == QAbstractSocket::UnconnectedState ||
               socket.waitForDisconnected(2000);
    }
};

}  // namespace

// The meter behind a simulated device server: one client at a time, a second
// is told so and closed, and a client that leaves frees the meter.
void TestVxsimHost::listensForOneClientAtATime() {
    SimProcess sim;
    QVERIFY2(sim.start({"--listen", "127.0.0.1:0"}), qPrintable(sim.errorString()));
    QVERIFY2(sim.devicePath().startsWith("tcp://127.0.0.1:"), qPrintable(sim.devicePath()));
    auto first = std::make_unique<TcpClient>(sim.devicePath());
    QCOMPARE(first->query("*IDN?"), kIdn480 + '\n');
    {
        TcpClient second(sim.devicePath());
        QCOMPARE(second.readUntil("\n"), QByteArray(vxsim::MeterHost::kBusyMessage.data(),
                                                    vxsim::MeterHost::kBusyMessage.size()) +
                                             '\n');
        QVERIFY(second.closedByFarEnd());
    }
    // The first client did not notice.
    QCOMPARE(first->query("FETC?"), QByteArray("+1.50123E+00\n"));
    first.reset();
    {
        // A client that sends its last byte and half-closes ("echo | nc")
        // still gets its reply before the meter closes.
        TcpClient third(sim.devicePath());
        third.socket.write("*IDN?\n");
        QVERIFY(third.socket.waitForBytesWritten(2000));
        QCOMPARE(::shutdown(int(third.socket.socketDescriptor()), SHUT_WR), 0);
        QCOMPARE(third.readUntil("\n"), kIdn480 + '\n');
        QVERIFY(third.closedByFarEnd());
    }
    TcpClient fourth(sim.devicePath());
    QCOMPARE(fourth.query("*IDN?"), kIdn480 + '\n');
    QVERIFY(sim.isRunning());
    QCOMPARE(sim.recorded(), QByteArray("*IDN?\nFETC?\n*IDN?\n*IDN?\n"));
}

QTEST_GUILESS_MAIN(TestVxsimHost)
#include "tst_vxsimhost.moc"
