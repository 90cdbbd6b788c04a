// Readings, console and data log of the main window, driven in-process over
// the fake clock, fake dialogs and an in-memory port: exact bytes on the
// wire, exact log file contents and enable states after click sequences.
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>

#include <functional>
#include <optional>

#include "forms/Main/Main.h"
#include "link/SerialLink.h"
#include "log/DataLog.h"
#include "meter/Reading.h"
#include "shell/StatusLamp.h"
#include "support/DataRows.h"
#include "support/Files.h"
#include "support/MainHarness.h"
#include "support/MainState.h"

using vx::forms::Main;
using vx::log::logTimeStamp;

namespace {

using Step = std::function<void()>;

// Controls a primary-function Set leaves enabled that Run and Stop switch.
const QStringList kReadingControls{"SingleRead", "Run",     "SaveData", "EndLog",  "SetRate",
                                   "Rate",       "Trigger", "SetTrig",  "SendTrig"};

// The stamp of a reply in the s-th second of a run started at 14:05:09 09/22/2016.
QByteArray stamp(int s) {
    return QTime(14, 5, 9).addSecs(s).toString(u"HH:mm:ss").toLatin1() + " 09/22/2016";
}

// Connected over LF (or CR) with the reading controls enabled as after a
// primary-function Set of DC voltage.
struct Bench : MainHarness {
    explicit Bench(int term = 1) {
        connected = connect(1, term);
        for (const QString& n : kReadingControls) {
            w().findChild<QWidget*>(n)->setEnabled(true);
        }
        MainState(w()).func_selection = QStringLiteral("DC Voltage(V)");
        MainState(w()).secondfunc_selection = QStringLiteral("Frequency(Hz)");
        // Time stamps count from Run, whatever Connect waited.
        clock.set(QDateTime(QDate(2016, 9, 22), QTime(14, 5, 9)));
        clock.passes = 0;
        clock.waitedMs = 0;
    }
    bool connected = false;

    // Presses Run. On the n-th pass of any wait, script[n] runs: the meter
    // answers or the operator clicks. After the script, Stop is pressed.
    // Returns the number of passes.
    int run(const QList<Step>& script) {
        int pass = 0;
        clock.onWait = [&](qint64) {
            const int i = pass++;
            if (i < script.size()) {
                script[i]();
            } else if (i > script.size() + 5) {
                MainState(w()).running_cnt = 0;  // a loop that will not stop: end the test
            } else {
                button(w(), "StopBtn")->click();
            }
        };
        button(w(), "Run")->click();
        clock.onWait = nullptr;
        return pass;
    }

    void answer(const QByteArray& bytes) {
        if (port() != nullptr) {
            port()->deliver(bytes);
        }
    }

    void startLog(const QString& path) {
        dialogs.saveAnswers.append(path);
        button(w(), "SaveData")->click();
    }

    // Runs with a log: it starts on the first pass, the meter answers "1" on
    // the second, and `then` follows.
    int runLogging(const QString& path, const QList<Step>& then) {
        return run(QList<Step>{[&] { startLog(path); }, [&] { answer("1\n"); }} + then);
    }
};

// One reply and how it splits; no secondary value while the display is off.
struct SplitRow {
    QString reply;
    bool secondaryOn = false;
    QString primary;
    std::optional<QString> secondary;
};

}  // namespace

class TestReading : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { dir_ = std::make_unique<QTemporaryDir>(); }

    void repliesByBranch_data();
    void repliesByBranch();
    void branchOrder();
    void secondarySplit_data();
    void secondarySplit();
    void replySplit_data();
    void replySplit();
    void singleRead();
    void singleReadWithoutReply();
    void console_data();
    void console();
    void consoleWithoutReply();
    void consoleEnterAndHistory();
    void consoleOnlyLatin1_data();
    void consoleOnlyLatin1();
    void runEnableStates();
    void stopDuringReply();
    void logFile_data();
    void logFile();
    void logTimeStamp_data();
    void logTimeStamp();
    void logStartedTwice();
    void saveDialogAndCancel();
    void runErrorBeforeRun();
    void stopLogWaitsOneSecond();
    void exitClosesLog_data();
    void exitClosesLog();
    void openFailureSaysWhy_data();
    void openFailureSaysWhy();
    void alreadyLogging();
    void diskFullAtStart();
    void diskFullWhileLogging();
    void diskFullMidLine();
    void portGoneDuringRun_data();
    void portGoneDuringRun();
    void writeFailureEndsRun();
    void unterminatedStreamIsBounded();

private:
    QString file(const QString& name) const { return dir_->filePath(name); }
    std::unique_ptr<QTemporaryDir> dir_;
};

