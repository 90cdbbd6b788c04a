// Each configuration choice against the exact command line it puts on the
// wire, one row per list entry, plus the rows a list gives with nothing
// chosen (typed text) or with an index the current function has no value for.
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
const QStringList kAcVoltRanges{"200 mV", "2 V", "20 V", "200 V", "750 V"};
const QStringList kDcVoltRanges{"200 mV", "2 V", "20 V", "200 V", "1000 V"};
const QStringList kAmpRanges{"2 mA", "20 mA", "200 mA", "2 A", "20 A"};
const QStringList kOhmRanges{"200 ohm", "2 kohm", "20 kohm", "200 kohm", "2 Mohm", "20 Mohm"};
// The lists "AC CURRENT" leaves behind, which the test sets first.
const QStringList kAcCurrentSecond{"DC CURRENT", "FREQUENCY"};

// The controls every primary Set makes usable.
const QStringList kAlwaysEnabled{"Trigger",     "SetTrig",    "Display",  "SetDisp", "Hold",
                                 "Run",         "SingleRead", "SaveData", "EndLog",  "RefStateOn",
                                 "RefStateOff", "Rate",       "SetRate"};

// What a control's enabled state is after a primary Set.
enum After { kDisabled, kEnabled, kAsBefore };

bool expectedState(int after, bool before) {
    return after == kAsBefore ? before : after == kEnabled;
}

// Sets each primary function in turn; with `override`, then puts `func`
// straight into the state the handlers read.
void setPrimaries(MainHarness& h, const QList<int>& primaries, bool override, const QString& func) {
    for (int p : primaries) {
        setFunction(h, p);
    }
    if (override) {
        MainState(h.w()).func = func;
    }
}

// The first columns of a test that sets functions and then sends an entry of
// one list: the FuncBox entries set in turn, whether `func` then replaces the
// function, the entry (-1: typed text) and the line expected on the wire.
void addChoiceColumns() {
    QTest::addColumn<QList<int>>("primaries");
    QTest::addColumn<bool>("override");
    QTest::addColumn<QString>("func");
    QTest::addColumn<int>("index");
    QTest::addColumn<QByteArray>("wire");
}

// Connects, sets the current row's functions and chooses its entry in
// `list`; false when the port would not open.
bool chooseAfterFunctions(MainHarness& h, const char* list) {
    QFETCH(QList<int>, primaries);
    QFETCH(bool, override);
    QFETCH(QString, func);
    QFETCH(int, index);
    if (!h.connect()) {
        return false;
    }
    setPrimaries(h, primaries, override, func);
    choose(combo(h.w(), list), index);
    return true;
}
}  // namespace

class TestConfigCommands : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void primaryFunction_data();
    void primaryFunction();
    void primaryTypedText();
    void primaryTypedTextBeforeAnyFunction();
    void carriageReturnTerminator();
    void secondaryFunction_data();
    void secondaryFunction();
    void range_data();
    void range();
    void rangeType_data();
    void rangeType();
    void rate_data();
    void rate();
    void trigger_data();
    void trigger();
    void sendTrigger();
    void display_data();
    void display();
    void holdToggles();
    void setTwiceSendsTwice_data();
    void setTwiceSendsTwice();
};

