// Enabled states, lamps and state variables through sequences of clicks:
// the order in which a primary Set changes the controls, the secondary
// display switch and the reset with their waits on the fake clock, what
// survives Close Port and the reset, and writes that fail.
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "ConfigHelpers.h"
#include "forms/Main/Main.h"
#include "shell/PromptComboBox.h"
#include "shell/StatusLamp.h"
#include "support/DataRows.h"
#include "support/MainHarness.h"
#include "support/MainState.h"

using vx::forms::Main;

namespace {
// What Run disables and enables when continuous reading starts.
const QStringList kRunDisables{"SingleRead", "Send",    "Reset",   "Run",     "SetRate",
                               "Rate",       "Trigger", "SetTrig", "SendTrig"};

bool windowBusy(const Main& w) {
    return !w.isEnabled() && QApplication::overrideCursor() != nullptr &&
           QApplication::overrideCursor()->shape() == Qt::WaitCursor;
}
}  // namespace

class TestConfigStates : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void primarySetOrder_data();
    void primarySetOrder();
    void secondarySwitch_data();
    void secondarySwitch();
    void secondarySetEnablesRun();
    void secondarySetOrder_data();
    void secondarySetOrder();
    void secondaryDuringRun_data();
    void secondaryDuringRun();
    void resetInstrument();
    void resetOrder();
    void resetFailsBeforeAnythingChanges();
    void lampsSurviveCloseAndReset_data();
    void lampsSurviveCloseAndReset();
    void functionAndHeadersSurvive_data();
    void functionAndHeadersSurvive();
    void primarySetDuringRun();
    void primarySetInsideRunLoop();
    void failedWrites_data();
    void failedWrites();
    void trappedFailures_data();
    void trappedFailures();
};

void TestConfigStates::primarySetOrder_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<QStringList>("events");
    const QStringList head{"+Trigger",
                           "+SetTrig",
                           "+Display",
                           "+SetDisp",
                           "+Hold",
                           "+FuncBoxTwoStateOn",
                           "+FuncBoxTwoStateOff",
                           "+Run",
                           "+SingleRead",
                           "+SaveData",
                           "+EndLog"};
    const QStringList tail{"+RefStateOn", "+RefStateOff"};
    const QStringList rate{"+Rate", "+SetRate"};
    // From the state right after Connect: only changes are recorded.
    QTest::newRow("CONTINUITY") << int(kContinuity)
                                << head +
                                       QStringList{"-FuncBoxTwoStateOn", "-FuncBoxTwoStateOff",
                                                   "wire::FUNC CONT\n"} +
                                       tail + rate;
    QTest::newRow("FREQUENCY") << int(kFrequency)
                               << head + QStringList{"+Range", "+SetRange", "wire::FUNC FREQ\n"} +
                                      tail + rate;
    QTest::newRow("2W RESISTANCE")
        << int(kResistance)
        << head +
               QStringList{"-FuncBoxTwoStateOn", "-FuncBoxTwoStateOff", "+RangeType",
                           "+SetRangeType", "wire::FUNC RES\n"} +
               tail + rate;
    QTest::newRow("DC VOLTAGE") << int(kDcVoltage)
                                << head +
                                       QStringList{"+RangeType", "+SetRangeType",
                                                   "wire::FUNC VOLT:DC\n"} +
                                       tail + rate;
}

void TestConfigStates::primarySetOrder() {
    QFETCH(int, index);
    QFETCH(QStringList, events);
    MainHarness h;
    QVERIFY(h.connect());
    EnableRecorder rec(h, kConfigControls);
    setFunction(h, index);
    QCOMPARE(rec.take(), events);
}

void TestConfigStates::secondarySwitch_data() {
    addSwitch("on", {.whenTrue = "ON", .whenFalse = "OFF"});
}