// Each branch collects its own reply until the terminator has come, then
// drops exactly one character from the end.
void TestReading::repliesByBranch_data() {
    QTest::addColumn<QString>("branch");
    QTest::addColumn<int>("term");
    QTest::addColumn<QList<QByteArray>>("pieces");
    QTest::addColumn<QString>("shown");
    const QList<QPair<QString, QString>> branches{
        {"single", "Primary"}, {"console", "Return"}, {"run", "Primary"}};
    for (const auto& [branch, box] : branches) {
        const auto row = [&](const char* name) -> QTestData& {
            return QTest::addRow("%s %s", qPrintable(branch), name) << branch;
        };
        row("LF") << 1 << QList<QByteArray>{"+1.2345E+00\n"} << "+1.2345E+00";
        row("CR") << 0 << QList<QByteArray>{"+1.2345E+00\r"} << "+1.2345E+00";
        row("three pieces") << 1 << QList<QByteArray>{"+1.2", "345E", "+00\n"} << "+1.2345E+00";
        row("CR LF reply, LF terminator keeps CR")
            << 1 << QList<QByteArray>{"-4.5E-03\r\n"} << "-4.5E-03\r";
        row("LF inside a CR reply is text") << 0 << QList<QByteArray>{"a\nb", "\r"} << "a\nb";
        row("text after the terminator: last character dropped")
            << 1 << QList<QByteArray>{"1.0\nX"} << "1.0\n";
        row("high bytes pass as single bytes")
            << 1 << QList<QByteArray>{"12\xb5V\n"} << QString::fromLatin1("12\xb5V");
    }
}

void TestReading::repliesByBranch() {
    QFETCH(QString, branch);
    QFETCH(int, term);
    QFETCH(QList<QByteArray>, pieces);
    QFETCH(QString, shown);
    Bench h(term);
    QVERIFY(h.connected);
    Main& w = h.w();
    lineEdit(w, "PrimaryDisplay")->setText("before");
    lineEdit(w, "ReturnMsg")->setText("before");
    qint16& flag = branch == "single"    ? MainState(w).single_read
                   : branch == "console" ? MainState(w).SendScpi
                                         : MainState(w).running_cnt;
    QLineEdit* box = branch == "console" ? lineEdit(w, "ReturnMsg") : lineEdit(w, "PrimaryDisplay");
    flag = 1;
    for (qsizetype i = 0; i + 1 < pieces.size(); ++i) {
        h.deliver(pieces[i]);
        QCOMPARE(box->text(), QString("before"));
        QCOMPARE(flag, qint16(1));
    }
    h.deliver(pieces.last());
    QCOMPARE(box->text(), shown);
    // Single and console requests are answered; continuous reading goes on.
    QCOMPARE(flag, qint16(branch == "run" ? 1 : 0));
    QVERIFY(MainState(w).singleBuffer.isEmpty() && MainState(w).consoleBuffer.isEmpty() &&
            MainState(w).runBuffer.isEmpty());
    QVERIFY(w.isEnabled());
}

void TestReading::branchOrder() {
    Bench h;
    QVERIFY(h.connected);
    Main& w = h.w();
    QSignalSpy shown(&w, &Main::readingShown);
    MainState(w).single_read = MainState(w).SendScpi = MainState(w).running_cnt = 1;
    h.deliver("A1\nA2\n");  // the single branch takes all of it
    QCOMPARE(lineEdit(w, "PrimaryDisplay")->text(), QString("A1\nA2"));
    QCOMPARE(MainState(w).single_read, qint16(0));
    QVERIFY(lineEdit(w, "ReturnMsg")->text().isEmpty());
    QVERIFY(MainState(w).consoleBuffer.isEmpty() && MainState(w).runBuffer.isEmpty());
    h.deliver("B");  // console next, in pieces
    h.deliver("\n");
    QCOMPARE(lineEdit(w, "ReturnMsg")->text(), QString("B"));
    QCOMPARE(lineEdit(w, "PrimaryDisplay")->text(), QString("A1\nA2"));
    QCOMPARE(MainState(w).SendScpi, qint16(0));
    h.deliver("C\n");  // then continuous reading
    QCOMPARE(lineEdit(w, "PrimaryDisplay")->text(), QString("C"));
    QCOMPARE(MainState(w).running_cnt, qint16(1));
    // Only the display-box replies are announced, console replies are not.
    QCOMPARE(shown.size(), 2);
    QCOMPARE(shown[0][1].toString(), QString("A1\nA2"));
    QCOMPARE(shown[1][1].toString(), QString("C"));
    QCOMPARE(shown[1][0].toDateTime(), h.clock.now());
    // A reply while no request is flagged stays at the port for the next one.
    MainState(w).running_cnt = 0;
    h.deliver("D\n");
    QCOMPARE(lineEdit(w, "PrimaryDisplay")->text(), QString("C"));
    MainState(w).running_cnt = 1;
    h.deliver("E\n");
    QCOMPARE(lineEdit(w, "PrimaryDisplay")->text(), QString("D\nE"));
}

void TestReading::secondarySplit_data() {
    QTest::addColumn<bool>("green");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("primary");
    QTest::addColumn<QString>("secondary");
    QTest::newRow("on, one comma") << true << QByteArray("+1.5E+00,+1.0E+03\n") << "+1.5E+00"
                                   << "+1.0E+03";
    QTest::newRow("on, two commas") << true << QByteArray("1,2,3\n") << "1"
                                    << "2,3";
    QTest::newRow("on, no comma: old secondary cleared") << true << QByteArray("7.7\n") << "7.7"
                                                         << "";
    QTest::newRow("off: whole reply, secondary kept") << false << QByteArray("1,2\n") << "1,2"
                                                      << "old";
}