void TestConfigCommands::primaryFunction_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("before");  // Range, SetRange and the ON/OFF buttons before
    QTest::addColumn<QByteArray>("wire");
    QTest::addColumn<QString>("func");
    QTest::addColumn<QString>("unit");
    QTest::addColumn<QString>("header");
    QTest::addColumn<QStringList>("ranges");
    QTest::addColumn<QStringList>("seconds");
    // Each an After: the ON/OFF buttons, RangeType and its Set, Range and its Set.
    QTest::addColumn<int>("onOff");
    QTest::addColumn<int>("rangeType");
    QTest::addColumn<int>("range");
    QTest::addColumn<int>("rangeTypeChoice");

    // What a primary Set leaves usable: the ON/OFF buttons, RangeType and
    // its Set, Range and its Set; and the RangeType entry then chosen.
    struct Enables {
        After onOff;
        After rangeType;
        After range;
        int rangeTypeChoice;
    };
    // No range and no secondary function.
    const Enables noRanges{kDisabled, kDisabled, kDisabled, 1};
    // A threshold range only, and a secondary function.
    const Enables threshold{kEnabled, kDisabled, kEnabled, 0};
    // Manual or automatic range, no secondary function.
    const Enables resistance{kDisabled, kEnabled, kAsBefore, 1};
    // Manual or automatic range, and a secondary function.
    const Enables measured{kEnabled, kEnabled, kAsBefore, 1};
    struct Row {
        const char* name;
        int index;
        const char* wire;
        const char* func;
        const char* unit;
        const char* header;
        QStringList ranges;
        QStringList seconds;
        Enables after;
    };
    const Row rows[] = {
        {.name = "CONTINUITY",
         .index = kContinuity,
         .wire = ":FUNC CONT\n",
         .func = "CONT",
         .unit = "Ohm",
         .header = "Continuity(Ohm)",
         .ranges = kAmpRanges,
         .seconds = {},
         .after = noRanges},
        {.name = "DIODE",
         .index = kDiode,
         .wire = ":FUNC DIOD\n",
         .func = "DIOD",
         .unit = "DCV",
         .header = "Diode(DCV)",
         .ranges = kAmpRanges,
         .seconds = {},
         .after = noRanges},
        {.name = "FREQUENCY",
         .index = kFrequency,
         .wire = ":FUNC FREQ\n",
         .func = "FREQ",
         .unit = "Hz",
         .header = "Frequency(Hz)",
         .ranges = kAcVoltRanges,
         .seconds = {"AC VOLTAGE", "AC CURRENT"},
         .after = threshold},
        {.name = "PERIOD",
         .index = kPeriod,
         .wire = ":FUNC PER\n",
         .func = "PER",
         .unit = "S",
         .header = "Period(Sec)",
         .ranges = kAcVoltRanges,
         .seconds = {"AC VOLTAGE", "AC CURRENT"},
         .after = threshold},
        {.name = "2W RESISTANCE",
         .index = kResistance,
         .wire = ":FUNC RES\n",
         .func = "RES",
         .unit = "Ohm",
         .header = "2W Resistance(Ohm)",
         .ranges = kOhmRanges,
         .seconds = kAcCurrentSecond,
         .after = resistance},
        {.name = "AC CURRENT",
         .index = kAcCurrent,
         .wire = ":FUNC CURR:AC\n",
         .func = "CURR:AC",
         .unit = "AAC",
         .header = "AC Current(A)",
         .ranges = kAmpRanges,
         .seconds = {"DC CURRENT", "FREQUENCY"},
         .after = measured},
        {.name = "DC CURRENT",
         .index = kDcCurrent,
         .wire = ":FUNC CURR:DC\n",
         .func = "CURR:DC",
         .unit = "ADC",
         .header = "DC Current(A)",
         .ranges = kAmpRanges,
         .seconds = {"AC CURRENT", "FREQUENCY"},
         .after = measured},
        {.name = "AC VOLTAGE",
         .index = kAcVoltage,
         .wire = ":FUNC VOLT:AC\n",
         .func = "VOLT:AC",
         .unit = "VAC",
         .header = "AC Voltage(V)",
         .ranges = kAcVoltRanges,
         .seconds = {"DC VOLTAGE", "dBm", "dB", "FREQUENCY"},
         .after = measured},
        {.name = "DC VOLTAGE",
         .index = kDcVoltage,
         .wire = ":FUNC VOLT:DC\n",
         .func = "VOLT:DC",
         .unit = "VDC",
         .header = "DC Voltage(V)",
         .ranges = kDcVoltRanges,
         .seconds = {"AC VOLTAGE", "dBm", "dB", "FREQUENCY"},
         .after = measured},
    };
    for (const Row& r : rows) {
        for (bool before : {false, true}) {
            QTest::addRow("%s, controls %s before", r.name, before ? "enabled" : "disabled")
                << r.index << before << QByteArray(r.wire) << QString(r.func) << QString(r.unit)
                << QString(r.header) << r.ranges << r.seconds << int(r.after.onOff)
                << int(r.after.rangeType) << int(r.after.range) << r.after.rangeTypeChoice;
        }
    }
}