void TestConfigStates::secondarySwitch() {
    QFETCH(bool, on);
    MainHarness h;
    QVERIFY(connectWithFunction(h, kDcVoltage));
    Main& w = h.w();
    if (!on) {
        button(w, "FuncBoxTwoStateOn")->click();
        combo(w, "FuncBoxTwo")->setCurrentIndex(0);
        button(w, "SetFuncTwo")->click();
        lineEdit(w, "SecondaryDisplay")->setText(QStringLiteral("1.234E-3"));
        h.takeWire();
    }
    const int lampBefore = lamp(w, "FuncTwoStat")->fillColor();
    const bool runBefore = button(w, "Run")->isEnabled();
    h.clock.waitedMs = 0;
    int busyPasses = 0;
    int passes = 0;
    h.clock.onWait = [&](qint64) {
        ++passes;
        // During the pause: the command is out, the window busy, the lamp
        // and the controls not yet changed.
        if (windowBusy(w) && h.port()->written == (on ? ":FUNC2:STAT 1\n" : ":FUNC2:STAT 0\n") &&
            lamp(w, "FuncTwoStat")->fillColor() == lampBefore &&
            ownEnabled(w, "Run") == runBefore) {
            ++busyPasses;
        }
    };
    (on ? button(w, "FuncBoxTwoStateOn") : button(w, "FuncBoxTwoStateOff"))->click();
    h.clock.onWait = nullptr;

    QCOMPARE(h.clock.waitedMs, 500);
    QVERIFY(passes > 0);
    QCOMPARE(busyPasses, passes);
    QVERIFY(!windowBusy(w));
    QVERIFY(w.isEnabled());
    QCOMPARE(QApplication::overrideCursor(), nullptr);
    QCOMPARE(h.takeWire(), on ? QByteArray(":FUNC2:STAT 1\n") : QByteArray(":FUNC2:STAT 0\n"));
    QCOMPARE(lamp(w, "FuncTwoStat")->fillColor(), on ? vx::shell::kLampGreen : vx::shell::kLampRed);
    QCOMPARE(combo(w, "FuncBoxTwo")->isEnabled(), on);
    QCOMPARE(button(w, "SetFuncTwo")->isEnabled(), on);
    QCOMPARE(button(w, "Run")->isEnabled(), !on);
    if (!on) {
        QCOMPARE(lineEdit(w, "SecondaryDisplay")->text(), QString());
        QCOMPARE(lineEdit(w, "SecondaryUnit")->text(), QString());
        QCOMPARE(MainState(w).secondfunc_selection, QStringLiteral("AC Voltage(V)"));
    }
}

void TestConfigStates::secondarySetEnablesRun() {
    MainHarness h;
    QVERIFY(connectWithFunction(h, kDcVoltage));
    Main& w = h.w();
    button(w, "FuncBoxTwoStateOn")->click();
    QVERIFY(!button(w, "Run")->isEnabled());
    combo(w, "FuncBoxTwo")->setCurrentIndex(1);
    button(w, "SetFuncTwo")->click();
    QVERIFY(button(w, "Run")->isEnabled());
    QCOMPARE(h.takeWire(), QByteArray(":FUNC2:STAT 1\n:FUNC2 dBm\n"));
    QCOMPARE(lineEdit(w, "SecondaryUnit")->text(), QStringLiteral("dBm"));
    // A new primary function keeps the lamp green and empties the unit.
    setFunction(h, kAcCurrent);
    QCOMPARE(lamp(w, "FuncTwoStat")->fillColor(), vx::shell::kLampGreen);
    QCOMPARE(lineEdit(w, "SecondaryUnit")->text(), QString());
    QVERIFY(combo(w, "FuncBoxTwo")->isEnabled());
    QCOMPARE(combo(w, "FuncBoxTwo")->entries(), (QStringList{"DC CURRENT", "FREQUENCY"}));
}

void TestConfigStates::secondarySetOrder_data() {
    QTest::addColumn<bool>("writeFails");
    QTest::addColumn<QStringList>("events");
    QTest::newRow("sent") << false
                          << QStringList{"+Run", "wire::FUNC2 VOLT:AC\n", "SecondaryUnit=VAC"};
    QTest::newRow("write fails")
        << true
        << QStringList{"+Run",
                       "StatusBox=Command \":FUNC2 VOLT:AC\" not sent: the device refused the "
                       "bytes: simulated write failure"};
}