void TestReading::secondarySplit() {
    QFETCH(bool, green);
    QFETCH(QByteArray, reply);
    QFETCH(QString, primary);
    QFETCH(QString, secondary);
    for (const char* branch : {"single", "run"}) {
        Bench h;
        QVERIFY(h.connected);
        Main& w = h.w();
        QSignalSpy shown(&w, &Main::readingShown);
        lamp(w, "FuncTwoStat")->setFillColor(green ? vx::shell::kLampGreen : vx::shell::kLampRed);
        lineEdit(w, "SecondaryDisplay")->setText("old");
        (qstrcmp(branch, "single") == 0 ? MainState(w).single_read : MainState(w).running_cnt) = 1;
        h.deliver(reply);
        QCOMPARE(lineEdit(w, "PrimaryDisplay")->text(), primary);
        QCOMPARE(lineEdit(w, "SecondaryDisplay")->text(), secondary);
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0][1].toString(), QString::fromLatin1(reply.chopped(1)));
        const auto shownAs = shown[0][2].value<vx::meter::Reading>();
        QCOMPARE(shownAs.primary, primary);
        QCOMPARE(shownAs.secondary.has_value(), green);
    }
}

// The split itself, as the display boxes, the Trend window and vxlog take it.
void TestReading::replySplit_data() {
    QTest::addColumn<SplitRow>("row");
    QTest::newRow("off: whole reply, commas included")
        << SplitRow{.reply = "1,2", .secondaryOn = false, .primary = "1,2", .secondary = {}};
    QTest::newRow("on: first comma, CR kept") << SplitRow{.reply = "+1.5E+00,+1.0E+03\r",
                                                          .secondaryOn = true,
                                                          .primary = "+1.5E+00",
                                                          .secondary = "+1.0E+03\r"};
    QTest::newRow("on: second comma stays secondary")
        << SplitRow{.reply = "1,2,3", .secondaryOn = true, .primary = "1", .secondary = "2,3"};
    QTest::newRow("on, no comma: empty secondary")
        << SplitRow{.reply = "7.7", .secondaryOn = true, .primary = "7.7", .secondary = ""};
    QTest::newRow("on, leading comma: empty primary")
        << SplitRow{.reply = ",5", .secondaryOn = true, .primary = "", .secondary = "5"};
}

void TestReading::replySplit() {
    QFETCH(SplitRow, row);
    const vx::meter::Reading r =
        vx::meter::splitReply(row.reply, row.secondaryOn, {"VOLT:DC", "VDC", "Hz"});
    QCOMPARE(r.primary, row.primary);
    QCOMPARE(r.secondary.has_value(), row.secondary.has_value());
    QCOMPARE(r.secondary.value_or("(none)"), row.secondary.value_or("(none)"));
    QCOMPARE(r.measure.function, QString("VOLT:DC"));
    QCOMPARE(r.measure.primaryUnit, QString("VDC"));
    QCOMPARE(r.measure.secondaryUnit, QString("Hz"));
}

void TestReading::singleRead() {
    Bench h;
    QVERIFY(h.connected);
    Main& w = h.w();
    lineEdit(w, "PrimaryDisplay")->setText("old");
    lineEdit(w, "SecondaryDisplay")->setText("old");
    bool busyDuringWait = false;
    h.clock.onWait = [&](qint64) {
        if (h.clock.passes == 1) {
            busyDuringWait = !w.isEnabled();
            QVERIFY(lineEdit(w, "PrimaryDisplay")->text().isEmpty() &&
                    lineEdit(w, "SecondaryDisplay")->text().isEmpty());
            h.answer("+2.0E+00\n");
        }
    };
    const int passesBefore = h.clock.passes;
    const qint64 waitedBefore = h.clock.waitedMs;
    button(w, "SingleRead")->click();
    h.clock.onWait = nullptr;
    QCOMPARE(h.takeWire(), QByteArray("FETC?\n"));
    QVERIFY(busyDuringWait);
    QCOMPARE(lineEdit(w, "PrimaryDisplay")->text(), QString("+2.0E+00"));
    QCOMPARE(MainState(w).single_read, qint16(0));
    QCOMPARE(h.clock.waitedMs - waitedBefore, 2000);
    QVERIFY(h.clock.passes > passesBefore);
    QVERIFY(w.isEnabled());
}

void TestReading::singleReadWithoutReply() {
    Bench h;
    QVERIFY(h.connected);
    Main& w = h.w();
    button(w, "SingleRead")->click();
    QCOMPARE(h.takeWire(), QByteArray("FETC?\n"));
    QCOMPARE(MainState(w).single_read, qint16(1));
    QVERIFY(w.isEnabled());
    // The first reply of a later run lands in the single reading.
    MainState(w).SendScpi = 1;
    h.run({[&] { h.answer("9.9\n"); }});
    QCOMPARE(MainState(w).single_read, qint16(0));
    QCOMPARE(lineEdit(w, "PrimaryDisplay")->text(), QString("9.9"));
    QVERIFY(lineEdit(w, "ReturnMsg")->text().isEmpty());
    QCOMPARE(MainState(w).SendScpi, qint16(1));
}

void TestReading::console_data() {
    QTest::addColumn<int>("term");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QByteArray>("wire");
    QTest::newRow("query LF") << 1 << "*IDN?" << QByteArray("*IDN?\n");
    QTest::newRow("query CR") << 0 << "*IDN?" << QByteArray("*IDN?\r");
    QTest::newRow("blanks kept") << 1 << "  :func volt:ac " << QByteArray("  :func volt:ac \n");
    QTest::newRow("empty sends the terminator alone") << 1 << "" << QByteArray("\n");
}

