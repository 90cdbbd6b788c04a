// The reference group: on and off, the method choice, acquiring from the
// input, and the custom value with its bounds and its refusal of text that
// is not a number.
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "ConfigHelpers.h"
#include "forms/Main/Main.h"
#include "shell/PromptComboBox.h"
#include "shell/StatusLamp.h"
#include "support/MainHarness.h"
#include "support/MainState.h"

using vx::forms::Main;

namespace {
const QStringList kRefGroup{"RefStateOn", "RefStateOff", "RefMethod", "SetRefMethod",
                            "Ref",        "SetRef",      "AcqRef"};

// Sets the primary function, turns the reference on and sets the method
// (0 input, 1 custom); the wire is emptied afterwards.
void referenceOn(MainHarness& h, int function, int method) {
    Main& w = h.w();
    setFunction(h, function);
    button(w, "RefStateOn")->click();
    combo(w, "RefMethod")->setCurrentIndex(method);
    button(w, "SetRefMethod")->click();
    h.takeWire();
}

// Connects, turns DC voltage's reference on with a custom value and types
// `typed` into its box; false when the port would not open.
bool typeReference(MainHarness& h, const QString& typed) {
    if (!h.connect()) {
        return false;
    }
    referenceOn(h, kDcVoltage, 1);
    lineEdit(h.w(), "Ref")->setText(typed);
    return true;
}
}  // namespace

class TestConfigReference : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void onOffAndMethod_data();
    void onOffAndMethod();
    void commandsFollowTheFunction();
    void offOrder();
    void acquireChangesNothing();
    void customValue_data();
    void customValue();
    void notANumber_data();
    void notANumber();
};

// Each row is a sequence of presses from a freshly set resistance function;
// after it, the wire, the lamp and the usable controls of the group.
void TestConfigReference::onOffAndMethod_data() {
    QTest::addColumn<QStringList>("presses");  // "ON", "OFF", "Input", "Custom", "none"
    QTest::addColumn<QByteArray>("wire");
    QTest::addColumn<int>("lampColor");
    QTest::addColumn<QStringList>("enabled");

    const QStringList onOff{"RefStateOn", "RefStateOff"};
    QTest::newRow("function set") << QStringList{} << QByteArray() << vx::shell::kLampRed << onOff;
    QTest::newRow("ON") << QStringList{"ON"} << QByteArray("RES:REF:STAT ON\n")
                        << vx::shell::kLampGreen
                        << onOff + QStringList{"RefMethod", "SetRefMethod"};
    QTest::newRow("ON, Input") << QStringList{"ON", "Input"} << QByteArray("RES:REF:STAT ON\n")
                               << vx::shell::kLampGreen
                               << onOff + QStringList{"RefMethod", "SetRefMethod", "AcqRef"};
    QTest::newRow("ON, Custom") << QStringList{"ON", "Custom"} << QByteArray("RES:REF:STAT ON\n")
                                << vx::shell::kLampGreen
                                << onOff +
                                       QStringList{"RefMethod", "SetRefMethod", "Ref", "SetRef"};
    QTest::newRow("ON, Custom, Input")
        << QStringList{"ON", "Custom", "Input"} << QByteArray("RES:REF:STAT ON\n")
        << vx::shell::kLampGreen << onOff + QStringList{"RefMethod", "SetRefMethod", "AcqRef"};
    QTest::newRow("ON, Custom, nothing chosen")
        << QStringList{"ON", "Custom", "none"} << QByteArray("RES:REF:STAT ON\n")
        << vx::shell::kLampGreen
        << onOff + QStringList{"RefMethod", "SetRefMethod", "Ref", "SetRef"};
    QTest::newRow("ON, Custom, OFF")
        << QStringList{"ON", "Custom", "OFF"} << QByteArray("RES:REF:STAT ON\nRES:REF:STAT OFF\n")
        << vx::shell::kLampRed << onOff;
    // Back on, only the method list comes back; the method must be set again.
    QTest::newRow("ON, Custom, OFF, ON")
        << QStringList{"ON", "Custom", "OFF", "ON"}
        << QByteArray("RES:REF:STAT ON\nRES:REF:STAT OFF\nRES:REF:STAT ON\n")
        << vx::shell::kLampGreen << onOff + QStringList{"RefMethod", "SetRefMethod"};
    QTest::newRow("ON, ON") << QStringList{"ON", "ON"}
                            << QByteArray("RES:REF:STAT ON\nRES:REF:STAT ON\n")
                            << vx::shell::kLampGreen
                            << onOff + QStringList{"RefMethod", "SetRefMethod"};
    QTest::newRow("OFF, OFF") << QStringList{"OFF", "OFF"}
                              << QByteArray("RES:REF:STAT OFF\nRES:REF:STAT OFF\n")
                              << vx::shell::kLampRed << onOff;
}

