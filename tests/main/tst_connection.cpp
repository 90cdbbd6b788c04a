#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QTest>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdlib>

#include "forms/Main/Main.h"
#include "link/Errors.h"
#include "link/SerialLink.h"
#include "shell/PromptComboBox.h"
#include "shell/StatusLamp.h"
#include "support/ControlNames.h"
#include "support/EnableRecorder.h"
#include "support/MainHarness.h"
#include "support/MainState.h"

using vx::forms::Main;

namespace {

const QStringList kConnectionLists{"ComPort", "BaudRate", "TermChar"};
const QStringList kBoxes{"StatusBox", "PrimaryDisplay", "SecondaryDisplay", "PrimaryUnit",
                         "SecondaryUnit"};

// "+Run" or "StatusBox=" for each name: the recorder's entries.
QStringList each(const QStringList& names, const QString& before, const QString& after = {}) {
    QStringList out;
    for (const QString& n : names) {
        out << before + n + after;
    }
    return out;
}

}  // namespace

class TestConnection : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void connectIdentifies_data();
    void connectIdentifies();
    void everyComEntryOpensItsPort();
    void laterConnectKeepsPort();
    void noPortChosenIsError13();
    void portInUseIsError8005();
    void otherOpenFailuresSayWhy_data();
    void otherOpenFailuresSayWhy();
    void emptyComVariableOpensNothing_data();
    void emptyComVariableOpensNothing();
    void noReplyEndsIdle_data();
    void noReplyEndsIdle();
    void reconnectClosesAndReopens();
    void connectOrder_data();
    void connectOrder();
    void connectDuringRun();
    void closePortResetsControls();
    void closePortOrder();
    void closeWithPortClosedKeepsLamp();
    void cablePulledClosesAtOnce();
    void exitClosesPort();
};

void TestConnection::connectIdentifies_data() {
    QTest::addColumn<int>("term");
    QTest::addColumn<QByteArray>("query");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("shown");
    QTest::newRow("LF") << 1 << QByteArray("*IDN?\n") << QByteArray("Velmora,VX480,1,1.0\n")
                        << "Velmora,VX480,1,1.0";
    QTest::newRow("CR") << 0 << QByteArray("*IDN?\r") << QByteArray("Velmora,VX260,2,1.1\r")
                        << "Velmora,VX260,2,1.1";
    QTest::newRow("text after terminator dropped")
        << 1 << QByteArray("*IDN?\n") << QByteArray("A,B\nextra\n") << "A,B";
    QTest::newRow("blanks around trimmed")
        << 1 << QByteArray("*IDN?\n") << QByteArray("  A,B\n  ") << "A,B";
    QTest::newRow("CR LF reply with LF keeps CR")
        << 1 << QByteArray("*IDN?\n") << QByteArray("A,B\r\n") << "A,B\r";
}

void TestConnection::connectIdentifies() {
    QFETCH(int, term);
    QFETCH(QByteArray, query);
    QFETCH(QByteArray, reply);
    QFETCH(QString, shown);
    MainHarness h;
    Main& w = h.w();
    combo(w, "ComPort")->setCurrentIndex(2);
    combo(w, "TermChar")->setCurrentIndex(term);
    QByteArray wire;
    bool busyDuringWait = false;
    h.clock.onWait = [&](qint64) {
        if (wire.isEmpty()) {
            wire = h.port()->written;
            busyDuringWait = !w.isEnabled() && QApplication::overrideCursor() != nullptr;
            QCOMPARE(lamp(w, "PortOpenStat")->fillColor(), vx::shell::kLampGreen);
            QCOMPARE(lineEdit(w, "InstrID")->text(), QStringLiteral("Connecting...please wait..."));
            h.port()->deliver(reply);
        }
    };
    button(w, "ConnectBtn")->click();
    QCOMPARE(wire, query);
    QVERIFY(busyDuringWait);
    QCOMPARE(h.clock.waitedMs, 2000);
    QCOMPARE(lineEdit(w, "InstrID")->text(), shown);
    QCOMPARE(lineEdit(w, "StatusBox")->text(), QStringLiteral("Ready"));
    QVERIFY(w.isEnabled());
    QCOMPARE(QApplication::overrideCursor(), nullptr);
    QCOMPARE(lamp(w, "PortOpenStat")->fillColor(), vx::shell::kLampGreen);
    QCOMPARE(MainState(w).portString, QStringLiteral("3"));
    QCOMPARE(MainState(w).baudString, QStringLiteral("9600"));
    QCOMPARE(MainState(w).tchar, term == 0 ? QStringLiteral("\r") : QStringLiteral("\n"));
    QCOMPARE(h.opener.opened.constLast(), (QPair<int, qint32>(3, 9600)));
    for (const char* on : {"FuncBox", "SetFunc", "Reset", "Send", "ConnectBtn", "Close", "Exit"}) {
        QVERIFY2(enabled(w, on), on);
    }
    for (const char* off : {"ComPort", "BaudRate", "TermChar"}) {
        QVERIFY2(!enabled(w, off), off);
    }
    for (const QString& name : kMeasurementControls) {
        QVERIFY2(!enabled(w, name), qPrintable(name));
    }
    QVERIFY(h.dialogs.messages.isEmpty());
}

