// The connection handlers against the meter simulator on a real
// pseudo-terminal, through the real serial port layer.

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QSerialPort>
#include <QTest>

#include "forms/Main/Main.h"
#include "link/SerialLink.h"
#include "shell/PromptComboBox.h"
#include "shell/StatusLamp.h"
#include "support/MainState.h"
#include "support/SimBench.h"

using Bench = SimBench;

class TestConnectE2E : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void identifies_data();
    void identifies();
    void silentMeterEndsIdle();
    void portHeldElsewhereIs8005();
    void cablePulledWhileOpen();
    void hangUpDuringConnect();
    void closeAndReconnect();
};

void TestConnectE2E::identifies_data() {
    QTest::addColumn<QString>("term");
    QTest::addColumn<int>("termIndex");
    QTest::addColumn<QByteArray>("query");
    QTest::newRow("LF") << "LF" << 1 << QByteArray("*IDN?\n");
    QTest::newRow("CR") << "CR" << 0 << QByteArray("*IDN?\r");
}

void TestConnectE2E::identifies() {
    QFETCH(QString, term);
    QFETCH(int, termIndex);
    QFETCH(QByteArray, query);
    Bench b;
    QVERIFY(b.start({"--term", term, "--model", "VX260"}));
    combo(*b.window, "TermChar")->setCurrentIndex(termIndex);
    button(*b.window, "ConnectBtn")->click();
    QVERIFY2(lineEdit(*b.window, "InstrID")->text().startsWith(QStringLiteral("Velmora,VX260,")),
             qPrintable(lineEdit(*b.window, "InstrID")->text()));
    QCOMPARE(lineEdit(*b.window, "InstrID")->text().count(QLatin1Char(',')), 3);
    QCOMPARE(lamp(*b.window, "PortOpenStat")->fillColor(), vx::shell::kLampGreen);
    QCOMPARE(lineEdit(*b.window, "StatusBox")->text(), QStringLiteral("Ready"));
    QVERIFY(combo(*b.window, "FuncBox")->isEnabled());
    QVERIFY(b.window->isEnabled());
    QCOMPARE(b.sim.recorded(), query);
    QVERIFY(b.dialogs.messages.isEmpty());
}

void TestConnectE2E::silentMeterEndsIdle() {
    Bench b;
    QVERIFY(b.start({"--silent"}));
    button(*b.window, "ConnectBtn")->click();
    QCOMPARE(lineEdit(*b.window, "StatusBox")->text(),
             QStringLiteral("No reply from instrument: check baud rate and termination character"));
    QCOMPARE(lineEdit(*b.window, "InstrID")->text(), QStringLiteral("Connecting...please wait..."));
    QVERIFY(b.window->isEnabled());
    QCOMPARE(QApplication::overrideCursor(), nullptr);
    QVERIFY(!combo(*b.window, "FuncBox")->isEnabled());
}

void TestConnectE2E::portHeldElsewhereIs8005() {
    Bench b;
    QVERIFY(b.start({}));
    // Another program holds the device, reached by its canonical path.
    QSerialPort other(QFileInfo(b.sim.devicePath()).canonicalFilePath());
    QVERIFY(other.open(QIODevice::ReadWrite));
    button(*b.window, "ConnectBtn")->click();
    QCOMPARE(b.dialogs.messages.size(), 1);
    QCOMPARE(b.dialogs.messages[0].title, QStringLiteral("Connection Error"));
    QVERIFY(b.dialogs.messages[0].text.startsWith(
        QStringLiteral("The selected COM port is currently in use")));
    QCOMPARE(lamp(*b.window, "PortOpenStat")->fillColor(), vx::shell::kLampRed);
    other.close();
    button(*b.window, "ConnectBtn")->click();
    QCOMPARE(lamp(*b.window, "PortOpenStat")->fillColor(), vx::shell::kLampGreen);
    QCOMPARE(b.dialogs.messages.size(), 1);
}

void TestConnectE2E::cablePulledWhileOpen() {
    Bench b;
    QVERIFY(b.start({}));
    button(*b.window, "ConnectBtn")->click();
    QCOMPARE(lamp(*b.window, "PortOpenStat")->fillColor(), vx::shell::kLampGreen);
    // Connected and idle: the window sleeps in the event loop.
    QVERIFY2(cpuSecondsIdle(300) < 0.05, "idle window uses CPU");
    b.sim.stop();
    QTRY_COMPARE_WITH_TIMEOUT(lamp(*b.window, "PortOpenStat")->fillColor(), vx::shell::kLampRed,
                              3000);
    QVERIFY(!child<vx::link::SerialLink>(*b.window, "MSComm1")->isOpen());
    QVERIFY(
        lineEdit(*b.window, "StatusBox")->text().startsWith(QStringLiteral("Connection lost:")));
    // Nothing keeps raising events once the port is closed.
    QVERIFY2(cpuSecondsIdle(300) < 0.05, "events keep spinning after the hang-up");
}

void TestConnectE2E::hangUpDuringConnect() {
    Bench b;
    QVERIFY(b.start({"--silent", "--hangup-after", "1"}));
    button(*b.window, "ConnectBtn")->click();
    QVERIFY(b.window->isEnabled());
    QCOMPARE(QApplication::overrideCursor(), nullptr);
    QCOMPARE(lamp(*b.window, "PortOpenStat")->fillColor(), vx::shell::kLampRed);
    QVERIFY2(lineEdit(*b.window, "StatusBox")->text().startsWith(QStringLiteral("Connection lost")),
             qPrintable(lineEdit(*b.window, "StatusBox")->text()));
}

void TestConnectE2E::closeAndReconnect() {
    Bench b;
    QVERIFY(b.start({}));
    button(*b.window, "ConnectBtn")->click();
    button(*b.window, "Close")->click();
    QCOMPARE(lamp(*b.window, "PortOpenStat")->fillColor(), vx::shell::kLampRed);
    QCOMPARE(lineEdit(*b.window, "InstrID")->text(), QStringLiteral("No Instrument Connected"));
    button(*b.window, "ConnectBtn")->click();
    QCOMPARE(lamp(*b.window, "PortOpenStat")->fillColor(), vx::shell::kLampGreen);
    QVERIFY(lineEdit(*b.window, "InstrID")->text().startsWith(QStringLiteral("Velmora,")));
    QCOMPARE(b.sim.recorded(), QByteArray("*IDN?\n*IDN?\n"));
}

QTEST_MAIN(TestConnectE2E)
#include "tst_connect_e2e.moc"