void TestReading::console() {
    QFETCH(int, term);
    QFETCH(QString, typed);
    QFETCH(QByteArray, wire);
    Bench h(term);
    QVERIFY(h.connected);
    Main& w = h.w();
    lineEdit(w, "ReturnMsg")->setText("old reply");
    lineEdit(w, "SendMsg")->setText(typed);
    button(w, "Send")->click();
    QCOMPARE(h.takeWire(), wire);
    QCOMPARE(lineEdit(w, "SendMsg")->text(), typed);
    QVERIFY(lineEdit(w, "ReturnMsg")->text().isEmpty());
    QCOMPARE(MainState(w).SendScpi, qint16(1));
    h.deliver(term == 1 ? "Velmora,VX480\n" : "Velmora,VX480\r");
    QCOMPARE(lineEdit(w, "ReturnMsg")->text(), QString("Velmora,VX480"));
    QCOMPARE(MainState(w).SendScpi, qint16(0));
}

void TestReading::consoleWithoutReply() {
    Bench h;
    QVERIFY(h.connected);
    Main& w = h.w();
    lineEdit(w, "SendMsg")->setText(":FUNC VOLT:DC");
    button(w, "Send")->click();
    QCOMPARE(MainState(w).SendScpi, qint16(1));
    // A second Send empties the box again; the replies add up.
    h.deliver("part");
    lineEdit(w, "SendMsg")->setText("*IDN?");
    button(w, "Send")->click();
    QCOMPARE(h.takeWire(), QByteArray(":FUNC VOLT:DC\n*IDN?\n"));
    h.deliver("-ID\n");
    QCOMPARE(lineEdit(w, "ReturnMsg")->text(), QString("part-ID"));
    // The next run's first reply goes to the console, not the displays.
    lineEdit(w, "SendMsg")->setText("SYST:BEEP");
    button(w, "Send")->click();
    lineEdit(w, "PrimaryDisplay")->setText("old");
    h.run({[&] { h.answer("1.0\n"); }, [&] { h.answer("2.0\n"); }});
    QCOMPARE(lineEdit(w, "ReturnMsg")->text(), QString("1.0"));
    QCOMPARE(lineEdit(w, "PrimaryDisplay")->text(), QString("2.0"));
}

void TestReading::consoleEnterAndHistory() {
    Bench h;
    QVERIFY(h.connected);
    Main& w = h.w();
    QLineEdit* box = lineEdit(w, "SendMsg");
    const auto enter = [&](const QString& text) {
        box->setText(text);
        QTest::keyClick(box, Qt::Key_Return);
    };
    enter("*IDN?");
    enter(":FUNC VOLT:AC");
    enter(":FUNC VOLT:AC");  // repeated: kept once
    enter("FETC?");
    QCOMPARE(h.takeWire(), QByteArray("*IDN?\n:FUNC VOLT:AC\n:FUNC VOLT:AC\nFETC?\n"));
    box->setText("draft");
    const QStringList expected{"FETC?", ":FUNC VOLT:AC", "*IDN?", "*IDN?"};
    for (const QString& text : expected) {
        QTest::keyClick(box, Qt::Key_Up);
        QCOMPARE(box->text(), text);
    }
    QTest::keyClick(box, Qt::Key_Down);
    QCOMPARE(box->text(), QString(":FUNC VOLT:AC"));
    QTest::keyClick(box, Qt::Key_Down);
    QTest::keyClick(box, Qt::Key_Down);
    QVERIFY(box->text().isEmpty());
    QTest::keyClick(box, Qt::Key_Up);
    QTest::keyClick(box, Qt::Key_Return);  // a recalled command is sent as shown
    QCOMPARE(h.takeWire(), QByteArray("FETC?\n"));
    QVERIFY(h.takeWire().isEmpty());
    // Enter while Send is disabled (running, or not connected) sends nothing.
    button(w, "Send")->setEnabled(false);
    enter("*RST");
    QVERIFY(h.takeWire().isEmpty());
    // Nothing is carried into another run of the program.
    Bench fresh;
    QTest::keyClick(lineEdit(fresh.w(), "SendMsg"), Qt::Key_Up);
    QVERIFY(lineEdit(fresh.w(), "SendMsg")->text().isEmpty());
}

// The line goes out one byte per character: a character Latin-1 cannot hold
// is refused before anything is sent, and the typed text stays.
void TestReading::consoleOnlyLatin1_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("refused");  // empty: sent
    QTest::addColumn<QByteArray>("wire");
    QTest::newRow("ohm sign") << QStringLiteral(":RES:RANG 10\u03a9")
                              << QStringLiteral("\"\u03a9\" (U+03A9)") << QByteArray();
    QTest::newRow("outside the BMP") << QStringLiteral("*IDN?\U0001F600x")
                                     << QStringLiteral("\"\U0001F600\" (U+1F600)") << QByteArray();
    QTest::newRow("micro sign is Latin-1") << QStringLiteral("\u00b5A") << QString()
                                           << QByteArray(
                                                  "\xb5"
                                                  "A\n");
}