void TestConnection::everyComEntryOpensItsPort() {
    for (int com = 1; com <= 15; ++com) {
        MainHarness h;
        combo(h.w(), "BaudRate")->setCurrentIndex(6);
        QVERIFY(h.connect(com));
        QCOMPARE(h.opener.opened.constLast(), (QPair<int, qint32>(com, 38400)));
    }
}

void TestConnection::laterConnectKeepsPort() {
    MainHarness h;
    QVERIFY(h.connect(3));
    button(h.w(), "Close")->click();
    combo(h.w(), "ComPort")->setCurrentIndex(-1);
    combo(h.w(), "ComPort")->setEditText(QStringLiteral("typed"));
    QVERIFY(h.connect(0 + 3));
    button(h.w(), "Close")->click();
    combo(h.w(), "ComPort")->setCurrentIndex(-1);
    h.clock.onWait = [&](qint64) { h.port()->deliver("A\n"); };
    button(h.w(), "ConnectBtn")->click();
    QCOMPARE(h.opener.opened.constLast().first, 3);
}

void TestConnection::noPortChosenIsError13() {
    MainHarness h;
    button(h.w(), "ConnectBtn")->click();
    QCOMPARE(h.dialogs.messages.size(), 1);
    QCOMPARE(h.dialogs.messages[0].text,
             QStringLiteral("Please Select a COM port before connecting."));
    QCOMPARE(h.dialogs.messages[0].title, QStringLiteral("Connection Error"));
    QCOMPARE(h.dialogs.messages[0].icon, vx::shell::Dialogs::Icon::Exclamation);
    QCOMPARE(lineEdit(h.w(), "InstrID")->text(), QStringLiteral("Connecting...please wait..."));
    QCOMPARE(lamp(h.w(), "PortOpenStat")->fillColor(), vx::shell::kLampRed);
    QVERIFY(h.opener.opened.isEmpty());
    QVERIFY(h.w().isEnabled());
    QCOMPARE(h.clock.passes, 0);
}

void TestConnection::portInUseIsError8005() {
    MainHarness h;
    h.opener.failures.insert(4, vx::link::kPortInUse);
    combo(h.w(), "ComPort")->setCurrentIndex(3);
    button(h.w(), "ConnectBtn")->click();
    QCOMPARE(h.dialogs.messages.size(), 1);
    QCOMPARE(h.dialogs.messages[0].text,
             QStringLiteral("The selected COM port is currently in use or is opened by another "
                            "application or user.  Please check to make sure port is not in use "
                            "before connecting."));
    QCOMPARE(h.dialogs.messages[0].title, QStringLiteral("Connection Error"));
    QCOMPARE(h.dialogs.messages[0].icon, vx::shell::Dialogs::Icon::Exclamation);
    QCOMPARE(lamp(h.w(), "PortOpenStat")->fillColor(), vx::shell::kLampRed);
    QVERIFY(!child<vx::link::SerialLink>(h.w(), "MSComm1")->isOpen());
    QVERIFY(h.w().isEnabled());
    QVERIFY(combo(h.w(), "ComPort")->isEnabled());
}