void TestConfigCommands::primaryFunction() {
    QFETCH(int, index);
    QFETCH(bool, before);
    QFETCH(QByteArray, wire);
    QFETCH(QString, func);
    QFETCH(QString, unit);
    QFETCH(QString, header);
    QFETCH(QStringList, ranges);
    QFETCH(QStringList, seconds);
    QFETCH(int, onOff);
    QFETCH(int, rangeType);
    QFETCH(int, range);
    QFETCH(int, rangeTypeChoice);

    MainHarness h;
    QVERIFY(h.connect());
    Main& w = h.w();
    QCOMPARE(setFunction(h, kAcCurrent), QByteArray(":FUNC CURR:AC\n"));
    setAll(w,
           {"Range", "SetRange", "RangeType", "SetRangeType", "FuncBoxTwoStateOn",
            "FuncBoxTwoStateOff"},
           before);
    combo(w, "RangeType")->setCurrentIndex(1);
    lineEdit(w, "SecondaryUnit")->setText(QStringLiteral("Hz"));

    QCOMPARE(setFunction(h, index), wire);
    QCOMPARE(MainState(w).func, func);
    QCOMPARE(MainState(w).func_selection, header);
    QCOMPARE(lineEdit(w, "PrimaryUnit")->text(), unit);
    QCOMPARE(lineEdit(w, "SecondaryUnit")->text(), QString());
    QCOMPARE(combo(w, "Range")->entries(), ranges);
    QCOMPARE(combo(w, "FuncBoxTwo")->entries(), seconds);
    // A refilled list chooses nothing and shows its prompt.
    if (ranges != kAmpRanges) {
        QCOMPARE(combo(w, "Range")->currentIndex(), -1);
        QCOMPARE(combo(w, "Range")->fieldText(), QStringLiteral("Select Range"));
    }
    if (seconds != kAcCurrentSecond) {
        QCOMPARE(combo(w, "FuncBoxTwo")->currentIndex(), -1);
        QCOMPARE(combo(w, "FuncBoxTwo")->fieldText(), QStringLiteral("Select Function"));
    }
    QCOMPARE(ownEnabled(w, "FuncBoxTwoStateOn"), expectedState(onOff, before));
    QCOMPARE(ownEnabled(w, "FuncBoxTwoStateOff"), expectedState(onOff, before));
    QCOMPARE(ownEnabled(w, "RangeType"), expectedState(rangeType, before));
    QCOMPARE(ownEnabled(w, "SetRangeType"), expectedState(rangeType, before));
    QCOMPARE(ownEnabled(w, "Range"), expectedState(range, before));
    QCOMPARE(ownEnabled(w, "SetRange"), expectedState(range, before));
    QCOMPARE(combo(w, "RangeType")->currentIndex(), rangeTypeChoice);
    QCOMPARE(ownEnabledOf(w, kAlwaysEnabled), kAlwaysEnabled);
    // Not this handler's: the secondary list, its Set button, the lamp.
    QVERIFY(!ownEnabled(w, "FuncBoxTwo"));
    QVERIFY(!ownEnabled(w, "SetFuncTwo"));
    QCOMPARE(lamp(w, "FuncTwoStat")->fillColor(), vx::shell::kLampRed);
    QVERIFY(h.dialogs.messages.isEmpty());
}