void TestConfigStates::secondarySetOrder() {
    QFETCH(bool, writeFails);
    QFETCH(QStringList, events);
    MainHarness h;
    QVERIFY(connectWithFunction(h, kDcVoltage));
    Main& w = h.w();
    button(w, "FuncBoxTwoStateOn")->click();
    combo(w, "FuncBoxTwo")->setCurrentIndex(0);
    h.port()->failWrites = writeFails;
    EnableRecorder rec(h, {"Run", "SecondaryUnit", "StatusBox"});
    button(w, "SetFuncTwo")->click();
    QCOMPARE(rec.take(), events);
}

// The three secondary-display buttons stay usable while readings run; what
// each does to Run then.
void TestConfigStates::secondaryDuringRun_data() {
    QTest::addColumn<QString>("pressed");
    QTest::addColumn<QStringList>("events");
    const QStringList head{"+StopBtn", "-Run", "wire:FETC?\n"};
    const QStringList tail{"wait:1000", "wire:FETC?\n"};
    QTest::newRow("ON") << "FuncBoxTwoStateOn"
                        << head + QStringList{"busy",        "wire::FUNC2:STAT 1\n",
                                              "wait:500",    "FuncTwoStat=green",
                                              "+FuncBoxTwo", "+SetFuncTwo",
                                              "idle"} +
                               tail + QStringList{"+Run", "wait:1000"};
    QTest::newRow("OFF") << "FuncBoxTwoStateOff"
                         << head + QStringList{"busy",        "wire::FUNC2:STAT 0\n",
                                               "wait:500",    "FuncTwoStat=red",
                                               "-FuncBoxTwo", "-SetFuncTwo",
                                               "+Run",        "idle"} +
                                tail + QStringList{"wait:1000"};
    QTest::newRow("Set") << "SetFuncTwo"
                         << head + QStringList{"+Run", "wire::FUNC2 VOLT:AC\n"} + tail +
                                QStringList{"wait:1000"};
}

void TestConfigStates::secondaryDuringRun() {
    QFETCH(QString, pressed);
    QFETCH(QStringList, events);
    MainHarness h;
    QVERIFY(connectWithFunction(h, kDcVoltage));
    Main& w = h.w();
    if (pressed != QStringLiteral("FuncBoxTwoStateOn")) {
        button(w, "FuncBoxTwoStateOn")->click();
        combo(w, "FuncBoxTwo")->setCurrentIndex(0);
        button(w, "SetFuncTwo")->click();
    }
    h.takeWire();
    EnableRecorder rec(h, {"Run", "StopBtn", "FuncTwoStat", "FuncBoxTwo", "SetFuncTwo"});
    // Run's first pass presses the button, its second Stop; the button's own
    // pause runs with the window busy.
    int runPasses = 0;
    int passes = 0;
    h.clock.onWait = [&](qint64) {
        if (++passes > 20) {
            MainState(w).running_cnt = 0;  // Stop did not take: end the loop, the test fails
        }
        if (windowBusy(w)) {
            return;
        }
        if (runPasses++ == 0) {
            button(w, pressed)->click();
        } else {
            button(w, "StopBtn")->click();
        }
    };
    button(w, "Run")->click();
    h.clock.onWait = nullptr;
    QCOMPARE(rec.take(), events);
}