void TestConnection::otherOpenFailuresSayWhy_data() {
    QTest::addColumn<int>("error");
    QTest::newRow("no device") << int(vx::link::kNoSuchPort);
    QTest::newRow("permission") << int(vx::link::kPermissionDenied);
}

void TestConnection::otherOpenFailuresSayWhy() {
    QFETCH(int, error);
    MainHarness h;
    h.opener.failures.insert(1, error);
    combo(h.w(), "ComPort")->setCurrentIndex(0);
    button(h.w(), "ConnectBtn")->click();
    QVERIFY(h.dialogs.messages.isEmpty());
    QCOMPARE(lineEdit(h.w(), "InstrID")->text(), QStringLiteral("Connecting...please wait..."));
    QCOMPARE(lamp(h.w(), "PortOpenStat")->fillColor(), vx::shell::kLampRed);
    QCOMPARE(lineEdit(h.w(), "StatusBox")->text(),
             QStringLiteral("Could not open COM1: simulated failure %1").arg(error));
    QVERIFY(h.w().isEnabled());
}

// VXMETER_COMn set but empty, with a terminal the system lists on every
// number: Connect opens nothing and writes nothing, without looking at the
// list; the status line names the variable, and so does the entry's tool tip.
void TestConnection::emptyComVariableOpensNothing_data() {
    QTest::addColumn<int>("com");
    QTest::newRow("COM1") << 1;
    QTest::newRow("COM15") << 15;
}

void TestConnection::emptyComVariableOpensNothing() {
    QFETCH(int, com);
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    QVERIFY(master >= 0);
    const auto closeMaster = qScopeGuard([master] { ::close(master); });
    QVERIFY(::grantpt(master) == 0 && ::unlockpt(master) == 0);
    const QString terminal = QFile::decodeName(::ptsname(master));
    const QByteArray variable = "VXMETER_COM" + QByteArray::number(com);
    qputenv(variable.constData(), "");
    const auto unset = qScopeGuard([&variable] { qunsetenv(variable.constData()); });
    int reads = 0;
    vx::link::SerialPortOpener opener([&reads, &terminal] {
        ++reads;
        QList<vx::link::SystemPort> ports;
        for (int n = 0; n < 15; ++n) {
            ports.append({QStringLiteral("ttyUSB%1").arg(n), terminal, true});
        }
        return ports;
    });
    FakeClock clock;
    RecordingDialogs dialogs;
    Main w(vx::forms::MainServices{
        .clock = clock, .dialogs = dialogs, .opener = opener, .helpFilePath = {}});
    w.show();
    combo(w, "ComPort")->setCurrentIndex(com - 1);
    button(w, "ConnectBtn")->click();
    QVERIFY(!child<vx::link::SerialLink>(w, "MSComm1")->isOpen());
    QCOMPARE(lamp(w, "PortOpenStat")->fillColor(), vx::shell::kLampRed);
    QCOMPARE(lineEdit(w, "StatusBox")->text(),
             QStringLiteral("Could not open COM%1: VXMETER_COM%1 is set but empty: name a device "
                            "(VXMETER_COM%1=/dev/ttyUSB0) or unset it")
                 .arg(com));
    QCOMPARE(lineEdit(w, "InstrID")->text(), QStringLiteral("Connecting...please wait..."));
    QVERIFY(dialogs.messages.isEmpty());
    QVERIFY(w.isEnabled());
    QVERIFY(combo(w, "ComPort")->isEnabled());
    QCOMPARE(clock.passes, 0);
    QCOMPARE(reads, 0);
    int written = -1;
    QCOMPARE(::ioctl(master, FIONREAD, &written), 0);
    QCOMPARE(written, 0);

    combo(w, "ComPort")->showPopup();
    QCOMPARE(combo(w, "ComPort")->itemData(com - 1, Qt::ToolTipRole).toString(),
             QStringLiteral("COM%1: VXMETER_COM%1 is set but empty").arg(com));
    const int other = com % 15;  // the next entry, still mapped from the list
    QCOMPARE(combo(w, "ComPort")->itemData(other, Qt::ToolTipRole).toString(),
             QStringLiteral("COM%1: %2").arg(other + 1).arg(terminal));
    combo(w, "ComPort")->hidePopup();
    QCOMPARE(reads, 1);
}

