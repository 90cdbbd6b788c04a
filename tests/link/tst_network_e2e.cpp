// Meters behind a serial device server: the main window over the real link
// layer, the vxsim meter listening on TCP on the loopback. Nothing here
// reaches any address other than 127.0.0.1.

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QMetaObject>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <functional>

#include "forms/Main/Main.h"
#include "link/SerialLink.h"
#include "shell/PromptComboBox.h"
#include "shell/StatusLamp.h"
#include "support/MainState.h"
#include "support/SimBench.h"
#include "vxsim/client/DeadListener.h"

using vx::forms::Main;
using vx::forms::MainServices;

namespace {

const QStringList kListen{"--listen", "127.0.0.1:0"};

// A window on a simulated meter that runs until `stopAfter` readings were
// shown, logging from the first one on.
struct Bench : RunBench {
    // A watchdog presses Stop should the loop never end.
    void runLogged(int stopAfter) {
        onReading = [this, stopAfter](int n) {
            if (n == 1) {
                startLog(logPath());
            }
            if (n == stopAfter) {
                button(*window, "StopBtn")->click();
            }
        };
        run();
    }
};

// The log without its time stamps (", hh:mm:ss mm/dd/yyyy" before each CR LF).
QByteArray withoutStamps(const QByteArray& log) {
    QByteArray out;
    for (const QByteArray& line : log.split('\n')) {
        out += line.size() > 21 ? line.chopped(21) + "\r" : line;
        out += '\n';
    }
    return out;
}

// A port on the loopback where nothing listens.
quint16 closedPort() {
    QTcpServer server;
    server.listen(QHostAddress::LocalHost);
    return server.serverPort();
}

}  // namespace

class TestNetworkE2E : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void identifies();
    void runAndLogAsOnPseudoTerminal();
    void connectFailures_data();
    void connectFailures();
    void turnedAwayWhileMeterIsTaken();
    void farEndClosesDuringLoggedRun();
};

void TestNetworkE2E::identifies() {
    Bench b;
    QVERIFY(b.start(kListen + QStringList{"--term", "CR", "--model", "VX260"}));
    combo(*b.window, "TermChar")->setCurrentIndex(0);
    button(*b.window, "ConnectBtn")->click();
    QCOMPARE(lineEdit(*b.window, "InstrID")->text(),
             QStringLiteral("Velmora,VX260,260K31877,1.05"));
    QCOMPARE(lamp(*b.window, "PortOpenStat")->fillColor(), vx::shell::kLampGreen);
    QCOMPARE(lineEdit(*b.window, "StatusBox")->text(), QStringLiteral("Ready"));
    QVERIFY(b.window->isEnabled());
    QVERIFY(!combo(*b.window, "ComPort")->isEnabled());
    QCOMPARE(b.sim.recorded(), QByteArray("*IDN?\r"));
}

// A logged run puts the same bytes on the line, and the same lines in the
// log, over TCP as over a pseudo-terminal.
void TestNetworkE2E::runAndLogAsOnPseudoTerminal() {
    QByteArray sent[2];
    QByteArray logged[2];
    for (int tcp = 0; tcp < 2; ++tcp) {
        Bench b;
        QVERIFY(b.start(tcp != 0 ? kListen : QStringList{}));
        QCOMPARE(b.sim.devicePath().startsWith(QStringLiteral("tcp://")), tcp != 0);
        QVERIFY(b.connectAndSet());
        b.runLogged(4);
        QCOMPARE(b.shown, 4);
        QCOMPARE(lamp(*b.window, "PortOpenStat")->fillColor(), vx::shell::kLampGreen);
        sent[tcp] = b.sim.recorded();
        logged[tcp] = readFile(b.logPath());
    }
    QCOMPARE(sent[1], sent[0]);
    QVERIFY2(sent[0].endsWith(":FUNC VOLT:DC\nFETC?\nFETC?\nFETC?\nFETC?\n"), sent[0].constData());
    QCOMPARE(withoutStamps(logged[1]), withoutStamps(logged[0]));
    // Empty line, header and the readings after the first (logging starts
    // once the first is shown), each ended by CR LF.
    QCOMPARE(logged[0].count("\r\n"), 5);
}

// A network port that cannot be reached: a clear reason in the status line,
// no message box, the lamp red, the window idle and the lists still free.
// Time is the test's: the 3 s limit passes without sleeping.
void TestNetworkE2E::connectFailures_data() {
    QTest::addColumn<QString>("device");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<qint64>("waitedMs");
    const QString refused = QStringLiteral("tcp://127.0.0.1:%1").arg(closedPort());
    QTest::newRow("refused") << refused
                             << refused +
                                    " refused the connection: no device server listens "
                                    "on that port"
                             << qint64(-1);
    QTest::newRow("bad address") << "tcp://127.0.0.1:99999"
                                 << "\"tcp://127.0.0.1:99999\" is not a network port: the port "
                                    "must be a number from 1 to 65535"
                                 << qint64(0);
    QTest::newRow("never answered") << "dead"
                                    << "no connection to %1 within 3 s: check that the device "
                                       "server is on and reachable"
                                    << qint64(3000);
}