void TestConfigCommands::primaryTypedText() {
    MainHarness h;
    QVERIFY(connectWithFunction(h, kDcVoltage));
    Main& w = h.w();
    combo(w, "Range")->setCurrentIndex(2);
    lineEdit(w, "PrimaryUnit")->setText(QStringLiteral("kept"));
    typeInto(combo(w, "FuncBox"),
             QStringLiteral("AC VOLTAGE"));  // spelled like an entry, still typed
    button(w, "SetFunc")->click();
    QCOMPARE(h.takeWire(), QByteArray(":FUNC VOLT:DC\n"));
    QCOMPARE(MainState(w).func, QStringLiteral("VOLT:DC"));
    QCOMPARE(MainState(w).func_selection, QStringLiteral("DC Voltage(V)"));
    QCOMPARE(combo(w, "Range")->entries(), kDcVoltRanges);
    QCOMPARE(combo(w, "Range")->currentIndex(), 2);
    QCOMPARE(lineEdit(w, "PrimaryUnit")->text(), QStringLiteral("kept"));
}

void TestConfigCommands::primaryTypedTextBeforeAnyFunction() {
    MainHarness h;
    QVERIFY(h.connect());
    Main& w = h.w();
    typeInto(combo(w, "FuncBox"), QStringLiteral("volts please"));
    button(w, "SetFunc")->click();
    QCOMPARE(h.takeWire(), QByteArray(":FUNC \n"));
    QCOMPARE(MainState(w).func, QString());
    QCOMPARE(MainState(w).func_selection, QString());
    QVERIFY(combo(w, "Range")->entries().isEmpty());
    // The controls come up all the same, the rate ones last.
    QCOMPARE(ownEnabledOf(w, kAlwaysEnabled), kAlwaysEnabled);
}

void TestConfigCommands::carriageReturnTerminator() {
    MainHarness h;
    QVERIFY(h.connect(2, 0));
    Main& w = h.w();
    QCOMPARE(setFunction(h, kPeriod), QByteArray(":FUNC PER\r"));
    combo(w, "Range")->setCurrentIndex(0);
    button(w, "SetRange")->click();
    QCOMPARE(h.takeWire(), QByteArray("PER:THR:VOLT:RANG 0.2\r"));
    button(w, "Hold")->click();
    QCOMPARE(h.takeWire(), QByteArray("HOLD:STATE ON\r"));
}