void TestConnection::noReplyEndsIdle_data() {
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("status");
    QTest::newRow("silence") << QByteArray()
                             << "No reply from instrument: check baud rate and termination "
                                "character";
    QTest::newRow("wrong terminator") << QByteArray("Velmora,VX480\r")
                                      << "Reply from instrument has no termination character: "
                                         "check baud rate and termination character";
    QTest::newRow("garbage and NUL") << QByteArray("\x00\xff\x13garbage", 10)
                                     << "Reply from instrument has no termination character: "
                                        "check baud rate and termination character";
}

void TestConnection::noReplyEndsIdle() {
    QFETCH(QByteArray, reply);
    QFETCH(QString, status);
    MainHarness h;
    combo(h.w(), "ComPort")->setCurrentIndex(0);
    h.clock.onWait = [&](qint64) {
        if (!reply.isEmpty()) {
            h.port()->deliver(reply);
            reply.clear();
        }
    };
    button(h.w(), "ConnectBtn")->click();
    QCOMPARE(lineEdit(h.w(), "StatusBox")->text(), status);
    QCOMPARE(lineEdit(h.w(), "InstrID")->text(), QStringLiteral("Connecting...please wait..."));
    QVERIFY(h.w().isEnabled());
    QCOMPARE(QApplication::overrideCursor(), nullptr);
    // The port stays open and the lamp green, but nothing was enabled.
    QCOMPARE(lamp(h.w(), "PortOpenStat")->fillColor(), vx::shell::kLampGreen);
    QVERIFY(child<vx::link::SerialLink>(h.w(), "MSComm1")->isOpen());
    QVERIFY(!combo(h.w(), "FuncBox")->isEnabled());
    QVERIFY(h.dialogs.messages.isEmpty());
}

void TestConnection::reconnectClosesAndReopens() {
    MainHarness h;
    QVERIFY(h.connect(5));
    QPointer<FakePort> first = h.port();
    EnableRecorder lamp(h, {"PortOpenStat"});
    h.clock.onWait = [&](qint64) { h.port()->deliver("again\n"); };
    button(h.w(), "ConnectBtn")->click();
    QCoreApplication::processEvents();
    QVERIFY(first.isNull() || !first->isOpen());
    QCOMPARE(h.opener.opened.size(), 2);
    QCOMPARE(h.opener.opened[1].first, 5);
    QCOMPARE(lineEdit(h.w(), "InstrID")->text(), QStringLiteral("again"));
    // Red while the port is closed and set up again, green once it is open.
    QCOMPARE(lamp.take().filter(QStringLiteral("PortOpenStat=")),
             (QStringList{"PortOpenStat=red", "PortOpenStat=green"}));
}

void TestConnection::connectOrder_data() {
    QTest::addColumn<bool>("again");
    QTest::addColumn<QStringList>("events");
    const QStringList identify{"wire:*IDN?\n", "busy",       "wait:2000",
                               "InstrID=",     "InstrID=ID", "idle"};
    QTest::newRow("first") << false
                           << QStringList{"InstrID=Connecting...please wait...",
                                          "PortOpenStat=green"} +
                                  identify + QStringList{"StatusBox=Ready", "+FuncBox", "+SetFunc",
                                                         "+Reset",          "+Send",    "-ComPort",
                                                         "-BaudRate",       "-TermChar"};
    // Connected already: the lists are disabled and the controls enabled.
    QTest::newRow("again") << true
                           << QStringList{"InstrID=Connecting...please wait...", "PortOpenStat=red",
                                          "PortOpenStat=green"} +
                                  identify + QStringList{"StatusBox=Ready"};
}

