// Faults of the meter, the line, the disk and the operator, end to end: the
// main window over the real serial port layer, the vxsim meter on a real
// pseudo-terminal. Every case ends with the window responsive, the status
// line saying what happened, the event loop idle and the log file holding
// every line written before the fault.
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMetaObject>
#include <QPushButton>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

#include "forms/Main/Main.h"
#include "link/SerialLink.h"
#include "shell/PromptComboBox.h"
#include "shell/StatusLamp.h"
#include "support/MainState.h"
#include "support/SimBench.h"
#include "vxsim/client/SimProcess.h"

using vx::forms::Main;

namespace {

// An idle window may use at most this much CPU over 300 ms.
constexpr double kIdleCpuLimit = 0.05;

struct Bench : RunBench {
    // The log file must be one block: empty line, header, one line per
    // logged reply with a stamp.
    bool logHoldsEveryLine(QString& why) const {
        const QList<QByteArray> lines = readFile(logPath()).split('\n');
        if (lines.size() != logged.size() + 3 || lines[0] != "\r" ||
            lines[1] != "DC Voltage(V)\r" || !lines.constLast().isEmpty()) {
            why = QStringLiteral("%1 lines for %2 readings: %3")
                      .arg(lines.size())
                      .arg(logged.size())
                      .arg(QString::fromLatin1(readFile(logPath()).left(200)));
            return false;
        }
        for (qsizetype i = 0; i < logged.size(); ++i) {
            const QByteArray& line = lines[i + 2];
            // The reply's own CR and LF never reach the file.
            QByteArray want = logged[i].toLatin1();
            want.replace('\r', QByteArray()).replace('\n', QByteArray());
            want += ',';
            // reply, comma, "hh:mm:ss mm/dd/yyyy", CR
            if (!line.startsWith(want) || line.size() != want.size() + 20 || !line.endsWith('\r')) {
                why = QStringLiteral("line %1: %2").arg(i).arg(QString::fromLatin1(line));
                return false;
            }
        }
        return true;
    }
};

}  // namespace

class TestFaultE2E : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void hangUpDuringLoggedRun();
    void repliesWithGarbage();
    void floodWithoutTerminator();
    void otherTerminator_data();
    void otherTerminator();
    void logOnFullDisk();
    void portTakenBetweenConnects();
    void exitInEveryState_data();
    void exitInEveryState();
};

void TestFaultE2E::init() {
    if (!QFile::exists(vxsim::SimProcess::programPath())) {
        QSKIP("vxsim is not built");
    }
}

// The far end hangs up in the middle of a logged run: the loop ends by
// itself, the log keeps every line, and the window says so.
void TestFaultE2E::hangUpDuringLoggedRun() {
    Bench b;
    // *IDN?, :FUNC, then six queries.
    QVERIFY(b.startConnected({"--hangup-after", "8"}));
    b.onReading = [&](int n) {
        if (n == 1) {
            b.startLog(b.logPath());
        }
    };
    b.run();
    Main& w = *b.window;
    QCOMPARE(MainState(w).running_cnt, qint16(0));
    QCOMPARE(MainState(w).datalog_start, qint16(0));
    QCOMPARE(lamp(w, "PortOpenStat")->fillColor(), vx::shell::kLampRed);
    QVERIFY2(lineEdit(w, "StatusBox")
                 ->text()
                 .startsWith(QStringLiteral("Readings stopped, log file closed:")),
             qPrintable(lineEdit(w, "StatusBox")->text()));
    QVERIFY(w.isEnabled());
    QVERIFY(button(w, "ConnectBtn")->isEnabled());
    QVERIFY2(b.logged.size() >= 3, qPrintable(QString::number(b.logged.size())));
    QString why;
    QVERIFY2(b.logHoldsEveryLine(why), qPrintable(why));
    QVERIFY2(cpuSecondsIdle() < kIdleCpuLimit, "the event loop spins after the hang-up");
}