void TestConfigStates::resetInstrument() {
    MainHarness h;
    QVERIFY(connectWithFunction(h, kDcVoltage));
    Main& w = h.w();
    combo(w, "RangeType")->setCurrentIndex(0);
    button(w, "SetRangeType")->click();
    combo(w, "Range")->setCurrentIndex(3);
    lineEdit(w, "Ref")->setText(QStringLiteral("12.5"));
    lineEdit(w, "PrimaryDisplay")->setText(QStringLiteral("+1.00E+00"));
    lineEdit(w, "SecondaryDisplay")->setText(QStringLiteral("+6.00E+01"));
    h.takeWire();
    const QStringList rangeItems = combo(w, "Range")->entries();
    const QStringList secondItems = combo(w, "FuncBoxTwo")->entries();

    h.clock.waitedMs = 0;
    int passes = 0;
    int goodPasses = 0;
    h.clock.onWait = [&](qint64) {
        ++passes;
        if (windowBusy(w) && h.port()->written == "*RST\n" &&
            lineEdit(w, "StatusBox")->text() ==
                QStringLiteral("Resetting Instrument. Please wait..") &&
            lineEdit(w, "PrimaryDisplay")->text().isEmpty() &&
            lineEdit(w, "PrimaryUnit")->text().isEmpty()) {
            ++goodPasses;
        }
    };
    button(w, "Reset")->click();
    h.clock.onWait = nullptr;

    QCOMPARE(h.clock.waitedMs, 10000);
    QVERIFY(passes > 0);
    QCOMPARE(goodPasses, passes);
    QVERIFY(!windowBusy(w));
    QVERIFY(w.isEnabled());
    QCOMPARE(h.takeWire(), QByteArray("*RST\n"));
    QCOMPARE(lineEdit(w, "StatusBox")->text(), QStringLiteral("Ready"));
    // Of the controls the reset touches, only the primary function choice
    // and the reset button itself stay usable.
    QCOMPARE(ownEnabledOf(w, kConfigControls), (QStringList{"FuncBox", "SetFunc", "Reset"}));
    for (QLineEdit* box : {lineEdit(w, "PrimaryDisplay"), lineEdit(w, "SecondaryDisplay"),
                           lineEdit(w, "PrimaryUnit"), lineEdit(w, "SecondaryUnit")}) {
        QCOMPARE(box->text(), QString());
    }
    // Lists, choices and the reference text are the meter's business no more
    // than before: they stay.
    QCOMPARE(combo(w, "Range")->entries(), rangeItems);
    QCOMPARE(combo(w, "Range")->currentIndex(), 3);
    QCOMPARE(combo(w, "FuncBoxTwo")->entries(), secondItems);
    QCOMPARE(combo(w, "RangeType")->currentIndex(), 0);
    QCOMPARE(lineEdit(w, "Ref")->text(), QStringLiteral("12.5"));
    QCOMPARE(lamp(w, "PortOpenStat")->fillColor(), vx::shell::kLampGreen);
    QVERIFY(h.dialogs.messages.isEmpty());

    // A second reset works the same way.
    button(w, "Reset")->click();
    QCOMPARE(h.takeWire(), QByteArray("*RST\n"));
    QCOMPARE(h.clock.waitedMs, 20000);
}

// The reset's changes happen while the window is busy; the recorder places
// them through the window's own record of each switch.
void TestConfigStates::resetOrder() {
    MainHarness h;
    QVERIFY(h.connect());
    Main& w = h.w();
    setAll(w, kConfigControls, true);
    combo(w, "FuncBox")->setEnabled(false);
    button(w, "SetFunc")->setEnabled(false);
    const QStringList boxes{"PrimaryDisplay", "SecondaryDisplay", "PrimaryUnit", "SecondaryUnit"};
    for (const QString& box : boxes) {
        qobject_cast<QLineEdit*>(w.findChild<QWidget*>(box))->setText(QStringLiteral("1"));
    }
    EnableRecorder rec(h, QStringList{"StatusBox"} + kConfigControls + boxes);
    button(w, "Reset")->click();
    QStringList expected{"wire:*RST\n", "StatusBox=Resetting Instrument. Please wait..",
                         "busy",        "+FuncBox",
                         "+SetFunc",    "-Send"};
    for (const QString& name : kMeasurementControls) {
        expected << "-" + name;
    }
    for (const QString& box : boxes) {
        expected << box + "=";
    }
    expected << "wait:10000"
             << "idle"
             << "StatusBox=Ready";
    QCOMPARE(rec.take(), expected);
}