void TestReading::consoleOnlyLatin1() {
    QFETCH(QString, typed);
    QFETCH(QString, refused);
    QFETCH(QByteArray, wire);
    Bench h;
    QVERIFY(h.connected);
    Main& w = h.w();
    lineEdit(w, "ReturnMsg")->setText(QStringLiteral("old reply"));
    lineEdit(w, "SendMsg")->setText(typed);
    button(w, "Send")->click();
    QCOMPARE(h.takeWire(), wire);
    QCOMPARE(lineEdit(w, "SendMsg")->text(), typed);
    if (refused.isEmpty()) {
        QVERIFY(h.dialogs.messages.isEmpty());
        QCOMPARE(MainState(w).SendScpi, qint16(1));
        return;
    }
    QCOMPARE(lineEdit(w, "ReturnMsg")->text(), QStringLiteral("old reply"));
    QCOMPARE(MainState(w).SendScpi, qint16(0));
    QCOMPARE(h.dialogs.messages.size(), 1);
    QVERIFY2(h.dialogs.messages[0].text.contains(refused), qPrintable(h.dialogs.messages[0].text));
    QCOMPARE(h.dialogs.messages[0].icon, vx::shell::Dialogs::Icon::Exclamation);
}

void TestReading::runEnableStates() {
    Bench h;
    QVERIFY(h.connected);
    Main& w = h.w();
    button(w, "StopBtn")->setEnabled(false);
    const QStringList all =
        kReadingControls +
        QStringList{"StopBtn", "Send", "Reset", "Close", "Exit", "ConnectBtn", "SetFunc"};
    QStringList duringRun;
    QByteArray wireDuringRun;
    const int passes = h.run({[&] {
                                  duringRun = enabledOf(w, all);
                                  h.answer("1\n");
                              },
                              [&] { h.answer("2\n"); },
                              [&] {
                                  wireDuringRun = h.takeWire();
                                  h.answer("3\n");
                                  button(w, "StopBtn")->click();
                                  h.answer("4\n");  // nothing flagged any more: not shown
                              }});
    QCOMPARE(passes, 3);
    QCOMPARE(duringRun, (QStringList{"SaveData", "EndLog", "StopBtn", "Close", "Exit", "ConnectBtn",
                                     "SetFunc"}));
    QCOMPARE(wireDuringRun, QByteArray("FETC?\nFETC?\nFETC?\n"));
    QVERIFY(h.takeWire().isEmpty());  // nothing after Stop
    QCOMPARE(lineEdit(w, "PrimaryDisplay")->text(), QString("3"));
    QCOMPARE(MainState(w).running_cnt, qint16(0));
    // Stop enables everything Run disabled and leaves itself enabled.
    QCOMPARE(enabledOf(w, all), all);
    QVERIFY(lineEdit(w, "StatusBox")->text().isEmpty());
    // Pressing Stop again repeats it harmlessly.
    button(w, "StopBtn")->click();
    QCOMPARE(enabledOf(w, all), all);
}

void TestReading::stopDuringReply() {
    Bench h;
    QVERIFY(h.connected);
    Main& w = h.w();
    h.run({[&] { h.answer("+1.2"); }, [&] { button(w, "StopBtn")->click(); }});
    QCOMPARE(MainState(w).runBuffer, QString("+1.2"));
    h.deliver("34");  // nothing is flagged: it waits at the port
    QCOMPARE(MainState(w).runBuffer, QString("+1.2"));
    h.run({[&] { h.answer("E+00\n"); }});
    QCOMPARE(lineEdit(w, "PrimaryDisplay")->text(), QString("+1.234E+00"));
    QVERIFY(MainState(w).runBuffer.isEmpty());
}

// Exact file contents: an existing file is appended to, each start writes an
// empty line and the header, each reading its line with a time stamp.
void TestReading::logFile_data() {
    QTest::addColumn<bool>("green");
    QTest::addColumn<QByteArray>("old");
    QTest::addColumn<QList<QByteArray>>("replies");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("new file, primary only")
        << false << QByteArray() << QList<QByteArray>{"+1.5E+00\n", "+1.6E+00\n"}
        << "\r\nDC Voltage(V)\r\n+1.5E+00," + stamp(1) + "\r\n+1.6E+00," + stamp(2) + "\r\n";
    QTest::newRow("existing file, secondary on")
        << true << QByteArray("old line\r\n") << QList<QByteArray>{"1.5,1000.1\n", "1.6,2,3\n"}
        << "old line\r\n\r\nDC Voltage(V),Frequency(Hz)\r\n1.5,1000.1," + stamp(1) +
               "\r\n1.6,2,3," + stamp(2) + "\r\n";
    QTest::newRow("CR LF replies: no line break reaches the file")
        << false << QByteArray("x") << QList<QByteArray>{"7\r\n", "\n8\r\n"}
        << "x\r\nDC Voltage(V)\r\n7," + stamp(1) + "\r\n8," + stamp(2) + "\r\n";
}