void TestConfigReference::onOffAndMethod() {
    QFETCH(QStringList, presses);
    QFETCH(QByteArray, wire);
    QFETCH(int, lampColor);
    QFETCH(QStringList, enabled);

    MainHarness h;
    QVERIFY(connectWithFunction(h, kResistance));
    Main& w = h.w();
    lineEdit(w, "Ref")->setText(QStringLiteral("7.5"));
    for (const QString& p : presses) {
        if (p == "ON") {
            button(w, "RefStateOn")->click();
        } else if (p == "OFF") {
            button(w, "RefStateOff")->click();
        } else {
            choose(combo(w, "RefMethod"), p == "Input" ? 0 : p == "Custom" ? 1 : -1);
            button(w, "SetRefMethod")->click();
        }
    }
    QCOMPARE(h.takeWire(), wire);
    QCOMPARE(lamp(w, "RefStat")->fillColor(), lampColor);
    QCOMPARE(ownEnabledOf(w, kRefGroup), enabled);
    // Neither on nor off touches the value or the method choice.
    QCOMPARE(lineEdit(w, "Ref")->text(), QStringLiteral("7.5"));
    QVERIFY(h.dialogs.messages.isEmpty());
}

void TestConfigReference::commandsFollowTheFunction() {
    MainHarness h;
    QVERIFY(connectWithFunction(h, kDcVoltage));
    Main& w = h.w();
    button(w, "RefStateOn")->click();
    QCOMPARE(h.takeWire(), QByteArray("VOLT:DC:REF:STAT ON\n"));
    QCOMPARE(setFunction(h, kAcCurrent), QByteArray(":FUNC CURR:AC\n"));
    combo(w, "RefMethod")->setCurrentIndex(0);
    button(w, "SetRefMethod")->click();
    button(w, "AcqRef")->click();
    combo(w, "RefMethod")->setCurrentIndex(1);
    button(w, "SetRefMethod")->click();
    lineEdit(w, "Ref")->setText(QStringLiteral("-0.25"));
    button(w, "SetRef")->click();
    button(w, "RefStateOff")->click();
    QCOMPARE(h.takeWire(),
             QByteArray("CURR:AC:REF:ACQ\nCURR:AC:REF -0.25\nCURR:AC:REF:STAT OFF\n"));
}

void TestConfigReference::offOrder() {
    MainHarness h;
    QVERIFY(h.connect());
    Main& w = h.w();
    referenceOn(h, kDcVoltage, 1);
    button(w, "AcqRef")->setEnabled(true);
    EnableRecorder rec(h, QStringList{"RefStat"} + kConfigControls);
    button(w, "RefStateOff")->click();
    QCOMPARE(rec.take(), (QStringList{"wire:VOLT:DC:REF:STAT OFF\n", "RefStat=red", "-RefMethod",
                                      "-SetRefMethod", "-Ref", "-SetRef", "-AcqRef"}));
}

void TestConfigReference::acquireChangesNothing() {
    MainHarness h;
    QVERIFY(h.connect());
    Main& w = h.w();
    referenceOn(h, kFrequency, 0);
    const QStringList enabled = ownEnabledOf(w, kConfigControls);
    EnableRecorder rec(h, kConfigControls);
    button(w, "AcqRef")->click();
    QCOMPARE(rec.take(), QStringList{"wire:FREQ:REF:ACQ\n"});
    QCOMPARE(ownEnabledOf(w, kConfigControls), enabled);
    QCOMPARE(lamp(w, "RefStat")->fillColor(), vx::shell::kLampGreen);
}