void TestConfigStates::resetFailsBeforeAnythingChanges() {
    MainHarness h;
    QVERIFY(connectWithFunction(h, kDcVoltage));
    Main& w = h.w();
    const QStringList enabled = ownEnabledOf(w, kConfigControls);
    h.port()->failWrites = true;
    h.clock.waitedMs = 0;
    button(w, "Reset")->click();
    QCOMPARE(h.clock.waitedMs, 0);
    QVERIFY(w.isEnabled());
    QCOMPARE(ownEnabledOf(w, kConfigControls), enabled);
    QCOMPARE(lineEdit(w, "PrimaryUnit")->text(), QStringLiteral("VDC"));
    QVERIFY(lineEdit(w, "StatusBox")->text().contains(QStringLiteral("*RST")));
    QVERIFY(h.dialogs.messages.isEmpty());
}

void TestConfigStates::lampsSurviveCloseAndReset_data() {
    addSwitch("viaClose", {.whenTrue = "Close Port", .whenFalse = "Reset Instrument"});
}

void TestConfigStates::lampsSurviveCloseAndReset() {
    QFETCH(bool, viaClose);
    MainHarness h;
    QVERIFY(connectWithFunction(h, kResistance));
    Main& w = h.w();
    button(w, "Hold")->click();
    button(w, "RefStateOn")->click();
    setFunction(h, kDcVoltage);
    button(w, "FuncBoxTwoStateOn")->click();
    h.takeWire();
    QCOMPARE(lamp(w, "HoldStat")->fillColor(), vx::shell::kLampGreen);
    QCOMPARE(lamp(w, "RefStat")->fillColor(), vx::shell::kLampGreen);
    QCOMPARE(lamp(w, "FuncTwoStat")->fillColor(), vx::shell::kLampGreen);

    (viaClose ? button(w, "Close") : button(w, "Reset"))->click();
    QCOMPARE(lamp(w, "HoldStat")->fillColor(), vx::shell::kLampGreen);
    QCOMPARE(lamp(w, "RefStat")->fillColor(), vx::shell::kLampGreen);
    QCOMPARE(lamp(w, "FuncTwoStat")->fillColor(), vx::shell::kLampGreen);
    QVERIFY(!ownEnabled(w, "RefStateOff"));
    QVERIFY(!ownEnabled(w, "Hold"));
    QVERIFY(!ownEnabled(w, "FuncBoxTwoStateOff"));

    if (viaClose) {
        QVERIFY(h.connect());
    }
    setFunction(h, kDcVoltage);
    // The lamp is the hold state: the next press turns hold off.
    button(w, "Hold")->click();
    QCOMPARE(h.takeWire(), QByteArray("HOLD:STATE OFF\n"));
    QCOMPARE(lamp(w, "HoldStat")->fillColor(), vx::shell::kLampRed);
}

void TestConfigStates::functionAndHeadersSurvive_data() {
    addSwitch("viaClose", {.whenTrue = "Close Port", .whenFalse = "Reset Instrument"});
}

void TestConfigStates::functionAndHeadersSurvive() {
    QFETCH(bool, viaClose);
    MainHarness h;
    QVERIFY(connectWithFunction(h, kFrequency));
    Main& w = h.w();
    button(w, "FuncBoxTwoStateOn")->click();
    combo(w, "FuncBoxTwo")->setCurrentIndex(1);
    button(w, "SetFuncTwo")->click();
    h.takeWire();
    QCOMPARE(MainState(w).secondfunc_selection, QStringLiteral("AC Current(A)"));

    (viaClose ? button(w, "Close") : button(w, "Reset"))->click();
    h.takeWire();
    QCOMPARE(MainState(w).func, QStringLiteral("FREQ"));
    QCOMPARE(MainState(w).func_selection, QStringLiteral("Frequency(Hz)"));
    QCOMPARE(MainState(w).secondfunc_selection, QStringLiteral("AC Current(A)"));
    QCOMPARE(lineEdit(w, "PrimaryUnit")->text(), QString());
    QCOMPARE(lineEdit(w, "SecondaryUnit")->text(), QString());

    if (viaClose) {
        QVERIFY(h.connect());
    }
    // Typed text in FuncBox resends the function kept through it all.
    typeInto(combo(w, "FuncBox"), QStringLiteral("x"));
    button(w, "SetFunc")->click();
    QCOMPARE(h.takeWire(), QByteArray(":FUNC FREQ\n"));
}