void TestConfigCommands::secondaryFunction_data() {
    addChoiceColumns();
    QTest::addColumn<QString>("unit");    // "old": unchanged
    QTest::addColumn<QString>("header");  // "old": unchanged

    auto row = [](const char* name, QList<int> primaries, int index, const char* wire,
                  const char* unit, const char* header) {
        QTest::newRow(name) << primaries << false << QString() << index << QByteArray(wire)
                            << QString(unit) << QString(header);
    };
    // Each function's secondary functions in list order: what goes out after
    // ":FUNC2 ", the unit shown and the log header.
    struct Entry {
        const char* sent;
        const char* unit;
        const char* header;
    };
    struct Group {
        const char* func;
        int primary;
        QList<Entry> entries;
        bool typedRow;  // also a row with text typed into the list
    };
    const Entry frequency{"FREQ", "Hz", "Frequency(Hz)"};
    // After the other voltage, both voltages offer the same three.
    const QList<Entry> voltageLevels{{"dBm", "dBm", "dBm"}, {"dB", "dB", "dB"}, frequency};
    // Frequency and period measure on an AC voltage or current.
    const QList<Entry> acInputs{{"AC VOLTAGE", "VAC", "AC Voltage(V)"},
                                {"AC CURRENT", "A", "AC Current(A)"}};
    const Group groups[] = {
        {.func = "VOLT:DC",
         .primary = kDcVoltage,
         .entries = QList<Entry>{{"VOLT:AC", "VAC", "AC Voltage(V)"}} + voltageLevels,
         .typedRow = true},
        {.func = "VOLT:AC",
         .primary = kAcVoltage,
         .entries = QList<Entry>{{"VOLT:DC", "VDC", "DC Voltage(V)"}} + voltageLevels,
         .typedRow = true},
        {.func = "CURR:DC",
         .primary = kDcCurrent,
         .entries = {{"CURR:AC", "AAC", "AC Current(A)"}, frequency},
         .typedRow = true},
        {.func = "CURR:AC",
         .primary = kAcCurrent,
         .entries = {{"CURR:DC", "ADC", "DC Current(A)"}, frequency},
         .typedRow = false},
        {.func = "FREQ", .primary = kFrequency, .entries = acInputs, .typedRow = true},
        {.func = "PER", .primary = kPeriod, .entries = acInputs, .typedRow = false},
    };
    for (const Group& g : groups) {
        for (int i = 0; i < g.entries.size(); ++i) {
            const Entry& e = g.entries[i];
            QTest::addRow("%s %d", g.func, i)
                << QList<int>{g.primary} << false << QString() << i
                << (":FUNC2 " + QByteArray(e.sent) + "\n") << QString(e.unit) << QString(e.header);
        }
        if (g.typedRow) {
            QTest::addRow("%s typed", g.func)
                << QList<int>{g.primary} << false << QString() << -1 << QByteArray(":FUNC2 \n")
                << QString("old") << QString("old");
        }
    }
    // Resistance keeps the previous entries, but has no secondary function.
    row("RES with DC volt entries", {kDcVoltage, kResistance}, 0, "", "old", "old");
    row("CONT", {kContinuity}, -1, "", "old", "old");
    row("DIOD", {kDiode}, -1, "", "old", "old");

    auto overridden = [](const char* name, QList<int> primaries, const char* func, int index,
                         const char* wire) {
        QTest::newRow(name) << primaries << true << QString(func) << index << QByteArray(wire)
                            << QString("old") << QString("old");
    };
    // Index 3 is in the list, but DC current has no fourth secondary function.
    overridden("CURR:DC index without entry", {kDcVoltage}, "CURR:DC", 3, ":FUNC2 \n");
    overridden("FREQ index without entry", {kDcVoltage}, "FREQ", 2, ":FUNC2 \n");
    overridden("lower case volt:dc", {kDcVoltage}, "volt:dc", 0, "");
    overridden("no function ever set", {kDcVoltage}, "", 0, "");
}

void TestConfigCommands::secondaryFunction() {
    QFETCH(QByteArray, wire);
    QFETCH(QString, unit);
    QFETCH(QString, header);

    MainHarness h;
    QVERIFY(chooseAfterFunctions(h, "FuncBoxTwo"));
    Main& w = h.w();
    button(w, "Run")->setEnabled(false);
    lineEdit(w, "SecondaryUnit")->setText(QStringLiteral("old"));
    MainState(w).secondfunc_selection = QStringLiteral("old");

    MainState(w).invoke("SetFuncTwo_Click");
    QCOMPARE(h.takeWire(), wire);
    QCOMPARE(lineEdit(w, "SecondaryUnit")->text(), unit);
    QCOMPARE(MainState(w).secondfunc_selection, header);
    QVERIFY(button(w, "Run")->isEnabled());
}

