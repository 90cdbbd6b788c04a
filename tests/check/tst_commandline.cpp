#include <QTest>

#include <QTextStream>
#include <algorithm>

#include "check/CommandLine.h"
#include "support/FakeClock.h"
#include "support/FakePort.h"

namespace {

// One run of the program's command line against a fake port; `replies` are
// delivered in order, one for each command line the port has received.
struct Run {
    int status = -1;
    QString out;
    QString err;
    QByteArray written;
    qint64 waitedMs = 0;
};

enum class Fault { None, HangUpOnSecond };

Run runWith(const QStringList& options, const QList<QByteArray>& replies = {},
            Fault fault = Fault::None, FakeOpener* openerIn = nullptr) {
    FakeOpener localOpener;
    FakeOpener& opener = openerIn ? *openerIn : localOpener;
    FakeClock clock;
    int answered = 0;
    QByteArray written;  // kept here: a port that failed is deleted later
    clock.onWait = [&](qint64) {
        if (opener.port.isNull()) {
            return;
        }
        written = opener.port->written;
        // The commands sent so far; the lone terminator that opens the line
        // is none.
        QByteArray lines = opener.port->written;
        lines.replace('\r', '\n');
        const QList<QByteArray> parts = lines.split('\n');
        const auto sent = std::count_if(parts.cbegin(), parts.cend() - 1,
                                        [](const QByteArray& line) { return !line.isEmpty(); });
        if (sent > answered) {
            if (fault == Fault::HangUpOnSecond && answered == 1) {
                opener.port->hangUp();
                return;
            }
            if (answered < replies.size()) {
                opener.port->deliver(replies[answered]);
            }
            ++answered;
        }
    };
    Run run;
    QTextStream out(&run.out);
    QTextStream err(&run.err);
    run.status =
        vx::check::run(QStringList{QStringLiteral("vxmeter")} + options, opener, clock, out, err);
    out.flush();
    err.flush();
    run.written = opener.port.isNull() ? written : opener.port->written;
    run.waitedMs = clock.waitedMs;
    return run;
}

}  // namespace

class TestCommandLine : public QObject {
    Q_OBJECT

private slots:
    void isCommandLineRun_data();
    void isCommandLineRun();
    void badUsage_data();
    void badUsage();
    void helpAndVersion_data();
    void helpAndVersion();
    void check_data();
    void check();
    void checkFails_data();
    void checkFails();
    void openFails();
};

void TestCommandLine::isCommandLineRun_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("commandLine");
    QTest::newRow("no arguments: the window") << QStringList{} << false;
    QTest::newRow("Qt's own option: the window") << QStringList{"-platform", "offscreen"} << false;
    QTest::newRow("--check") << QStringList{"--check", "1"} << true;
    QTest::newRow("--check=") << QStringList{"--check=1"} << true;
    QTest::newRow("after Qt's option") << QStringList{"-style", "fusion", "--version"} << true;
}

void TestCommandLine::isCommandLineRun() {
    QFETCH(QStringList, arguments);
    QFETCH(bool, commandLine);
    QCOMPARE(vx::check::isCommandLineRun(QStringList{QStringLiteral("vxmeter")} + arguments),
             commandLine);
}

void TestCommandLine::badUsage_data() {
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("error");
    QTest::newRow("no COM") << QStringList{"--check"} << "--check needs a value";
    QTest::newRow("COM 0") << QStringList{"--check", "0"}
                           << "--check: COM port must be from 1 to 15, not \"0\"";
    QTest::newRow("COM 16") << QStringList{"--check=16"}
                            << "--check: COM port must be from 1 to 15, not \"16\"";
    QTest::newRow("baud off the list")
        << QStringList{"--check", "1", "--baud", "115200"}
        << "--baud: baud rate must be one of 600, 1200, 2400, 4800, 9600, 19200, 38400, not "
           "\"115200\"";
    QTest::newRow("CR LF") << QStringList{"--check", "1", "--term=CRLF"}
                           << "--term: termination character must be one of CR, LF, not \"CRLF\"";
    QTest::newRow("baud alone") << QStringList{"--baud", "9600"}
                                << "--baud and --term go with --check";
    QTest::newRow("unknown") << QStringList{"--check", "1", "--bogus"} << "unknown option --bogus";
}

void TestCommandLine::badUsage() {
    QFETCH(QStringList, options);
    QFETCH(QString, error);
    const Run run = runWith(options);
    QCOMPARE(run.status, 2);
    QCOMPARE(run.err, QStringLiteral("vxmeter: ") + error + u'\n' + vx::check::usageText());
    QCOMPARE(run.out, QString());
    QCOMPARE(run.written, QByteArray());
}

// Help lists every option within 79 columns; neither help nor version
// touches a port.
void TestCommandLine::helpAndVersion_data() {
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("out");
    const QString usage = vx::check::usageText();
    const QString version = QStringLiteral("vxmeter %1\n").arg(VX_VERSION);
    QTest::newRow("--help") << QStringList{"--help"} << usage;
    QTest::newRow("-h after --check") << QStringList{"--check", "0", "-h"} << usage;
    QTest::newRow("--version") << QStringList{"--version"} << version;
    QTest::newRow("-v") << QStringList{"-v"} << version;
}