void TestConfigStates::primarySetDuringRun() {
    MainHarness h;
    QVERIFY(connectWithFunction(h, kDcVoltage));
    Main& w = h.w();
    combo(w, "Trigger")->setCurrentIndex(0);
    button(w, "SetTrig")->click();
    h.takeWire();
    // The state Run leaves while readings run.
    setAll(w, kRunDisables, false);
    button(w, "StopBtn")->setEnabled(true);

    setFunction(h, kAcVoltage);
    QCOMPARE(ownEnabledOf(w, kRunDisables),
             (QStringList{"SingleRead", "Run", "SetRate", "Rate", "Trigger", "SetTrig"}));
    QVERIFY(ownEnabled(w, "StopBtn"));
}

// The same with the reading loop itself: the press is handled inside Run's
// one-second wait and its line goes out between two queries.
void TestConfigStates::primarySetInsideRunLoop() {
    MainHarness h;
    QVERIFY(connectWithFunction(h, kDcVoltage));
    Main& w = h.w();
    bool pressed = false;
    QStringList whileRunning;
    QStringList afterSet;
    h.clock.onWait = [&](qint64) {
        if (MainState(w).running_cnt == 0 || pressed) {
            return;
        }
        pressed = true;
        whileRunning = ownEnabledOf(w, kRunDisables);
        combo(w, "FuncBox")->setCurrentIndex(kAcVoltage);
        button(w, "SetFunc")->click();
        afterSet = ownEnabledOf(w, kRunDisables);
        button(w, "StopBtn")->click();
    };
    button(w, "Run")->click();
    h.clock.onWait = nullptr;
    QVERIFY(pressed);
    QCOMPARE(whileRunning, QStringList());
    QCOMPARE(afterSet, (QStringList{"SingleRead", "Run", "SetRate", "Rate", "Trigger", "SetTrig"}));
    QCOMPARE(h.takeWire(), QByteArray("FETC?\n:FUNC VOLT:AC\n"));
    QCOMPARE(MainState(w).running_cnt, 0);
}

// Handlers without an error report of their own: a failed write stops the
// handler, the status line says what was not sent, no message box, and the
// window is never left busy.
void TestConfigStates::failedWrites_data() {
    QTest::addColumn<QString>("pressed");
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("lampsOn");  // secondary display and reference on before
    QTest::newRow("SetFunc") << "SetFunc"
                             << ":FUNC VOLT:AC" << true;
    QTest::newRow("ON") << "FuncBoxTwoStateOn"
                        << ":FUNC2:STAT 1" << false;
    QTest::newRow("OFF") << "FuncBoxTwoStateOff"
                         << ":FUNC2:STAT 0" << true;
    QTest::newRow("SetFuncTwo") << "SetFuncTwo"
                                << ":FUNC2 dB" << true;
    QTest::newRow("SendTrig") << "SendTrig"
                              << "*TRG" << true;
    QTest::newRow("SetDisp") << "SetDisp"
                             << "DISP:ENAB ON" << true;
    QTest::newRow("RefStateOn") << "RefStateOn"
                                << "VOLT:DC:REF:STAT ON" << false;
    QTest::newRow("RefStateOff") << "RefStateOff"
                                 << "VOLT:DC:REF:STAT OFF" << true;
}