// Garbage and NUL bytes before each terminator: every reply is shown and
// logged as one line, the file stays line-structured, nothing stalls.
void TestFaultE2E::repliesWithGarbage() {
    Bench b;
    QVERIFY(b.startConnected({"--garbage"}));
    b.onReading = [&](int n) {
        if (n == 1) {
            b.startLog(b.logPath());
        } else if (n == 5) {
            button(*b.window, "StopBtn")->click();
        }
    };
    b.run();
    Main& w = *b.window;
    QCOMPARE(b.shown, 5);
    QCOMPARE(MainState(w).running_cnt, qint16(0));
    QVERIFY(button(w, "Run")->isEnabled());
    QCOMPARE(b.logged.size(), 4);
    QString why;
    QVERIFY2(b.logHoldsEveryLine(why), qPrintable(why));
    // No reply smuggles a line end into the file.
    for (const QString& reply : b.logged) {
        QVERIFY(!reply.contains(QLatin1Char('\n')) && !reply.contains(QLatin1Char('\r')));
    }
    QVERIFY2(cpuSecondsIdle() < kIdleCpuLimit, "the event loop spins");
}

// A megabyte without a terminator: the collected text stays bounded, the
// status line says what was dropped, and Stop still works.
void TestFaultE2E::floodWithoutTerminator() {
    Bench b;
    // The pseudo-terminal keeps no line speed: the meter sends as fast as
    // 4 Mbaud so that the whole megabyte arrives within about three seconds.
    QVERIFY(b.startConnected({"--no-terminator-flood", "1048576", "--baud", "4000000"}));
    Main& w = *b.window;
    qsizetype largest = 0;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, w.window(),
                     [&] { largest = std::max(largest, MainState(w).runBuffer.size()); });
    sampler.start(5);
    // Stop once the first megabyte has had time to arrive.
    QString statusBeforeStop;
    QTimer::singleShot(4000, w.window(), [&] {
        statusBeforeStop = lineEdit(w, "StatusBox")->text();
        button(w, "StopBtn")->click();
    });
    QTimer stopper;
    QObject::connect(&stopper, &QTimer::timeout, w.window(), [&] {
        if (lineEdit(w, "StatusBox")->text().startsWith(QStringLiteral("Dropped"))) {
            stopper.stop();
            button(w, "StopBtn")->click();
        }
    });

    b.run();
    sampler.stop();
    QCOMPARE(MainState(w).running_cnt, qint16(0));
    QCOMPARE(b.shown, 0);
    QVERIFY2(largest <= 64 * 1024, qPrintable(QString::number(largest)));
    QVERIFY2(statusBeforeStop.startsWith(QStringLiteral("Dropped")), qPrintable(statusBeforeStop));
    QVERIFY(w.isEnabled() && button(w, "Run")->isEnabled());
    b.sim.stop();
    QTRY_COMPARE_WITH_TIMEOUT(lamp(w, "PortOpenStat")->fillColor(), vx::shell::kLampRed, 3000);
    QVERIFY2(cpuSecondsIdle() < kIdleCpuLimit, "the event loop spins");
}

void TestFaultE2E::otherTerminator_data() {
    QTest::addColumn<QString>("meter");
    QTest::addColumn<int>("termIndex");
    QTest::addColumn<bool>("connects");
    QTest::newRow("meter CR, program LF") << "CR" << 1 << false;
    QTest::newRow("meter LF, program CR") << "LF" << 0 << false;
    QTest::newRow("meter CR LF, program LF") << "CRLF" << 1 << true;
    QTest::newRow("meter CR LF, program CR") << "CRLF" << 0 << true;
}