void TestCommandLine::helpAndVersion() {
    QFETCH(QStringList, options);
    QFETCH(QString, out);
    const Run run = runWith(options);
    QCOMPARE(run.status, 0);
    QCOMPARE(run.out, out);
    QCOMPARE(run.err, QString());
    QCOMPARE(run.written, QByteArray());
    const QString usage = vx::check::usageText();
    QVERIFY(usage.startsWith(
        "usage: vxmeter [--check COM [--baud RATE] [--term CR|LF]] [--help] [--version]\n"));
    for (const char* option : {"  --check COM ", "  --baud RATE ", "600, 1200, 2400, 4800, 9600",
                               "  --term CR|LF ", "  -h, --help ", "  -v, --version "}) {
        QVERIFY2(usage.contains(QLatin1String(option)), option);
    }
    for (const QString& line : usage.split(u'\n')) {
        QVERIFY2(line.size() <= 79, qPrintable(line));
    }
}

void TestCommandLine::check_data() {
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QList<QByteArray>>("replies");
    QTest::addColumn<QByteArray>("written");
    QTest::addColumn<QString>("out");
    QTest::newRow("defaults: 9600 baud, LF")
        << QStringList{"--check", "3"}
        << QList<QByteArray>{"Velmora,VX480,102345,1.04\n", "+1.50123E+00\n"}
        << QByteArray("\n*IDN?\nFETC?\n")
        << "COM3: /dev/fake3, 9600 baud, LF\nIdentification: Velmora,VX480,102345,1.04\n"
           "Reading: +1.50123E+00\n";
    QTest::newRow("CR at 19200, secondary display on")
        << QStringList{"--check=2", "--baud=19200", "--term", "CR"}
        << QList<QByteArray>{"Velmora,VX260,7,1.0\r", "+1.5E+00,+1.0E+03\r"}
        << QByteArray("\r*IDN?\rFETC?\r")
        << "COM2: /dev/fake2, 19200 baud, CR\nIdentification: Velmora,VX260,7,1.0\n"
           "Reading: +1.5E+00,+1.0E+03\n";
    // The lists' words in any case, as vxlog takes them.
    QTest::newRow("cr in lower case")
        << QStringList{"--check", "5", "--term=cr"}
        << QList<QByteArray>{"Velmora,VX480,1,1.0\r", "+1.0E+00\r"}
        << QByteArray("\r*IDN?\rFETC?\r")
        << "COM5: /dev/fake5, 9600 baud, CR\nIdentification: Velmora,VX480,1,1.0\n"
           "Reading: +1.0E+00\n";
}

void TestCommandLine::check() {
    QFETCH(QStringList, options);
    QFETCH(QList<QByteArray>, replies);
    QFETCH(QByteArray, written);
    QFETCH(QString, out);
    FakeOpener opener;
    const Run run = runWith(options, replies, Fault::None, &opener);
    QCOMPARE(run.err, QString());
    QCOMPARE(run.status, 0);
    QCOMPARE(run.written, written);
    QCOMPARE(run.out, out);
    QCOMPARE(opener.opened.size(), 1);
    QVERIFY(opener.port.isNull() || !opener.port->isOpen());
}

void TestCommandLine::checkFails_data() {
    QTest::addColumn<QList<QByteArray>>("replies");
    QTest::addColumn<int>("fault");
    QTest::addColumn<QByteArray>("written");
    QTest::addColumn<QString>("err");
    QTest::addColumn<qint64>("waitedMs");
    QTest::newRow("silent meter") << QList<QByteArray>{} << int(Fault::None)
                                  << QByteArray("\n*IDN?\n")
                                  << "no reply to *IDN? within 2 s: check the baud rate and "
                                     "termination character"
                                  << qint64(2050);
    QTest::newRow("wrong terminator")
        << QList<QByteArray>{"Velmora,VX480,1,1.0\r"} << int(Fault::None) << QByteArray("\n*IDN?\n")
        << "the reply to *IDN? has no termination character within 2 s: check the baud rate "
           "and termination character"
        << qint64(2050);
    QTest::newRow("cable pulled before the reading")
        << QList<QByteArray>{"Velmora,VX480,1,1.0\n"} << int(Fault::HangUpOnSecond)
        << QByteArray("\n*IDN?\nFETC?\n") << "connection lost: the far end closed the line"
        << qint64(90);
}

void TestCommandLine::checkFails() {
    QFETCH(QList<QByteArray>, replies);
    QFETCH(int, fault);
    QFETCH(QByteArray, written);
    QFETCH(QString, err);
    QFETCH(qint64, waitedMs);
    const Run run =
        runWith({QStringLiteral("--check"), QStringLiteral("1")}, replies, Fault(fault));
    QCOMPARE(run.status, 1);
    QCOMPARE(run.written, written);
    QCOMPARE(run.err, QStringLiteral("vxmeter: COM1: ") + err + u'\n');
    // The wait ends at its limit, or at once when the line is gone (after
    // the 50 ms the opened line settles).
    QCOMPARE(run.waitedMs, waitedMs);
}

void TestCommandLine::openFails() {
    FakeOpener opener;
    opener.failures.insert(4, 8005);
    const Run run =
        runWith({QStringLiteral("--check"), QStringLiteral("4")}, {}, Fault::None, &opener);
    QCOMPARE(run.status, 1);
    QCOMPARE(run.out, QString());
    QCOMPARE(run.err, QStringLiteral("vxmeter: COM4: simulated failure 8005\n"));
    QCOMPARE(run.written, QByteArray());
}

QTEST_MAIN(TestCommandLine)
#include "tst_commandline.moc"