void TestConfigCommands::range_data() {
    addChoiceColumns();

    struct Group {
        const char* func;
        int primary;
        QStringList values;
        const char* infix;
    };
    const Group groups[] = {
        {"VOLT:DC", kDcVoltage, {"0.2", "2", "20", "200", "1000"}, ":RANG "},
        {"VOLT:AC", kAcVoltage, {"0.2", "2", "20", "200", "750"}, ":RANG "},
        {"CURR:AC", kAcCurrent, {"0.002", "0.02", "0.2", "2", "20"}, ":RANG "},
        {"CURR:DC", kDcCurrent, {"0.002", "0.02", "0.2", "2", "20"}, ":RANG "},
        {"RES", kResistance, {"200", "2000", "20000", "200000", "2000000", "20000000"}, ":RANG "},
        {"FREQ", kFrequency, {"0.2", "2", "20", "200", "750"}, ":THR:VOLT:RANG "},
        {"PER", kPeriod, {"0.2", "2", "20", "200", "750"}, ":THR:VOLT:RANG "},
    };
    for (const Group& g : groups) {
        for (int i = 0; i < g.values.size(); ++i) {
            QTest::addRow("%s %d", g.func, i)
                << QList<int>{g.primary} << false << QString() << i
                << (QByteArray(g.func) + g.infix + g.values[i].toLatin1() + "\n");
        }
        QTest::addRow("%s typed", g.func) << QList<int>{g.primary} << false << QString() << -1
                                          << (QByteArray(g.func) + g.infix + "\n");
    }
    // Continuity and diode keep the previous entries but send no range.
    QTest::newRow("CONT") << QList<int>{kDcVoltage, kContinuity} << false << QString() << 4
                          << QByteArray();
    QTest::newRow("DIOD") << QList<int>{kDcVoltage, kDiode} << false << QString() << 0
                          << QByteArray();
    QTest::newRow("VOLT:DC index without entry")
        << QList<int>{kResistance} << true << QString("VOLT:DC") << 5
        << QByteArray("VOLT:DC:RANG \n");
    QTest::newRow("lower case res")
        << QList<int>{kResistance} << true << QString("res") << 0 << QByteArray();
    QTest::newRow("no function ever set")
        << QList<int>{kResistance} << true << QString() << 0 << QByteArray();
}

void TestConfigCommands::range() {
    QFETCH(QByteArray, wire);
    MainHarness h;
    QVERIFY(chooseAfterFunctions(h, "Range"));
    MainState(h.w()).invoke("SetRange_Click");
    QCOMPARE(h.takeWire(), wire);
    QVERIFY(h.dialogs.messages.isEmpty());
}

void TestConfigCommands::rangeType_data() {
    QTest::addColumn<int>("primary");
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("before");  // Range and SetRange before
    QTest::addColumn<QByteArray>("wire");
    QTest::addColumn<bool>("after");

    const std::pair<const char*, int> funcs[] = {{"VOLT:DC", kDcVoltage},
                                                 {"VOLT:AC", kAcVoltage},
                                                 {"CURR:AC", kAcCurrent},
                                                 {"CURR:DC", kDcCurrent},
                                                 {"RES", kResistance}};
    for (const auto& [func, primary] : funcs) {
        for (bool before : {false, true}) {
            const char* was = before ? "enabled" : "disabled";
            QTest::addRow("%s MANUAL, range %s", func, was)
                << primary << 0 << before << (QByteArray(func) + ":RANG:AUTO OFF\n") << true;
            QTest::addRow("%s AUTO, range %s", func, was)
                << primary << 1 << before << (QByteArray(func) + ":RANG:AUTO ON\n") << false;
            QTest::addRow("%s typed, range %s", func, was)
                << primary << -1 << before << (QByteArray(func) + ":RANG:AUTO \n") << before;
        }
    }
}

void TestConfigCommands::rangeType() {
    QFETCH(int, primary);
    QFETCH(int, index);
    QFETCH(bool, before);
    QFETCH(QByteArray, wire);
    QFETCH(bool, after);

    MainHarness h;
    QVERIFY(connectWithFunction(h, primary));
    Main& w = h.w();
    combo(w, "Range")->setEnabled(before);
    button(w, "SetRange")->setEnabled(before);
    choose(combo(w, "RangeType"), index);

    EnableRecorder rec(h, {"Range", "SetRange"});
    button(w, "SetRangeType")->click();
    QStringList expected;
    if (after != before) {
        const QString sign = after ? "+" : "-";
        expected << sign + "Range" << sign + "SetRange";
    }
    // The range controls change before the line goes out.
    expected << "wire:" + QString::fromLatin1(wire);
    QCOMPARE(rec.take(), expected);
    QCOMPARE(combo(w, "Range")->isEnabled(), after);
    QCOMPARE(button(w, "SetRange")->isEnabled(), after);
}