// The meter ends its replies with another terminator than the program
// expects. Where no reply can complete, Connect says so; where one does, each
// reading is shown once and logged as one clean line.
void TestFaultE2E::otherTerminator() {
    QFETCH(QString, meter);
    QFETCH(int, termIndex);
    QFETCH(bool, connects);
    Bench b;
    // The meter takes commands with the program's terminator and answers with its own.
    QVERIFY(b.start({"--term", termIndex == 0 ? "CR" : "LF", "--reply-term", meter}));
    Main& w = *b.window;
    combo(w, "TermChar")->setCurrentIndex(termIndex);
    button(w, "ConnectBtn")->click();
    QVERIFY(w.isEnabled());
    QCOMPARE(QApplication::overrideCursor(), nullptr);
    if (!connects) {
        QCOMPARE(lineEdit(w, "StatusBox")->text(),
                 QStringLiteral("Reply from instrument has no termination character: check "
                                "baud rate and termination character"));
        QCOMPARE(lamp(w, "PortOpenStat")->fillColor(), vx::shell::kLampGreen);
        QVERIFY(!combo(w, "FuncBox")->isEnabled());
        QVERIFY2(cpuSecondsIdle() < kIdleCpuLimit, "the event loop spins");
        return;
    }
    QVERIFY2(lineEdit(w, "InstrID")->text().startsWith(QStringLiteral("Velmora,VX480,")),
             qPrintable(lineEdit(w, "InstrID")->text()));

    combo(w, "FuncBox")->setCurrentIndex(int(combo(w, "FuncBox")->entries().indexOf("DC VOLTAGE")));
    button(w, "SetFunc")->click();
    b.onReading = [&](int n) {
        if (n == 1) {
            b.startLog(b.logPath());
        } else if (n == 4) {
            button(w, "StopBtn")->click();
        }
    };
    b.run();
    QVERIFY(b.shown >= 4);
    QCOMPARE(b.logged.size(), 3);
    // The meter's CR LF against the program's LF: exactly one character is
    // dropped, so each reading keeps its CR, and nothing else is added.
    if (meter == QLatin1String("CRLF") && termIndex == 1) {
        for (const QString& reply : b.logged) {
            QVERIFY2(reply.endsWith(QLatin1Char('\r')) && reply.count(QLatin1Char('\r')) == 1 &&
                         !reply.contains(QLatin1Char('\n')),
                     qPrintable(reply));
        }
    }
    QString why;
    QVERIFY2(b.logHoldsEveryLine(why), qPrintable(why));
    QVERIFY2(cpuSecondsIdle() < kIdleCpuLimit, "the event loop spins");
}

// Logging onto a full disk during a real run: the operator is told, no
// logging state is left behind, and the readings go on until Stop.
void TestFaultE2E::logOnFullDisk() {
    Bench b;
    QVERIFY(b.startConnected());
    Main& w = *b.window;
    QString statusAfterStart;
    b.onReading = [&](int n) {
        if (n == 1) {
            b.startLog(QStringLiteral("/dev/full"));
            statusAfterStart = lineEdit(w, "StatusBox")->text();
        } else if (n == 3) {
            button(w, "StopBtn")->click();
        }
    };
    b.run();
    QCOMPARE(b.shown, 3);
    QCOMPARE(b.logged.size(), 0);
    QCOMPARE(statusAfterStart,
             QStringLiteral("Logging not started: /dev/full: No space left on device"));
    QCOMPARE(b.dialogs.messages.size(), 1);
    QVERIFY(b.dialogs.messages[0].text.contains(QStringLiteral("No space left on device")));
    QCOMPARE(MainState(w).datalog_start, qint16(0));
    QVERIFY(button(w, "Run")->isEnabled());
    QVERIFY2(cpuSecondsIdle() < kIdleCpuLimit, "the event loop spins");
}

// Connected, closed, then another program takes the device before the next
// Connect: "Connection Error", and the port is usable again once it is free.
void TestFaultE2E::portTakenBetweenConnects() {
    Bench b;
    QVERIFY(b.startConnected());
    Main& w = *b.window;
    button(w, "Close")->click();
    QCOMPARE(lamp(w, "PortOpenStat")->fillColor(), vx::shell::kLampRed);
    QSerialPort other(QFileInfo(b.sim.devicePath()).canonicalFilePath());
    QVERIFY(other.open(QIODevice::ReadWrite));
    button(w, "ConnectBtn")->click();
    QCOMPARE(b.dialogs.messages.size(), 1);
    QCOMPARE(b.dialogs.messages[0].title, QStringLiteral("Connection Error"));
    QCOMPARE(lamp(w, "PortOpenStat")->fillColor(), vx::shell::kLampRed);
    QVERIFY(w.isEnabled() && button(w, "ConnectBtn")->isEnabled());
    QVERIFY(!combo(w, "FuncBox")->isEnabled());
    QVERIFY2(cpuSecondsIdle() < kIdleCpuLimit, "the event loop spins");
    other.close();
    button(w, "ConnectBtn")->click();
    QCOMPARE(lamp(w, "PortOpenStat")->fillColor(), vx::shell::kLampGreen);
    QCOMPARE(lineEdit(w, "StatusBox")->text(), QStringLiteral("Ready"));
    QCOMPARE(b.dialogs.messages.size(), 1);
}