void TestConnection::connectOrder() {
    QFETCH(bool, again);
    QFETCH(QStringList, events);
    MainHarness h;
    if (again) {
        QVERIFY(h.connect(2));
        lineEdit(h.w(), "StatusBox")->clear();
    }
    combo(h.w(), "ComPort")->setCurrentIndex(1);
    EnableRecorder rec(h, QStringList{"InstrID", "StatusBox", "PortOpenStat"} + kConnectionLists +
                              kConfigControls);
    h.clock.onWait = [&](qint64) {
        if (h.port()->bytesAvailable() == 0 &&
            lineEdit(h.w(), "InstrID")->text().startsWith("Connecting")) {
            h.port()->deliver("ID\n");
        }
    };
    button(h.w(), "ConnectBtn")->click();
    QCOMPARE(rec.take(), events);
}

// Connect pressed during a run: the continuous reading takes the
// identification as a reading, the identification step finds nothing, and
// the run goes on on the reopened port.
void TestConnection::connectDuringRun() {
    MainHarness h;
    QVERIFY(h.connect(1));
    Main& w = h.w();
    button(w, "Run")->setEnabled(true);
    EnableRecorder rec(h, {"Run", "StopBtn", "InstrID", "PrimaryDisplay", "PortOpenStat"});
    int pass = 0;
    h.clock.onWait = [&](qint64) {
        switch (pass++) {
            case 0:
                h.port()->deliver("+1.0E+00\n");
                break;
            case 1:
                button(w, "ConnectBtn")->click();  // passes 2 and 3 are its wait
                break;
            case 2:
                h.port()->deliver("Velmora,VX480\n");
                break;
            case 4:
                button(w, "StopBtn")->click();
                break;
            default:
                if (pass > 10) {
                    MainState(w).running_cnt =
                        0;  // Stop did not take: end the loop, the test fails
                }
                break;
        }
    };
    button(w, "Run")->click();
    h.clock.onWait = nullptr;
    QCOMPARE(
        rec.take(),
        (QStringList{"+StopBtn", "-Run", "wire:FETC?\n", "PrimaryDisplay=+1.0E+00", "wait:1000",
                     "wire:FETC?\n", "InstrID=Connecting...please wait...", "PortOpenStat=red",
                     "PortOpenStat=green", "wire:*IDN?\n", "busy", "PrimaryDisplay=Velmora,VX480",
                     "wait:2000", "idle", "wait:1000", "wire:FETC?\n", "+Run", "wait:1000"}));
    QCOMPARE(h.opener.opened.size(), 2);
    QCOMPARE(lineEdit(w, "StatusBox")->text(), QString());  // Stop emptied the reason
    QVERIFY(h.dialogs.messages.isEmpty());
}

void TestConnection::closePortResetsControls() {
    MainHarness h;
    QVERIFY(h.connect(2));
    Main& w = h.w();
    for (const QString& name : kMeasurementControls) {
        w.findChild<QWidget*>(name)->setEnabled(true);
    }
    lamp(w, "FuncTwoStat")->setFillColor(vx::shell::kLampGreen);
    lamp(w, "HoldStat")->setFillColor(vx::shell::kLampGreen);
    lamp(w, "RefStat")->setFillColor(vx::shell::kLampGreen);
    lineEdit(w, "PrimaryDisplay")->setText("1");
    lineEdit(w, "SecondaryDisplay")->setText("2");
    lineEdit(w, "PrimaryUnit")->setText("VDC");
    lineEdit(w, "SecondaryUnit")->setText("Hz");
    MainState(w).func = "VOLT:DC";
    combo(w, "FuncBox")->setCurrentIndex(3);
    button(w, "Close")->click();
    QVERIFY(!child<vx::link::SerialLink>(w, "MSComm1")->isOpen());
    QCOMPARE(lamp(w, "PortOpenStat")->fillColor(), vx::shell::kLampRed);
    QCOMPARE(lineEdit(w, "InstrID")->text(), QStringLiteral("No Instrument Connected"));
    for (const char* on : {"ComPort", "BaudRate", "TermChar", "ConnectBtn", "Close", "Exit"}) {
        QVERIFY2(enabled(w, on), on);
    }
    for (const QString& name : kMeasurementControls) {
        QVERIFY2(!enabled(w, name), qPrintable(name));
    }
    for (const char* off : {"FuncBox", "SetFunc", "Reset", "Send"}) {
        QVERIFY2(!enabled(w, off), off);
    }
    for (QLineEdit* box :
         {lineEdit(w, "StatusBox"), lineEdit(w, "PrimaryDisplay"), lineEdit(w, "SecondaryDisplay"),
          lineEdit(w, "PrimaryUnit"), lineEdit(w, "SecondaryUnit")}) {
        QVERIFY(box->text().isEmpty());
    }
    QCOMPARE(lamp(w, "FuncTwoStat")->fillColor(), vx::shell::kLampGreen);
    QCOMPARE(lamp(w, "HoldStat")->fillColor(), vx::shell::kLampGreen);
    QCOMPARE(lamp(w, "RefStat")->fillColor(), vx::shell::kLampGreen);
    QCOMPARE(MainState(w).func, QStringLiteral("VOLT:DC"));
    QCOMPARE(combo(w, "FuncBox")->currentIndex(), 3);
    QVERIFY(h.takeWire().isEmpty());
}

