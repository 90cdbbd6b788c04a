// A whole configuration session against the meter simulator on a real
// pseudo-terminal, through the real serial port layer: what the meter
// receives is exactly the command lines the buttons stand for.
#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <memory>

#include "forms/Main/Main.h"
#include "link/SerialLink.h"
#include "shell/PromptComboBox.h"
#include "shell/StatusLamp.h"
#include "support/MainState.h"
#include "support/SimBench.h"

using vx::forms::Main;

// The program's waits (2 s connect, 0.5 s secondary switch, 10 s reset) run
// ten times faster than the wall clock; the meter sits on COM4.
struct Bench : SimBench {
    Bench() : SimBench(4) {}
};

class TestConfigE2E : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void session_data();
    void session();
};

void TestConfigE2E::session_data() {
    QTest::addColumn<QString>("term");
    QTest::addColumn<int>("termIndex");
    QTest::newRow("LF") << "LF" << 1;
    QTest::newRow("CR") << "CR" << 0;
}

void TestConfigE2E::session() {
    QFETCH(QString, term);
    QFETCH(int, termIndex);
    Bench b;
    QVERIFY(b.start({"--term", term}));
    Main& w = *b.window;
    combo(w, "TermChar")->setCurrentIndex(termIndex);
    button(w, "ConnectBtn")->click();
    QCOMPARE(lineEdit(w, "StatusBox")->text(), QStringLiteral("Ready"));

    combo(w, "FuncBox")->setCurrentIndex(8);  // DC VOLTAGE
    button(w, "SetFunc")->click();
    combo(w, "RangeType")->setCurrentIndex(0);  // MANUAL
    button(w, "SetRangeType")->click();
    combo(w, "Range")->setCurrentIndex(4);  // 1000 V
    button(w, "SetRange")->click();
    combo(w, "Rate")->setCurrentIndex(2);  // FAST
    button(w, "SetRate")->click();
    combo(w, "Trigger")->setCurrentIndex(0);  // BUS
    button(w, "SetTrig")->click();
    button(w, "SendTrig")->click();
    combo(w, "Display")->setCurrentIndex(0);  // DISABLED
    button(w, "SetDisp")->click();
    button(w, "Hold")->click();
    button(w, "FuncBoxTwoStateOn")->click();
    combo(w, "FuncBoxTwo")->setCurrentIndex(3);  // FREQUENCY
    button(w, "SetFuncTwo")->click();
    button(w, "FuncBoxTwoStateOff")->click();
    button(w, "RefStateOn")->click();
    combo(w, "RefMethod")->setCurrentIndex(1);  // Custom
    button(w, "SetRefMethod")->click();
    lineEdit(w, "Ref")->setText(QStringLiteral("2000"));
    button(w, "SetRef")->click();
    button(w, "Reset")->click();

    const QByteArray t = termIndex == 0 ? "\r" : "\n";
    const QByteArray expected =
        "*IDN?" + t + ":FUNC VOLT:DC" + t + "VOLT:DC:RANG:AUTO OFF" + t + "VOLT:DC:RANG 1000" + t +
        ":VOLT:DC:NPLC 0.1" + t + ":TRIG:SOUR BUS" + t + "*TRG" + t + "DISP:ENAB OFF" + t +
        "HOLD:STATE ON" + t + ":FUNC2:STAT 1" + t + ":FUNC2 FREQ" + t + ":FUNC2:STAT 0" + t +
        "VOLT:DC:REF:STAT ON" + t + "VOLT:DC:REF 1010" + t + "*RST" + t;
    QTRY_COMPARE_WITH_TIMEOUT(b.sim.recorded(), expected, 3000);

    QCOMPARE(lineEdit(w, "StatusBox")->text(), QStringLiteral("Ready"));
    QVERIFY(w.isEnabled());
    QCOMPARE(QApplication::overrideCursor(), nullptr);
    QCOMPARE(lineEdit(w, "Ref")->text(), QStringLiteral("1010"));
    QCOMPARE(lamp(w, "HoldStat")->fillColor(), vx::shell::kLampGreen);
    QCOMPARE(lamp(w, "RefStat")->fillColor(), vx::shell::kLampGreen);
    QCOMPARE(lamp(w, "FuncTwoStat")->fillColor(), vx::shell::kLampRed);
    QCOMPARE(MainState(w).secondfunc_selection, QStringLiteral("Frequency(Hz)"));
    QVERIFY(child<vx::link::SerialLink>(w, "MSComm1")->isOpen());
    QVERIFY(b.dialogs.messages.isEmpty());
}

QTEST_MAIN(TestConfigE2E)
#include "tst_config_e2e.moc"
