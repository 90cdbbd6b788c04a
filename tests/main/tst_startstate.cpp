#include <QAction>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>

#include "forms/Main/Main.h"
#include "shell/PromptComboBox.h"
#include "shell/StatusLamp.h"
#include "support/MainHarness.h"
#include "support/MainState.h"

using vx::forms::Main;
using vx::forms::MainServices;

// The window as the operator first sees it.
class TestStartState : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void controls_data();
    void controls();
    void lists_data();
    void lists();
    void lampsStartRed_data();
    void lampsStartRed();
    void displayBoxes_data();
    void displayBoxes();
    void fixedLabels();
    void windowAndMenus();
    void stateStartsEmpty();
    void comPortTipsNameDevices();
    void portListReadOncePerLook();
};

void TestStartState::controls_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");  // caption, start text or what a list shows
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<QString>("tip");
    auto row = [](const char* name, const char* text, bool on, const char* tip) {
        QTest::newRow(name) << name << text << on << tip;
    };
    row("ComPort", "Select Port", true, "Choose a COM Port before connecting.");
    row("BaudRate", "9600", true, "Select Baud Rate that matches the instrument's settings");
    row("TermChar", "LF", true, "Select termination character configured inside instrument");
    row("ConnectBtn", "Connect", true, "Click to connect to selected COM Port");
    row("Close", "Close Port", true, "Close COM port");
    row("InstrID", "", true, "");
    row("FuncBox", "DC VOLTAGE", false, "Select primary display function");
    row("SetFunc", "Set", false, "Set selected primary display function");
    row("FuncBoxTwo", "Select Function", false, "Select secondary display function");
    row("SetFuncTwo", "Set", false, "Set selected secondary display function");
    row("FuncBoxTwoStateOn", "ON", false, "Turn on secondary display");
    row("FuncBoxTwoStateOff", "OFF", false, "Turn off secondary display");
    row("PrimaryDisplay", "", true, "");
    row("PrimaryUnit", "", true, "");
    row("SecondaryDisplay", "", true, "");
    row("SecondaryUnit", "", true, "");
    row("RangeType", "AUTO", false, "Select range type");
    row("SetRangeType", "Set", false, "Set selected range type");
    row("Range", "Select Range", false, "Select range");
    row("SetRange", "Set", false, "Set selected range");
    row("Rate", "Rate", false, "Select measurement rate");
    row("SetRate", "Set", false, "Set selected measurement rate");
    row("Trigger", "IMMEDIATE", false, "Select trigger type");
    row("SetTrig", "Set", false, "Set selected trigger type");
    row("SendTrig", "Click to Trigger", false, "Click to send trigger");
    row("Display", "ENABLED", false, "Select display mode");
    row("SetDisp", "Set", false, "Sets the display mode");
    row("Hold", "Click to HOLD", false, "Holds reading of the multimeter display");
    row("RefStateOn", "ON", false, "Turn on reference mode");
    row("RefStateOff", "OFF", false, "Turn off reference mode");
    row("RefMethod", "Reference Method", false, "Select reference mode");
    row("SetRefMethod", "Set", false, "Set selected reference mode");
    row("AcqRef", "Reference Set from Input", false, "Set reference based on inputs");
    row("Ref", "Text1", false, "");
    row("SetRef", "Set", false, "Set customized reference value");
    row("SingleRead", "Single Read", false, "One time read of the measured readings on display");
    row("Run", "Run", false, "Run to continuously display meter display readings");
    row("StopBtn", "Stop", false, "Stop continuously reading meter display readings");
    row("SaveData", "Log and Save Data", false, "Click to begin logging and saving data");
    row("EndLog", "Stop Log", false, "Stop logging process");
    row("FilePath", "Data File Path...", true, "Location of where data is stored");
    row("StatusBox", "", true, "");
    row("SendMsg", "", true, "Input SCPI command to send");
    row("Send", "Send", false, "Send the entered SCPI command to instrument");
    row("ReturnMsg", "", true, "Returned data from query commands");
    row("Reset", "Reset Instrument", false, "Reset instrument to default");
    row("Exit", "Exit", true, "Exit application");
}