void TestConfigCommands::rate_data() {
    addChoiceColumns();

    const std::pair<const char*, int> funcs[] = {
        {"VOLT:DC", kDcVoltage}, {"VOLT:AC", kAcVoltage}, {"CURR:DC", kDcCurrent},
        {"CURR:AC", kAcCurrent}, {"RES", kResistance},    {"DIOD", kDiode},
        {"CONT", kContinuity},   {"FREQ", kFrequency},    {"PER", kPeriod}};
    const std::pair<int, const char*> rates[] = {{0, "10"}, {1, "1"}, {2, "0.1"}, {-1, ""}};
    for (const auto& [func, primary] : funcs) {
        const QByteArray prefix = (QByteArray(func) == "FREQ" || QByteArray(func) == "PER")
                                      ? QByteArray(":VOLT:DC:NPLC ")
                                      : ":" + QByteArray(func) + ":NPLC ";
        for (const auto& [index, value] : rates) {
            QTest::addRow("%s %s", func, index < 0 ? "typed" : value)
                << QList<int>{primary} << false << QString() << index << (prefix + value + "\n");
        }
    }
    QTest::newRow("lower case freq")
        << QList<int>{kDcVoltage} << true << QString("freq") << 0 << QByteArray(":freq:NPLC 10\n");
}

void TestConfigCommands::rate() {
    QFETCH(QByteArray, wire);
    MainHarness h;
    QVERIFY(chooseAfterFunctions(h, "Rate"));
    button(h.w(), "SetRate")->click();
    QCOMPARE(h.takeWire(), wire);
    QVERIFY(h.dialogs.messages.isEmpty());
}

void TestConfigCommands::trigger_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("before");  // SendTrig before
    QTest::addColumn<QByteArray>("wire");
    QTest::addColumn<bool>("after");
    for (bool before : {false, true}) {
        const char* was = before ? "enabled" : "disabled";
        QTest::addRow("BUS, trigger button %s", was)
            << 0 << before << QByteArray(":TRIG:SOUR BUS\n") << true;
        QTest::addRow("MANUAL, trigger button %s", was)
            << 1 << before << QByteArray(":TRIG:SOUR MAN\n") << false;
        QTest::addRow("IMMEDIATE, trigger button %s", was)
            << 2 << before << QByteArray(":TRIG:SOUR IMM\n") << false;
        QTest::addRow("typed, trigger button %s", was)
            << -1 << before << QByteArray(":TRIG:SOUR \n") << before;
    }
}

void TestConfigCommands::trigger() {
    QFETCH(int, index);
    QFETCH(bool, before);
    QFETCH(QByteArray, wire);
    QFETCH(bool, after);

    MainHarness h;
    QVERIFY(connectWithFunction(h, kDcVoltage));
    Main& w = h.w();
    button(w, "SendTrig")->setEnabled(before);
    choose(combo(w, "Trigger"), index);
    EnableRecorder rec(h, {"SendTrig"});
    button(w, "SetTrig")->click();
    QStringList expected;
    if (after != before) {
        expected << QString(after ? "+" : "-") + "SendTrig";
    }
    expected << "wire:" + QString::fromLatin1(wire);
    QCOMPARE(rec.take(), expected);
    QCOMPARE(button(w, "SendTrig")->isEnabled(), after);
}

void TestConfigCommands::sendTrigger() {
    MainHarness h;
    QVERIFY(connectWithFunction(h, kDcVoltage));
    Main& w = h.w();
    combo(w, "Trigger")->setCurrentIndex(0);
    button(w, "SetTrig")->click();
    QCOMPARE(h.takeWire(), QByteArray(":TRIG:SOUR BUS\n"));
    h.clock.waitedMs = 0;
    EnableRecorder rec(h, kConfigControls);
    button(w, "SendTrig")->click();
    button(w, "SendTrig")->click();
    QCOMPARE(rec.take(), QStringList{"wire:*TRG\n*TRG\n"});
    QCOMPARE(h.clock.waitedMs, 0);
}