void TestReading::logFile() {
    QFETCH(bool, green);
    QFETCH(QByteArray, old);
    QFETCH(QList<QByteArray>, replies);
    QFETCH(QByteArray, expected);
    const QString path = file("log.csv");
    if (!old.isEmpty()) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(old);
    }
    Bench h;
    QVERIFY(h.connected);
    Main& w = h.w();
    lamp(w, "FuncTwoStat")->setFillColor(green ? vx::shell::kLampGreen : vx::shell::kLampRed);
    QList<Step> script{[&] {
        h.startLog(path);
        QCOMPARE(MainState(w).datalog_start, qint16(1));
        QCOMPARE(lineEdit(w, "FilePath")->text(), path);
        QCOMPARE(MainState(w).FileToSave, path);
        // Single reads and console replies never reach the file.
        MainState(w).SendScpi = 1;
        h.answer("console\n");
    }};
    for (const QByteArray& r : replies) {
        script << Step([&h, r, &w] {
            h.answer(r);
            QCOMPARE(lineEdit(w, "StatusBox")->text(), QString("Data Logging in progress..."));
            // Each line is in the file as soon as it is shown.
            QVERIFY(readFile(MainState(w).FileToSave)
                        .endsWith(stamp(int(h.clock.passes - 1)) + "\r\n"));
        });
    }
    h.run(script);
    QCOMPARE(readFile(path), expected);
    QCOMPARE(MainState(w).datalog_start, qint16(0));
    // After Stop the file is closed: a later single reading is not logged.
    MainState(w).single_read = 1;
    h.deliver("9\n");
    QCOMPARE(readFile(path), expected);
    QVERIFY(h.dialogs.messages.isEmpty());
}

void TestReading::logTimeStamp_data() {
    QTest::addColumn<QDateTime>("when");
    QTest::addColumn<QString>("stamp");
    QTest::newRow("every field below 10")
        << QDateTime(QDate(2017, 1, 2), QTime(3, 4, 5)) << "03:04:05 01/02/2017";
    QTest::newRow("midnight") << QDateTime(QDate(2020, 2, 29), QTime(0, 0, 0))
                              << "00:00:00 02/29/2020";
    QTest::newRow("afternoon, 24 hours")
        << QDateTime(QDate(2016, 12, 31), QTime(23, 59, 58)) << "23:59:58 12/31/2016";
}

void TestReading::logTimeStamp() {
    QFETCH(QDateTime, when);
    QFETCH(QString, stamp);
    QCOMPARE(::logTimeStamp(when), stamp);
}

void TestReading::logStartedTwice() {
    const QString path = file("twice.txt");
    Bench h;
    QVERIFY(h.connected);
    Main& w = h.w();
    h.runLogging(path,
                 {[&] { button(w, "EndLog")->click(); },  // its one-second wait is the next pass
                  [&] { h.answer("2\n"); },               // shown, not logged
                  [&] {
                      QCOMPARE(lineEdit(w, "StatusBox")->text(), QString("Ready"));
                      lamp(w, "FuncTwoStat")->setFillColor(vx::shell::kLampGreen);
                      h.startLog(path);
                  },
                  [&] { h.answer("3,4\n"); }});
    QCOMPARE(lineEdit(w, "PrimaryDisplay")->text(), QString("3"));
    QCOMPARE(readFile(path), "\r\nDC Voltage(V)\r\n1," + stamp(1) +
                                 "\r\n\r\nDC Voltage(V),Frequency(Hz)\r\n3,4," + stamp(5) + "\r\n");
}

void TestReading::saveDialogAndCancel() {
    Bench h;
    QVERIFY(h.connected);
    Main& w = h.w();
    h.run({[&] { button(w, "SaveData")->click(); }, [&] { h.answer("1\n"); }});
    QCOMPARE(h.dialogs.saveRequests.size(), 1);
    const vx::shell::SaveFileRequest& r = h.dialogs.saveRequests[0];
    QCOMPARE(r.title, QString("Save Data As"));
    QCOMPARE(r.filter, QString("CSV(*.csv)|*.csv|Text Files(*.txt)|*.txt|All Files(*.*)|*.*"));
    QCOMPARE(r.initialDir, QString("C:\\Program Files"));
    QCOMPARE(r.fileName, QString(""));
    QCOMPARE(lineEdit(w, "FilePath")->text(), QString("Data File Path..."));
    QVERIFY(MainState(w).FileToSave.isEmpty());
    QCOMPARE(MainState(w).datalog_start, qint16(0));
    QVERIFY(h.dialogs.messages.isEmpty());
    QCOMPARE(lineEdit(w, "StatusBox")->text(), QString());
}

void TestReading::runErrorBeforeRun() {
    Bench h;
    QVERIFY(h.connected);
    button(h.w(), "SaveData")->click();
    QCOMPARE(h.dialogs.messages.size(), 1);
    QCOMPARE(h.dialogs.messages[0].text,
             QString("Please click the RUN button first before logging data."));
    QCOMPARE(h.dialogs.messages[0].title, QString("Run Error"));
    QCOMPARE(h.dialogs.messages[0].icon, vx::shell::Dialogs::Icon::Information);
    QVERIFY(h.dialogs.saveRequests.isEmpty());
    QCOMPARE(MainState(h.w()).datalog_start, qint16(0));
}

void TestReading::stopLogWaitsOneSecond() {
    Bench h;
    QVERIFY(h.connected);
    const qint64 before = h.clock.waitedMs;
    button(h.w(), "EndLog")->click();
    QCOMPARE(h.clock.waitedMs - before, 1000);
    QCOMPARE(lineEdit(h.w(), "StatusBox")->text(), QString("Ready"));
    QCOMPARE(MainState(h.w()).datalog_start, qint16(0));
}