enum class State { Connected, Running, Logging, BusyConnecting, BusySingleRead };

void TestFaultE2E::exitInEveryState_data() {
    QTest::addColumn<State>("state");
    QTest::addColumn<bool>("byClose");
    const std::pair<const char*, State> states[] = {
        {"connected", State::Connected},
        {"running", State::Running},
        {"logging", State::Logging},
        {"busy in Connect's wait", State::BusyConnecting},
        {"busy in Single Read's wait", State::BusySingleRead},
    };
    for (const auto& [name, state] : states) {
        // While Connect waits the whole window is disabled: only closing it
        // can end the program then.
        if (state != State::BusyConnecting) {
            QTest::addRow("%s, Exit", name) << state << false;
        }
        QTest::addRow("%s, window closed", name) << state << true;
    }
}

// Exit, or closing the window, in each state: every handler on the stack
// returns at once, the port is closed, the log holds every line, and the
// process sits idle afterwards.
void TestFaultE2E::exitInEveryState() {
    QFETCH(State, state);
    QFETCH(bool, byClose);
    Bench b;
    QVERIFY(b.start({}));
    Main& w = *b.window;
    w.show();
    const auto leave = [&] {
        if (byClose) {
            w.close();
        } else {
            button(w, "Exit")->click();
        }
    };
    bool left = false;
    bool exitEnabledWhileBusy = true;
    const auto leaveSoon = [&] {
        QTimer::singleShot(50, &w, [&] {
            exitEnabledWhileBusy = button(w, "Exit")->isEnabled() && w.isEnabled();
            left = true;
            leave();
        });
    };
    QElapsedTimer elapsed;
    switch (state) {
        case State::Connected:
            QVERIFY(b.connectAndSet());
            leave();
            left = true;
            break;
        case State::Running:
            QVERIFY(b.connectAndSet());
            b.onReading = [&](int n) {
                if (n == 2) {
                    left = true;
                    leave();
                }
            };
            elapsed.start();
            b.run();
            break;
        case State::Logging:
            QVERIFY(b.connectAndSet());
            b.onReading = [&](int n) {
                if (n == 1) {
                    b.startLog(b.logPath());
                } else if (n == 4) {
                    left = true;
                    leave();
                }
            };
            elapsed.start();
            b.run();
            break;
        case State::BusyConnecting:
            leaveSoon();
            elapsed.start();
            button(w, "ConnectBtn")->click();
            // Returned well before Connect's two seconds (200 ms here) were up.
            QVERIFY2(elapsed.elapsed() < 180, qPrintable(QString::number(elapsed.elapsed())));
            QVERIFY(!exitEnabledWhileBusy);
            break;
        case State::BusySingleRead:
            QVERIFY(b.connectAndSet());
            // Single Read waits out its two seconds whether or not the reply came.
            leaveSoon();
            elapsed.start();
            button(w, "SingleRead")->click();
            QVERIFY2(elapsed.elapsed() < 180, qPrintable(QString::number(elapsed.elapsed())));
            break;
    }
    QVERIFY(left);
    QVERIFY(MainState(w).isEnding());
    QVERIFY(!w.isVisible());
    QVERIFY(!child<vx::link::SerialLink>(w, "MSComm1")->isOpen());
    QCOMPARE(QApplication::overrideCursor(), nullptr);
    // Never carry a leftover hourglass into the next case.
    while (QApplication::overrideCursor() != nullptr) {
        QApplication::restoreOverrideCursor();
    }
    if (state == State::Logging) {
        QCOMPARE(b.logged.size(), 3);
        QString why;
        QVERIFY2(b.logHoldsEveryLine(why), qPrintable(why));
    }
    // Nothing goes out after the end: the last thing the meter heard was
    // a whole line.
    const QByteArray heard = b.sim.recorded();
    QVERIFY(heard.isEmpty() || heard.endsWith('\n'));
    QVERIFY2(cpuSecondsIdle() < kIdleCpuLimit, "the event loop spins after Exit");
}

QTEST_MAIN(TestFaultE2E)
#include "tst_fault_e2e.moc"