void TestConfigReference::customValue_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");  // the box afterwards
    QTest::addColumn<QByteArray>("wire");
    QTest::newRow("2000") << "2000"
                          << "1010" << QByteArray("VOLT:DC:REF 1010\n");
    QTest::newRow("1010.5") << "1010.5"
                            << "1010" << QByteArray("VOLT:DC:REF 1010\n");
    QTest::newRow("-5000") << "-5000"
                           << "-1010" << QByteArray("VOLT:DC:REF -1010\n");
    QTest::newRow("0") << "0"
                       << "0.001" << QByteArray("VOLT:DC:REF 0.001\n");
    QTest::newRow("0.0") << "0.0"
                         << "0.001" << QByteArray("VOLT:DC:REF 0.001\n");
    QTest::newRow("-0") << "-0"
                        << "0.001" << QByteArray("VOLT:DC:REF 0.001\n");
    QTest::newRow("1010") << "1010"
                          << "1010" << QByteArray("VOLT:DC:REF 1010\n");
    QTest::newRow("-1010") << "-1010"
                           << "-1010" << QByteArray("VOLT:DC:REF -1010\n");
    QTest::newRow("1010.0") << "1010.0"
                            << "1010.0" << QByteArray("VOLT:DC:REF 1010.0\n");
    QTest::newRow("-1010.00") << "-1010.00"
                              << "-1010.00" << QByteArray("VOLT:DC:REF -1010.00\n");
    QTest::newRow("12.50") << "12.50"
                           << "12.50" << QByteArray("VOLT:DC:REF 12.50\n");
    QTest::newRow("+3") << "+3"
                        << "+3" << QByteArray("VOLT:DC:REF +3\n");
    QTest::newRow(".5") << ".5"
                        << ".5" << QByteArray("VOLT:DC:REF .5\n");
    QTest::newRow("exponent 1.5e2") << "1.5e2"
                                    << "1.5e2" << QByteArray("VOLT:DC:REF 1.5e2\n");
    QTest::newRow("exponent 2E3") << "2E3"
                                  << "1010" << QByteArray("VOLT:DC:REF 1010\n");
    QTest::newRow("tiny 1e-300") << "1e-300"
                                 << "1e-300" << QByteArray("VOLT:DC:REF 1e-300\n");
    QTest::newRow("blanks around") << "  4.25 "
                                   << "  4.25 " << QByteArray("VOLT:DC:REF 4.25\n");
}

void TestConfigReference::customValue() {
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(QByteArray, wire);
    MainHarness h;
    QVERIFY(typeReference(h, typed));
    Main& w = h.w();
    button(w, "SetRef")->click();
    QCOMPARE(h.takeWire(), wire);
    QCOMPARE(lineEdit(w, "Ref")->text(), shown);
    QVERIFY(h.dialogs.messages.isEmpty());
}

void TestConfigReference::notANumber_data() {
    QTest::addColumn<QString>("typed");
    for (const char* t :
         {"Text1", "", "   ", "abc", "12.5x", "1,5", "1,000", "0x10", "1e", "--1", "nan", "NaN",
          "inf", "-inf", "infinity", "1e999", "-1e999", "5\nVOLT:DC:REF 9"}) {
        QTest::newRow(QByteArray(t).replace('\n', "\\n").constData()) << QString(t);
    }
}

void TestConfigReference::notANumber() {
    QFETCH(QString, typed);
    MainHarness h;
    QVERIFY(typeReference(h, typed));
    Main& w = h.w();
    const QString kept = lineEdit(w, "Ref")->text();
    button(w, "SetRef")->click();
    QCOMPARE(h.takeWire(), QByteArray());
    QCOMPARE(lineEdit(w, "Ref")->text(), kept);
    QCOMPARE(h.dialogs.messages.size(), 1);
    const auto& m = h.dialogs.messages.first();
    QCOMPARE(m.title, QStringLiteral("Reference Error"));
    QCOMPARE(m.icon, vx::shell::Dialogs::Icon::Exclamation);
    QVERIFY(m.text.contains(QStringLiteral("number from -1010 to 1010")));
    QVERIFY(!m.text.contains(QStringLiteral("COM port")));
    // The group stays usable for a corrected value.
    QVERIFY(button(w, "SetRef")->isEnabled());
    lineEdit(w, "Ref")->setText(QStringLiteral("3"));
    button(w, "SetRef")->click();
    QCOMPARE(h.takeWire(), QByteArray("VOLT:DC:REF 3\n"));
}

QTEST_MAIN(TestConfigReference)
#include "tst_configreference.moc"