void TestNetworkE2E::connectFailures() {
    QFETCH(QString, device);
    QFETCH(QString, reason);
    QFETCH(qint64, waitedMs);
    vxsim::DeadListener dead;
    if (device == QLatin1String("dead")) {
        QVERIFY(dead.isReady());
        device = QStringLiteral("tcp://127.0.0.1:%1").arg(dead.port());
        reason = reason.arg(device);
    }
    qputenv("VXMETER_COM4", device.toLatin1());
    FakeClock clock;
    RecordingDialogs dialogs;
    vx::link::SerialPortOpener opener;
    Main w(MainServices{.clock = clock, .dialogs = dialogs, .opener = opener, .helpFilePath = {}});
    combo(w, "ComPort")->setCurrentIndex(3);
    int idlePasses = 0;
    clock.onWait = [&](qint64) {
        if (w.isEnabled() || QApplication::overrideCursor() == nullptr) {
            ++idlePasses;
        }
    };
    button(w, "ConnectBtn")->click();
    qunsetenv("VXMETER_COM4");
    QCOMPARE(lineEdit(w, "StatusBox")->text(), QStringLiteral("Could not open COM4: ") + reason);
    if (waitedMs >= 0) {
        QCOMPARE(clock.waitedMs, waitedMs);
    }
    // Busy throughout the wait, idle after it.
    QCOMPARE(idlePasses, 0);
    QVERIFY(w.isEnabled());
    QCOMPARE(QApplication::overrideCursor(), nullptr);
    QCOMPARE(lamp(w, "PortOpenStat")->fillColor(), vx::shell::kLampRed);
    QVERIFY(!child<vx::link::SerialLink>(w, "MSComm1")->isOpen());
    QCOMPARE(lineEdit(w, "InstrID")->text(), QStringLiteral("Connecting...please wait..."));
    QVERIFY(combo(w, "ComPort")->isEnabled());
    QVERIFY(!combo(w, "FuncBox")->isEnabled());
    QVERIFY(dialogs.messages.isEmpty());
}

// Another client holds the meter: the device server turns the window away by
// closing the connection, and Connect says so.
void TestNetworkE2E::turnedAwayWhileMeterIsTaken() {
    Bench b;
    QVERIFY(b.start(kListen));
    const QUrl url(b.sim.devicePath());
    QTcpSocket other;
    other.connectToHost(url.host(), quint16(url.port()));
    QVERIFY(other.waitForConnected(2000));
    button(*b.window, "ConnectBtn")->click();
    // The server may close before the connection is reported made, or just
    // after: either way the reason is the same.
    const QString status = lineEdit(*b.window, "StatusBox")->text();
    QVERIFY2((status.startsWith(QStringLiteral("Could not open COM1: ")) ||
              status.startsWith(QStringLiteral("Connection lost while identifying the "
                                               "instrument: "))) &&
                 status.endsWith(b.sim.devicePath() + QStringLiteral(" closed the connection")),
             qPrintable(status));
    QCOMPARE(lineEdit(*b.window, "InstrID")->text(), QStringLiteral("Connecting...please wait..."));
    QCOMPARE(lamp(*b.window, "PortOpenStat")->fillColor(), vx::shell::kLampRed);
    QVERIFY(b.window->isEnabled());
    QCOMPARE(QApplication::overrideCursor(), nullptr);
    QVERIFY(b.dialogs.messages.isEmpty());
    // Once the other client has left, the same window connects.
    other.disconnectFromHost();
    for (int attempt = 0;
         attempt < 20 && lamp(*b.window, "PortOpenStat")->fillColor() != vx::shell::kLampGreen;
         ++attempt) {
        QTest::qWait(20);  // for vxsim to see the other client leave
        button(*b.window, "ConnectBtn")->click();
    }
    QCOMPARE(lamp(*b.window, "PortOpenStat")->fillColor(), vx::shell::kLampGreen);
    QVERIFY(lineEdit(*b.window, "InstrID")->text().startsWith(QStringLiteral("Velmora,VX480,")));
}

// The device server closes the connection in the middle of a logged run: a
// lost port, as a serial hang-up is. The loop ends, the log is closed whole,
// and nothing spins.
void TestNetworkE2E::farEndClosesDuringLoggedRun() {
    Bench b;
    // *IDN?, :FUNC, then six queries.
    QVERIFY(b.startConnected(kListen + QStringList{"--hangup-after", "8"}));
    b.runLogged(1000);
    Main& w = *b.window;
    QCOMPARE(b.shown, 6);
    QCOMPARE(MainState(w).running_cnt, qint16(0));
    QCOMPARE(MainState(w).datalog_start, qint16(0));
    QCOMPARE(lamp(w, "PortOpenStat")->fillColor(), vx::shell::kLampRed);
    QVERIFY(!child<vx::link::SerialLink>(w, "MSComm1")->isOpen());
    QCOMPARE(lineEdit(w, "StatusBox")->text(),
             QStringLiteral("Readings stopped, log file closed: connection "
                            "lost: %1 closed the connection")
                 .arg(b.sim.devicePath()));
    QVERIFY(w.isEnabled());
    QVERIFY(button(w, "ConnectBtn")->isEnabled());
    // Empty line, header, and the readings shown after the first.
    const QByteArray log = readFile(b.logPath());
    QCOMPARE(log.count("\r\n"), 7);
    QVERIFY2(cpuSecondsIdle() < 0.05, "the event loop spins after the connection closed");
}

QTEST_MAIN(TestNetworkE2E)
#include "tst_network_e2e.moc"