void TestConfigStates::failedWrites() {
    QFETCH(QString, pressed);
    QFETCH(QString, command);
    QFETCH(bool, lampsOn);
    MainHarness h;
    QVERIFY(connectWithFunction(h, kDcVoltage));
    Main& w = h.w();
    if (lampsOn) {
        button(w, "FuncBoxTwoStateOn")->click();
        button(w, "RefStateOn")->click();
    }
    h.takeWire();
    combo(w, "FuncBox")->setCurrentIndex(kAcVoltage);
    combo(w, "FuncBoxTwo")->setCurrentIndex(2);
    setAll(w, kConfigControls, true);
    const QString secondaryBefore = lineEdit(w, "SecondaryUnit")->text();
    const int lampColor = lampsOn ? vx::shell::kLampGreen : vx::shell::kLampRed;

    h.port()->failWrites = true;
    h.clock.waitedMs = 0;
    button(w, pressed)->click();

    QVERIFY2(lineEdit(w, "StatusBox")->text().contains(command),
             qPrintable(lineEdit(w, "StatusBox")->text()));
    QVERIFY(h.dialogs.messages.isEmpty());
    QVERIFY(w.isEnabled());
    QCOMPARE(QApplication::overrideCursor(), nullptr);
    QCOMPARE(h.clock.waitedMs, 0);
    // Nothing claims the command went out.
    QCOMPARE(lamp(w, "FuncTwoStat")->fillColor(), lampColor);
    QCOMPARE(lamp(w, "RefStat")->fillColor(), lampColor);
    QCOMPARE(lineEdit(w, "SecondaryUnit")->text(), secondaryBefore);

    // The window goes on working once the port does.
    h.port()->failWrites = false;
    button(w, "SendTrig")->click();
    QCOMPARE(h.takeWire(), QByteArray("*TRG\n"));
}

// Handlers that trap failures hand the error to the connection error report,
// which stays silent for a refused write; the status line says why.
void TestConfigStates::trappedFailures_data() {
    QTest::addColumn<QString>("pressed");
    QTest::addColumn<QString>("command");
    QTest::newRow("SetRange") << "SetRange"
                              << "VOLT:DC:RANG 20";
    QTest::newRow("SetRangeType") << "SetRangeType"
                                  << "VOLT:DC:RANG:AUTO OFF";
    QTest::newRow("SetRate") << "SetRate"
                             << ":VOLT:DC:NPLC 0.1";
    QTest::newRow("SetTrig") << "SetTrig"
                             << ":TRIG:SOUR BUS";
    QTest::newRow("Hold") << "Hold"
                          << "HOLD:STATE ON";
    QTest::newRow("AcqRef") << "AcqRef"
                            << "VOLT:DC:REF:ACQ";
    QTest::newRow("SetRef") << "SetRef"
                            << "VOLT:DC:REF 5";
}

void TestConfigStates::trappedFailures() {
    QFETCH(QString, pressed);
    QFETCH(QString, command);
    MainHarness h;
    QVERIFY(connectWithConfig(
        h, {.range = 2, .rangeType = 0, .rate = 2, .trigger = 0, .ref = QStringLiteral("5")}));
    Main& w = h.w();
    combo(w, "Range")->setEnabled(false);
    button(w, "SetRange")->setEnabled(pressed == "SetRange");
    button(w, "SendTrig")->setEnabled(false);
    h.port()->failWrites = true;

    button(w, pressed)->click();
    QVERIFY2(lineEdit(w, "StatusBox")->text().contains(command),
             qPrintable(lineEdit(w, "StatusBox")->text()));
    QVERIFY(h.dialogs.messages.isEmpty());
    QCOMPARE(lamp(w, "HoldStat")->fillColor(), vx::shell::kLampRed);
    // Changes made before the write stay.
    if (pressed == "SetRangeType") {
        QVERIFY(combo(w, "Range")->isEnabled());
    }
    if (pressed == "SetTrig") {
        QVERIFY(button(w, "SendTrig")->isEnabled());
    }
}

QTEST_MAIN(TestConfigStates)
#include "tst_configstates.moc"
