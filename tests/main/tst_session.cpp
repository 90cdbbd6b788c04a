// One whole operator session against the vxsim meter on a real
// pseudo-terminal, and every byte the meter received, compared with the
// committed record of the same session (tests/main/session.record). The
// session: connect, every Set of every control, a run with the secondary
// display and logging, the console, reset, Help, About, Trend and Exit.
//
// After a change that is meant to alter what goes on the wire, write the
// record anew with VX_SESSION_RECORD=path and read the difference.
#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

#include "forms/Main/Main.h"
#include "shell/PromptComboBox.h"
#include "shell/StatusLamp.h"
#include "support/MainState.h"
#include "support/SimBench.h"

using vx::forms::Main;

namespace {

// Chooses `entry` in the list `list` and presses `setter`.
void choose(QObject& w, const char* list, const char* entry, const char* setter) {
    auto* box = combo(w, list);
    const qsizetype index = box->entries().indexOf(QString::fromLatin1(entry));
    if (index < 0) {
        qFatal("%s has no entry %s", list, entry);
    }
    box->setCurrentIndex(int(index));
    button(w, setter)->click();
}

void press(QObject& w, const char* name) {
    button(w, name)->click();
}

}  // namespace

class TestSession : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void wholeSessionSendsTheRecordedBytes();
};

void TestSession::wholeSessionSendsTheRecordedBytes() {
    RunBench bench(1, 20.0);
    QVERIFY(bench.start({}));
    Main& w = *bench.window;

    // Connect with LF.
    combo(w, "TermChar")->setCurrentIndex(1);
    press(w, "ConnectBtn");
    QCOMPARE(lineEdit(w, "InstrID")->text(), QStringLiteral("Velmora,VX480,480K52106,2.14"));

    // Every function, in list order, then DC voltage for the rest.
    for (const QString& f : combo(w, "FuncBox")->entries()) {
        choose(w, "FuncBox", qPrintable(f), "SetFunc");
    }
    choose(w, "FuncBox", "DC VOLTAGE", "SetFunc");
    QCOMPARE(lineEdit(w, "PrimaryUnit")->text(), QStringLiteral("VDC"));

    // Ranges, rate, trigger, display, hold and the relative reference.
    choose(w, "RangeType", "MANUAL", "SetRangeType");
    choose(w, "Range", "20 V", "SetRange");
    choose(w, "RangeType", "AUTO", "SetRangeType");
    for (const char* rate : {"SLOW", "MEDIUM", "FAST"}) {
        choose(w, "Rate", rate, "SetRate");
    }
    choose(w, "Trigger", "BUS", "SetTrig");
    press(w, "SendTrig");
    choose(w, "Trigger", "MANUAL", "SetTrig");
    choose(w, "Trigger", "IMMEDIATE", "SetTrig");
    choose(w, "Display", "DISABLED", "SetDisp");
    choose(w, "Display", "ENABLED", "SetDisp");
    press(w, "Hold");
    press(w, "Hold");
    press(w, "RefStateOn");
    choose(w, "RefMethod", "Input", "SetRefMethod");
    press(w, "AcqRef");
    choose(w, "RefMethod", "Custom", "SetRefMethod");
    lineEdit(w, "Ref")->setText(QStringLiteral("1.25"));
    press(w, "SetRef");
    press(w, "RefStateOff");

    // The secondary display on, a run of three readings with logging.
    press(w, "FuncBoxTwoStateOn");
    choose(w, "FuncBoxTwo", "FREQUENCY", "SetFuncTwo");
    QCOMPARE(lamp(w, "FuncTwoStat")->fillColor(), vx::shell::kLampGreen);
    QVERIFY(button(w, "Run")->isEnabled());
    bench.onReading = [&](int n) {
        if (n == 1) {
            bench.startLog(bench.logPath());
        } else if (n == 4) {
            press(w, "EndLog");
            press(w, "StopBtn");
        }
    };
    bench.run();
    QCOMPARE(bench.shown, 4);
    QVERIFY2(bench.dialogs.messages.isEmpty(), qPrintable(bench.dialogs.messages.value(0).text));
    press(w, "FuncBoxTwoStateOff");
    // The log: an empty line, the header, three readings with their times.
    static const QRegularExpression stamp(QStringLiteral(R"(\d\d:\d\d:\d\d \d\d/\d\d/\d{4})"));
    QString log = QString::fromLatin1(readFile(bench.logPath()));
    log.replace(stamp, QStringLiteral("T"));
    QVERIFY2(log.count(QStringLiteral(",T\r\n")) == 3, qPrintable(log));
    QVERIFY2(log.startsWith(QStringLiteral("\r\nDC Voltage(V),Frequency(Hz)\r\n")),
             qPrintable(log));

    // The console, then reset.
    lineEdit(w, "SendMsg")->setText(QStringLiteral("SYST:ERR?"));
    press(w, "Send");
    QTRY_VERIFY(!lineEdit(w, "ReturnMsg")->text().isEmpty());
    press(w, "Reset");

    // Help, About and Trend send nothing; Exit closes the port.
    for (const char* action : {"mnuSeeHelp", "mnuAbout", "mnuTrend"}) {
        child<QAction>(w, action)->trigger();
    }
    press(w, "Exit");
    QVERIFY(!w.isVisible());

    bench.sim.stop();
    const QByteArray received = bench.sim.recorded();
    QVERIFY(received.startsWith("*IDN?\n"));
    const QString goldenPath = QStringLiteral(VX_SOURCE_DIR "/tests/main/session.record");
    if (const QString out = qEnvironmentVariable("VX_SESSION_RECORD"); !out.isEmpty()) {
        QFile f(out);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(received) == received.size());
    }
    const QByteArray golden = readFile(goldenPath);
    if (received != golden) {
        // Line by line, so a failure names the first command that differs.
        const QList<QByteArray> got = received.split('\n');
        const QList<QByteArray> want = golden.split('\n');
        for (qsizetype i = 0; i < std::min(got.size(), want.size()); ++i) {
            QCOMPARE(got[i], want[i]);
        }
        QCOMPARE(got.size(), want.size());
    }
}

QTEST_MAIN(TestSession)
#include "tst_session.moc"