void TestReading::exitClosesLog_data() {
    addSwitch("viaFrame", {.whenTrue = "window closed", .whenFalse = "Exit"});
}

void TestReading::exitClosesLog() {
    QFETCH(bool, viaFrame);
    const QString path = file("exit.csv");
    Bench h;
    QVERIFY(h.connected);
    Main& w = h.w();
    w.show();
    QPointer<FakePort> port = h.port();
    QByteArray wireAtExit;
    const int passes = h.runLogging(path, {[&] {
                                        h.answer("2\n");
                                        wireAtExit = port->written;
                                        if (viaFrame) {
                                            w.close();
                                        } else {
                                            button(w, "Exit")->click();
                                        }
                                    }});
    QCOMPARE(passes, 3);  // Run ended with the program, no Stop needed
    QCOMPARE(readFile(path), "\r\nDC Voltage(V)\r\n1," + stamp(1) + "\r\n2," + stamp(2) + "\r\n");
    QVERIFY(port.isNull() || port->written == wireAtExit);  // no query after Exit
}

void TestReading::openFailureSaysWhy_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("missing folder") << "no/such/folder/log.csv";
    QTest::newRow("a folder") << ".";
}

void TestReading::openFailureSaysWhy() {
    QFETCH(QString, name);
    const QString bad = QDir::cleanPath(file(name));
    Bench h;
    QVERIFY(h.connected);
    Main& w = h.w();
    h.runLogging(bad, {});
    QCOMPARE(h.dialogs.messages.size(), 1);
    QVERIFY2(h.dialogs.messages[0].text.contains(QDir::toNativeSeparators(bad)),
             qPrintable(h.dialogs.messages[0].text));
    QVERIFY(h.dialogs.messages[0].text.contains("could not be opened"));
    QCOMPARE(lineEdit(w, "FilePath")->text(), QString("Data File Path..."));
    QVERIFY(MainState(w).FileToSave.isEmpty());
    QCOMPARE(MainState(w).datalog_start, qint16(0));
}

void TestReading::alreadyLogging() {
    const QString first = file("first.csv");
    const QString second = file("second.csv");
    Bench h;
    QVERIFY(h.connected);
    Main& w = h.w();
    h.run({[&] { h.startLog(first); },
           [&] {
               h.dialogs.saveAnswers.append(second);
               button(w, "SaveData")->click();
               h.answer("1\n");
           }});
    QCOMPARE(h.dialogs.saveRequests.size(), 1);  // no second dialog
    QCOMPARE(h.dialogs.messages.size(), 1);
    QVERIFY(h.dialogs.messages[0].text.contains(QDir::toNativeSeparators(first)));
    QCOMPARE(lineEdit(w, "FilePath")->text(), first);
    QCOMPARE(MainState(w).FileToSave, first);
    QCOMPARE(readFile(first), "\r\nDC Voltage(V)\r\n1," + stamp(1) + "\r\n");
    QVERIFY(!QFile::exists(second));
}

void TestReading::diskFullAtStart() {
    Bench h;
    QVERIFY(h.connected);
    Main& w = h.w();
    QString status;
    h.run({[&] {
               h.startLog("/dev/full");
               status = lineEdit(w, "StatusBox")->text();
           },
           [&] { h.answer("1\n"); }});
    QCOMPARE(h.dialogs.messages.size(), 1);
    QVERIFY(h.dialogs.messages[0].text.contains(
        "/dev/full could not be written: No space left on device"));
    QCOMPARE(status, QString("Logging not started: /dev/full: No space left on device"));
    QCOMPARE(MainState(w).datalog_start, qint16(0));
    QCOMPARE(lineEdit(w, "FilePath")->text(), QString("Data File Path..."));
    QVERIFY(MainState(w).FileToSave.isEmpty());
}

// The disk fills while logging: the log's descriptor is pointed at /dev/full
// after two lines. Logging stops, both lines stay, and the operator is told.
void TestReading::diskFullWhileLogging() {
    const QString path = file("full.csv");
    Bench h;
    QVERIFY(h.connected);
    Main& w = h.w();
    const auto fillDisk = [&] {
        const int full = ::open("/dev/full", O_WRONLY);
        QVERIFY(full >= 0);
        const QString canonical = QFileInfo(path).canonicalFilePath();
        bool found = false;
        const QDir fds("/proc/self/fd");
        for (const QString& fd : fds.entryList(QDir::AllEntries | QDir::System)) {
            if (QFile::symLinkTarget(fds.filePath(fd)) == canonical) {
                found = ::dup2(full, fd.toInt()) >= 0;
            }
        }
        ::close(full);
        QVERIFY(found);
    };
    QString statusAfterFailure;
    h.runLogging(path, {[&] { h.answer("2\n"); },
                        [&] {
                            fillDisk();
                            h.answer("3\n");
                            statusAfterFailure = lineEdit(w, "StatusBox")->text();
                        },
                        [&] { h.answer("4\n"); }});
    QCOMPARE(readFile(path), "\r\nDC Voltage(V)\r\n1," + stamp(1) + "\r\n2," + stamp(2) + "\r\n");
    QVERIFY2(statusAfterFailure.startsWith("Logging stopped: could not write to"),
             qPrintable(statusAfterFailure));
    QCOMPARE(h.dialogs.messages.size(), 1);
    QVERIFY(h.dialogs.messages[0].text.contains("No space left on device"));
    QCOMPARE(lineEdit(w, "PrimaryDisplay")->text(), QString("4"));  // readings go on
    QCOMPARE(MainState(w).datalog_start, qint16(0));
}