void TestConfigCommands::display_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<QByteArray>("wire");
    QTest::newRow("DISABLED") << 0 << QByteArray("DISP:ENAB OFF\n");
    QTest::newRow("ENABLED") << 1 << QByteArray("DISP:ENAB ON\n");
    QTest::newRow("typed") << -1 << QByteArray("DISP:ENAB \n");
}

void TestConfigCommands::display() {
    QFETCH(int, index);
    QFETCH(QByteArray, wire);
    MainHarness h;
    QVERIFY(connectWithFunction(h, kResistance));
    Main& w = h.w();
    choose(combo(w, "Display"), index);
    button(w, "SetDisp")->click();
    QCOMPARE(h.takeWire(), wire);
}

void TestConfigCommands::holdToggles() {
    MainHarness h;
    QVERIFY(connectWithFunction(h, kDcVoltage));
    Main& w = h.w();
    button(w, "Hold")->click();
    QCOMPARE(h.takeWire(), QByteArray("HOLD:STATE ON\n"));
    QCOMPARE(lamp(w, "HoldStat")->fillColor(), vx::shell::kLampGreen);
    button(w, "Hold")->click();
    QCOMPARE(h.takeWire(), QByteArray("HOLD:STATE OFF\n"));
    QCOMPARE(lamp(w, "HoldStat")->fillColor(), vx::shell::kLampRed);
    QCOMPARE(button(w, "Hold")->text(), QStringLiteral("Click to HOLD"));
}

// Nothing compares a choice with the previous one: each press sends again.
void TestConfigCommands::setTwiceSendsTwice_data() {
    QTest::addColumn<QString>("pressed");
    QTest::addColumn<QByteArray>("line");
    QTest::newRow("SetFunc") << "SetFunc" << QByteArray(":FUNC VOLT:DC\n");
    QTest::newRow("SetRange") << "SetRange" << QByteArray("VOLT:DC:RANG 2\n");
    QTest::newRow("SetRangeType") << "SetRangeType" << QByteArray("VOLT:DC:RANG:AUTO OFF\n");
    QTest::newRow("SetRate") << "SetRate" << QByteArray(":VOLT:DC:NPLC 1\n");
    QTest::newRow("SetTrig") << "SetTrig" << QByteArray(":TRIG:SOUR BUS\n");
    QTest::newRow("SetDisp") << "SetDisp" << QByteArray("DISP:ENAB OFF\n");
    QTest::newRow("RefStateOn") << "RefStateOn" << QByteArray("VOLT:DC:REF:STAT ON\n");
    QTest::newRow("RefStateOff") << "RefStateOff" << QByteArray("VOLT:DC:REF:STAT OFF\n");
    QTest::newRow("AcqRef") << "AcqRef" << QByteArray("VOLT:DC:REF:ACQ\n");
    QTest::newRow("SetRef") << "SetRef" << QByteArray("VOLT:DC:REF 1.5\n");
    QTest::newRow("SetFuncTwo") << "SetFuncTwo" << QByteArray(":FUNC2 dB\n");
}

void TestConfigCommands::setTwiceSendsTwice() {
    QFETCH(QString, pressed);
    QFETCH(QByteArray, line);
    MainHarness h;
    QVERIFY(connectWithConfig(h, {.range = 1,
                                  .rangeType = 0,
                                  .rate = 1,
                                  .trigger = 0,
                                  .display = 0,
                                  .funcTwo = 2,
                                  .refMethod = 1,
                                  .ref = QStringLiteral("1.5")}));
    // button() ends the run when `pressed` names no push button.
    auto* b = button(h.w(), pressed);
    b->click();
    b->click();
    QCOMPARE(h.takeWire(), line + line);
}

QTEST_MAIN(TestConfigCommands)
#include "tst_configcommands.moc"