void TestStartState::controls() {
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(bool, enabled);
    QFETCH(QString, tip);
    MainHarness h;
    auto* w = h.w().findChild<QWidget*>(name);
    QVERIFY2(w != nullptr, qPrintable(name));
    QCOMPARE(w->isEnabled(), enabled);
    QCOMPARE(w->toolTip(), tip);
    if (auto* b = qobject_cast<QPushButton*>(w)) {
        QCOMPARE(b->text(), text);
        // The face as drawn, not the palette's colour: light grey E0E0E0.
        h.w().show();
        const QImage face = b->grab().toImage();
        QCOMPARE(face.pixelColor(4, face.height() / 2), QColor(0xE0, 0xE0, 0xE0));
    } else if (auto* c = qobject_cast<vx::shell::PromptComboBox*>(w)) {
        QCOMPARE(c->fieldText(), text);
        QVERIFY(c->isEditable());
    } else if (auto* t = qobject_cast<QLineEdit*>(w)) {
        QCOMPARE(t->text(), text);
    } else {
        QFAIL("unexpected control kind");
    }
}

void TestStartState::lists_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<int>("chosen");
    QTest::newRow("ComPort") << "ComPort"
                             << QStringList{"1", "2",  "3",  "4",  "5",  "6",  "7", "8",
                                            "9", "10", "11", "12", "13", "14", "15"}
                             << -1;
    QTest::newRow("BaudRate") << "BaudRate" << QStringList{"600",  "1200",  "2400", "4800",
                                                           "9600", "19200", "38400"}
                              << 4;
    QTest::newRow("TermChar") << "TermChar" << QStringList{"CR", "LF"} << 1;
    QTest::newRow("FuncBox") << "FuncBox"
                             << QStringList{"CONTINUITY", "DIODE",         "FREQUENCY",
                                            "PERIOD",     "2W RESISTANCE", "AC CURRENT",
                                            "DC CURRENT", "AC VOLTAGE",    "DC VOLTAGE"}
                             << 8;
    QTest::newRow("Trigger") << "Trigger" << QStringList{"BUS", "MANUAL", "IMMEDIATE"} << 2;
    QTest::newRow("Display") << "Display" << QStringList{"DISABLED", "ENABLED"} << 1;
    QTest::newRow("RangeType") << "RangeType" << QStringList{"MANUAL", "AUTO"} << 1;
    QTest::newRow("Rate") << "Rate" << QStringList{"SLOW", "MEDIUM", "FAST"} << -1;
    QTest::newRow("RefMethod") << "RefMethod" << QStringList{"Input", "Custom"} << -1;
    QTest::newRow("Range") << "Range" << QStringList{} << -1;
    QTest::newRow("FuncBoxTwo") << "FuncBoxTwo" << QStringList{} << -1;
}

void TestStartState::lists() {
    QFETCH(QString, name);
    QFETCH(QStringList, entries);
    QFETCH(int, chosen);
    MainHarness h;
    auto* c = h.w().findChild<vx::shell::PromptComboBox*>(name);
    QVERIFY(c != nullptr);
    QCOMPARE(c->entries(), entries);
    QCOMPARE(c->currentIndex(), chosen);
}

void TestStartState::lampsStartRed_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("shape");
    QTest::newRow("PortOpenStat") << "PortOpenStat" << int(vx::shell::StatusLamp::Shape::Circle);
    QTest::newRow("FuncTwoStat") << "FuncTwoStat" << int(vx::shell::StatusLamp::Shape::Rectangle);
    QTest::newRow("HoldStat") << "HoldStat" << int(vx::shell::StatusLamp::Shape::RoundedSquare);
    QTest::newRow("RefStat") << "RefStat" << int(vx::shell::StatusLamp::Shape::RoundedSquare);
}