void TestConnection::closePortOrder() {
    MainHarness h;
    QVERIFY(h.connect(2));
    Main& w = h.w();
    for (const QString& name : kConfigControls) {
        w.findChild<QWidget*>(name)->setEnabled(true);
    }
    for (const QString& name : kBoxes) {
        w.findChild<QLineEdit*>(name)->setText(QStringLiteral("x"));
    }
    EnableRecorder rec(
        h, QStringList{"PortOpenStat", "InstrID"} + kConnectionLists + kConfigControls + kBoxes);
    button(w, "Close")->click();
    // The disables in their fixed order, the lists' own copy included.
    QCOMPARE(rec.take(), QStringList{"PortOpenStat=red"} + each(kConnectionLists, "+") +
                             QStringList{"InstrID=No Instrument Connected"} +
                             each(kConfigControls, "-") + each(kBoxes, "", "="));
}

void TestConnection::closeWithPortClosedKeepsLamp() {
    MainHarness h;
    lamp(h.w(), "PortOpenStat")->setFillColor(vx::shell::kLampGreen);
    button(h.w(), "Close")->click();
    QCOMPARE(lamp(h.w(), "PortOpenStat")->fillColor(), vx::shell::kLampGreen);
    QCOMPARE(lineEdit(h.w(), "InstrID")->text(), QStringLiteral("No Instrument Connected"));
}

void TestConnection::cablePulledClosesAtOnce() {
    MainHarness h;
    QVERIFY(h.connect(1));
    h.port()->hangUp();
    QVERIFY(!child<vx::link::SerialLink>(h.w(), "MSComm1")->isOpen());
    QCOMPARE(lamp(h.w(), "PortOpenStat")->fillColor(), vx::shell::kLampRed);
    QVERIFY2(lineEdit(h.w(), "StatusBox")->text().startsWith(QStringLiteral("Connection lost:")),
             qPrintable(lineEdit(h.w(), "StatusBox")->text()));
    QVERIFY(h.dialogs.messages.isEmpty());
}

void TestConnection::exitClosesPort() {
    MainHarness h;
    QVERIFY(h.connect(1));
    QPointer<FakePort> port = h.port();
    h.w().show();
    button(h.w(), "Exit")->click();
    QVERIFY(!child<vx::link::SerialLink>(h.w(), "MSComm1")->isOpen());
    QVERIFY(!h.w().isVisible());
    QVERIFY(MainState(h.w()).isEnding());
    QVERIFY(port.isNull() || !port->isOpen());
    // The frame's close does the same and nothing is written.
    MainHarness h2;
    QVERIFY(h2.connect(2));
    h2.w().show();
    h2.w().close();
    QVERIFY(!child<vx::link::SerialLink>(h2.w(), "MSComm1")->isOpen());
    QVERIFY(h2.takeWire().isEmpty());
}

QTEST_MAIN(TestConnection)
#include "tst_connection.moc"