// The disk fills in the middle of a line (a file size limit stands in for
// the full disk): the fragment is taken back and the lines before stay whole.
void TestReading::diskFullMidLine() {
    const QString path = file("limit.csv");
    Bench h;
    QVERIFY(h.connected);
    Main& w = h.w();
    rlimit old{};
    QCOMPARE(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    bool limited = false;
    h.runLogging(path, {[&] {
                            const rlimit tight{rlim_t(QFileInfo(path).size() + 5), old.rlim_max};
                            limited = ::setrlimit(RLIMIT_FSIZE, &tight) == 0;
                            h.answer("+2.22222E+00\n");
                            ::setrlimit(RLIMIT_FSIZE, &old);
                        },
                        [&] { h.answer("3\n"); }});
    std::signal(SIGXFSZ, previous);
    QVERIFY(limited);
    QCOMPARE(readFile(path), "\r\nDC Voltage(V)\r\n1," + stamp(1) + "\r\n");
    QCOMPARE(h.dialogs.messages.size(), 1);
    QVERIFY2(h.dialogs.messages[0].text.contains("File too large"),
             qPrintable(h.dialogs.messages[0].text));
    QCOMPARE(MainState(w).datalog_start, qint16(0));
}

void TestReading::portGoneDuringRun_data() {
    addSwitch("hangUp", {.whenTrue = "cable pulled", .whenFalse = "Close Port pressed"});
}

void TestReading::portGoneDuringRun() {
    QFETCH(bool, hangUp);
    const QString path = file("gone.csv");
    Bench h;
    QVERIFY(h.connected);
    Main& w = h.w();
    QPointer<FakePort> port = h.port();
    QByteArray wire;
    const int passes = h.runLogging(path, {[&] {
                                        if (hangUp) {
                                            port->hangUp();
                                        } else {
                                            button(w, "Close")->click();
                                        }
                                        wire = port ? port->written : QByteArray();
                                    }});
    QCOMPARE(passes, 3);  // the loop ended on its own, no Stop needed
    QCOMPARE(wire, QByteArray("FETC?\nFETC?\nFETC?\n"));
    QVERIFY(port.isNull() || port->written == wire);
    QCOMPARE(MainState(w).running_cnt, qint16(0));
    QCOMPARE(MainState(w).datalog_start, qint16(0));
    QVERIFY(!enabled(w, "Run"));
    QVERIFY(!enabled(w, "StopBtn"));
    QVERIFY2(lineEdit(w, "StatusBox")->text().startsWith("Readings stopped, log file closed:"),
             qPrintable(lineEdit(w, "StatusBox")->text()));
    QCOMPARE(readFile(path), "\r\nDC Voltage(V)\r\n1," + stamp(1) + "\r\n");
    // Run pressed with the port gone writes nothing and says why.
    button(w, "Run")->setEnabled(true);
    button(w, "Run")->click();
    QCOMPARE(MainState(w).running_cnt, qint16(0));
    QVERIFY(lineEdit(w, "StatusBox")->text().startsWith("Not connected"));
}

void TestReading::writeFailureEndsRun() {
    Bench h;
    QVERIFY(h.connected);
    Main& w = h.w();
    const int passes = h.run({[&] { h.port()->failWrites = true; }});
    QCOMPARE(passes, 1);
    QCOMPARE(MainState(w).running_cnt, qint16(0));
    QVERIFY(lineEdit(w, "StatusBox")->text().contains("FETC?"));
    QVERIFY(enabled(w, "Run") && enabled(w, "SingleRead") && enabled(w, "Send"));
    // A single reading or console command that cannot go out awaits nothing.
    button(w, "SingleRead")->click();
    QCOMPARE(MainState(w).single_read, qint16(0));
    button(w, "Send")->click();
    QCOMPARE(MainState(w).SendScpi, qint16(0));
}

void TestReading::unterminatedStreamIsBounded() {
    Bench h;
    QVERIFY(h.connected);
    Main& w = h.w();
    MainState(w).running_cnt = 1;
    const QByteArray chunk(8 * 1024, '7');
    for (int i = 0; i < 40; ++i) {
        h.deliver(chunk);
        QVERIFY(MainState(w).runBuffer.size() <= 64 * 1024);
    }
    // 9 chunks outgrow the limit: 73728 characters go, four times over.
    QVERIFY2(
        lineEdit(w, "StatusBox")->text().startsWith("Dropped 73728 characters of a reading reply"),
        qPrintable(lineEdit(w, "StatusBox")->text()));
    QCOMPARE(MainState(w).runBuffer.size(), 4 * chunk.size());
    QSignalSpy shown(&w, &Main::readingShown);
    h.deliver("+1.0\n");
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0][1].toString(), QString(chunk + chunk + chunk + chunk + "+1.0"));
    QVERIFY(MainState(w).runBuffer.isEmpty());
}

QTEST_MAIN(TestReading)
#include "tst_reading.moc"