void TestStartState::lampsStartRed() {
    QFETCH(QString, name);
    QFETCH(int, shape);
    MainHarness h;
    auto* lamp = h.w().findChild<vx::shell::StatusLamp*>(name);
    QVERIFY(lamp != nullptr);
    QCOMPARE(lamp->fillColor(), 255);
    QCOMPARE(int(lamp->shape()), shape);
}

void TestStartState::displayBoxes_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("points");
    QTest::newRow("PrimaryDisplay") << "PrimaryDisplay" << 30;
    QTest::newRow("SecondaryDisplay") << "SecondaryDisplay" << 30;
    QTest::newRow("PrimaryUnit") << "PrimaryUnit" << 24;
    QTest::newRow("SecondaryUnit") << "SecondaryUnit" << 24;
}

void TestStartState::displayBoxes() {
    QFETCH(QString, name);
    QFETCH(int, points);
    MainHarness h;
    auto* box = h.w().findChild<QLineEdit*>(name);
    QVERIFY(box->isReadOnly());
    QCOMPARE(box->font().pointSize(), points);
    QCOMPARE(box->font().family(), QStringLiteral("Arial"));
    QCOMPARE(box->palette().color(QPalette::Base), QColor(Qt::black));
    QCOMPARE(box->palette().color(QPalette::Text), QColor(0, 255, 0));
}

void TestStartState::fixedLabels() {
    MainHarness h;
    QStringList texts;
    for (auto* l : h.w().findChildren<QLabel*>()) {
        texts << l->text();
    }
    for (auto* g : h.w().findChildren<QGroupBox*>()) {
        texts << g->title();
    }
    const QStringList expected{"Connection Settings",
                               "COM Port",
                               "Baud Rate",
                               "Termination Character",
                               "Port Status",
                               "Setup Display Functions",
                               "Primary Display",
                               "Secondary Display",
                               "Secondary Display Status",
                               "Front Panel Display",
                               "Data Hold Status",
                               "Configure Reference Mode",
                               "Status",
                               "Select Mode",
                               "Set Reference Value",
                               "Trigger Setup",
                               "Select Trigger Type",
                               "Measurement Rate",
                               "Select Rate",
                               "Range Selection",
                               "Range Type",
                               "Select Range",
                               "Log and Save Data",
                               "Data will be logged and saved to :",
                               "Returned Strings from Instrument"};
    for (const QString& e : expected) {
        QVERIFY2(texts.contains(e), qPrintable(e));
    }
    QCOMPARE(texts.count(QStringLiteral("Send Command Strings to Instrument")), 2);
    QVERIFY(h.w().findChild<QLabel*>(QStringLiteral("PortStatus")) != nullptr);
    QCOMPARE(h.w().findChild<QGroupBox*>(QStringLiteral("Frame1"))->title(),
             QStringLiteral("Connection Settings"));
}

void TestStartState::windowAndMenus() {
    MainHarness h;
    QCOMPARE(h.w().objectName(), QStringLiteral("Main"));
    QCOMPARE(h.w().windowTitle(), QStringLiteral("VX260 & VX480 Multimeter Software"));
    QCOMPARE(h.w().palette().color(QPalette::Window), QColor(0xE0, 0xE0, 0xE0));
    QCOMPARE(child<QMenu>(h.w(), "mnuHelp")->title(), QStringLiteral("&Help"));
    QCOMPARE(child<QAction>(h.w(), "mnuAbout")->text(), QStringLiteral("&About"));
    QCOMPARE(child<QAction>(h.w(), "mnuAbout")->shortcut(), QKeySequence(QStringLiteral("Ctrl+A")));
    QCOMPARE(child<QAction>(h.w(), "mnuSeeHelp")->text(), QStringLiteral("&See Help"));
    QCOMPARE(child<QAction>(h.w(), "mnuSeeHelp")->shortcut(),
             QKeySequence(QStringLiteral("Ctrl+S")));
    const auto menus = h.w().menuBar()->actions();
    QCOMPARE(menus.size(), 2);
    QCOMPARE(menus[0]->text(), QStringLiteral("&View"));
    QCOMPARE(menus[1]->text(), QStringLiteral("&Help"));
}

void TestStartState::stateStartsEmpty() {
    MainHarness h;
    Main& w = h.w();
    QVERIFY(MainState(w).func.isEmpty());
    QVERIFY(MainState(w).tchar.isEmpty());
    QCOMPARE(MainState(w).running_cnt, 0);
    QCOMPARE(MainState(w).single_read, 0);
    QCOMPARE(MainState(w).SendScpi, 0);
    QCOMPARE(MainState(w).datalog_start, 0);
    QVERIFY(MainState(w).FileToSave.isEmpty());
    QVERIFY(MainState(w).func_selection.isEmpty());
    QVERIFY(MainState(w).secondfunc_selection.isEmpty());
    QVERIFY(MainState(w).portString.isEmpty());
    QVERIFY(MainState(w).baudString.isEmpty());
    // The start opens nothing.
    QVERIFY(h.opener.opened.isEmpty());
}

void TestStartState::comPortTipsNameDevices() {
    MainHarness h;
    // Filled when the list drops down, not at start.
    QVERIFY(!combo(h.w(), "ComPort")->itemData(0, Qt::ToolTipRole).isValid());
    h.w().show();
    combo(h.w(), "ComPort")->showPopup();
    QCOMPARE(combo(h.w(), "ComPort")->itemData(0, Qt::ToolTipRole).toString(),
             QStringLiteral("COM1: /dev/fake1"));
    QCOMPARE(combo(h.w(), "ComPort")->itemData(14, Qt::ToolTipRole).toString(),
             QStringLiteral("COM15: /dev/fake15"));
    combo(h.w(), "ComPort")->hidePopup();
}

// Listing the system's serial ports reads every tty under /sys: the start
// reads no list, each opening of the COM list reads it once for all fifteen
// entries, and Connect once for its one number.
void TestStartState::portListReadOncePerLook() {
    for (int n = 1; n <= 15; ++n) {
        qunsetenv(QStringLiteral("VXMETER_COM%1").arg(n).toLatin1().constData());
    }
    int reads = 0;
    vx::link::SerialPortOpener opener([&reads] {
        ++reads;
        return vx::link::orderedPorts(
            {{QStringLiteral("ttyS1"), QStringLiteral("/nonexistent/ttyS1"), false},
             {QStringLiteral("ttyUSB0"), QStringLiteral("/nonexistent/ttyUSB0"), true}});
    });
    FakeClock clock;
    RecordingDialogs dialogs;
    Main w(MainServices{.clock = clock, .dialogs = dialogs, .opener = opener, .helpFilePath = {}});
    w.show();
    QCOMPARE(reads, 0);
    combo(w, "ComPort")->showPopup();
    QCOMPARE(reads, 1);
    QCOMPARE(combo(w, "ComPort")->itemData(0, Qt::ToolTipRole).toString(),
             QStringLiteral("COM1: /nonexistent/ttyUSB0"));
    QCOMPARE(combo(w, "ComPort")->itemData(1, Qt::ToolTipRole).toString(),
             QStringLiteral("COM2: /nonexistent/ttyS1"));
    QCOMPARE(combo(w, "ComPort")->itemData(2, Qt::ToolTipRole).toString(),
             QStringLiteral("COM3: no device"));
    combo(w, "ComPort")->hidePopup();
    combo(w, "ComPort")->showPopup();
    QCOMPARE(reads, 2);
    combo(w, "ComPort")->hidePopup();
    combo(w, "ComPort")->setCurrentIndex(1);
    button(w, "ConnectBtn")->click();
    QCOMPARE(reads, 3);
    QVERIFY(!child<vx::link::SerialLink>(w, "MSComm1")->isOpen());
    // A COM number the environment names needs no list.
    qputenv("VXMETER_COM4", "/nonexistent/named");
    combo(w, "ComPort")->setCurrentIndex(3);
    button(w, "ConnectBtn")->click();
    QCOMPARE(reads, 3);
    qunsetenv("VXMETER_COM4");
}

QTEST_MAIN(TestStartState)
#include "tst_startstate.moc"
