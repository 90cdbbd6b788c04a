// vxlog's command line: every bad option is refused with a message naming
// it, and every setting sends the bytes the window's handler sends for the
// same choice (the window driven over the fake port is the reference).
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

#include <limits>

#include "cli/Options.h"
#include "forms/Main/Main.h"
#include "meter/Commands.h"
#include "session/Session.h"
#include "shell/PromptComboBox.h"
#include "support/Files.h"
#include "support/MainHarness.h"
#include "support/MainState.h"

using vx::forms::Main;

namespace {

QString fromLatin1View(std::string_view s) {
    return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}

QByteArray cliBytes(const QStringList& args) {
    const vx::cli::Parsed parsed = vx::cli::parseOptions(args);
    if (!parsed.error.isEmpty()) {
        return "error: " + parsed.error.toLatin1();
    }
    QByteArray bytes;
    for (const QString& line : vx::cli::settingLines(parsed.options.settings)) {
        bytes += line.toLatin1() + parsed.options.terminator.toLatin1();
    }
    return bytes;
}

// What the operator does in the window for one choice.
enum class Setting { Secondary, SecondaryOff, Range, Auto, Rate, Display };

// The window's bytes for a function, the secondary display stated, then one
// choice. A logging run without a secondary function turns the secondary
// display off, as the window's Off button does; where the function leaves
// that button disabled (no secondary functions), vxlog still sends the
// button's line.
QByteArray windowBytes(int function, Setting setting, int index) {
    MainHarness h;
    if (!h.connect()) {
        return "no connection";
    }
    h.takeWire();
    Main& w = h.w();
    combo(w, "FuncBox")->setCurrentIndex(function);
    button(w, "SetFunc")->click();
    QByteArray bytes = h.takeWire();
    if (setting != Setting::Secondary) {
        QPushButton* off = button(w, "FuncBoxTwoStateOff");
        off->click();
        bytes += off->isEnabled() ? h.takeWire() : QByteArray(":FUNC2:STAT 0\n");
    }
    switch (setting) {
        case Setting::Secondary:
            button(w, "FuncBoxTwoStateOn")->click();
            combo(w, "FuncBoxTwo")->setCurrentIndex(index);
            button(w, "SetFuncTwo")->click();
            break;
        case Setting::SecondaryOff:
            break;
        case Setting::Range:
        case Setting::Auto:
            // A fixed range is chosen after MANUAL where the window offers
            // a range type (the button is disabled where it does not).
            combo(w, "RangeType")->setCurrentIndex(setting == Setting::Auto ? 1 : 0);
            button(w, "SetRangeType")->click();
            if (setting == Setting::Range) {
                combo(w, "Range")->setCurrentIndex(index);
                button(w, "SetRange")->click();
            }
            break;
        case Setting::Rate:
            combo(w, "Rate")->setCurrentIndex(index);
            button(w, "SetRate")->click();
            break;
        case Setting::Display:
            combo(w, "Display")->setCurrentIndex(index);
            button(w, "SetDisp")->click();
            break;
    }
    return bytes + h.takeWire();
}

}  // namespace

class TestVxlogOptions : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void sameBytesAsWindow_data();
    void sameBytesAsWindow();
    void badOptions_data();
    void badOptions();
    void secondaryStated_data();
    void secondaryStated();
    void numbersAndTimes_data();
    void numbersAndTimes();
    void portsAndLine_data();
    void portsAndLine();
    void helpNamesEveryOption();
    void comNumbers();
};

void TestVxlogOptions::sameBytesAsWindow_data() {
    QTest::addColumn<int>("function");
    QTest::addColumn<int>("setting");
    QTest::addColumn<int>("index");
    QTest::addColumn<QStringList>("args");
    for (std::size_t f = 0; f < vx::meter::kFunctions.size(); ++f) {
        const auto& function = vx::meter::kFunctions[f];
        const auto& setup = function.rebuild;
        const QString item = fromLatin1View(function.caption);
        // Captions as an operator types them: lower case.
        const QStringList base{"--port", "1", "--function", item.toLower()};
        const auto row = [&](Setting s, int index, const QString& option, const QString& value) {
            QTest::addRow("%s %s %s", qPrintable(item), qPrintable(option), qPrintable(value))
                << int(f) << int(s) << index << (base + QStringList{option, value});
        };
        if (setup.secondaryButtons != vx::meter::Enable::Off) {
            for (std::size_t i = 0; i < function.secondaries.size(); ++i) {
                row(Setting::Secondary, int(i), "--secondary",
                    fromLatin1View(function.secondaries[i].caption));
            }
        }
        row(Setting::SecondaryOff, 0, "--secondary", "off");
        if (setup.rangeList == vx::meter::Refill::Replace) {
            for (std::size_t i = 0; i < function.ranges.size(); ++i) {
                row(Setting::Range, int(i), "--range", fromLatin1View(function.ranges[i].caption));
            }
            if (setup.rangeTypeControls == vx::meter::Enable::On) {
                row(Setting::Auto, 1, "--range", "auto");
            }
        }
        for (std::size_t i = 0; i < vx::meter::kRates.size(); ++i) {
            row(Setting::Rate, int(i), "--rate", fromLatin1View(vx::meter::kRates[i].caption));
        }
        row(Setting::Display, 0, "--display", "off");
        row(Setting::Display, 1, "--display", "ON");
    }
}

void TestVxlogOptions::sameBytesAsWindow() {
    QFETCH(int, function);
    QFETCH(int, setting);
    QFETCH(int, index);
    QFETCH(QStringList, args);
    QCOMPARE(cliBytes(args), windowBytes(function, Setting(setting), index));
}

void TestVxlogOptions::badOptions_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("named");
    const QStringList p{"--port", "1"};
    const QStringList dcv = p + QStringList{"--function", "DC VOLTAGE"};
    QTest::newRow("unknown option") << (p + QStringList{"--colour", "red"}) << "colour";
    QTest::newRow("no port") << QStringList{"--count", "3"} << "--port";
    QTest::newRow("empty port") << QStringList{"--port", ""} << "--port";
    QTest::newRow("interval below 0.1") << (p + QStringList{"--interval", "0.09"}) << "--interval";
    QTest::newRow("interval not a number") << (p + QStringList{"--interval", "1s"}) << "--interval";
    QTest::newRow("interval nan") << (p + QStringList{"--interval", "nan"}) << "--interval";
    QTest::newRow("count 0") << (p + QStringList{"--count", "0"}) << "--count";
    QTest::newRow("count not a number") << (p + QStringList{"--count", "ten"}) << "--count";
    QTest::newRow("count and duration")
        << (p + QStringList{"--count", "3", "--duration", "1h"}) << "--duration";
    QTest::newRow("duration bad") << (p + QStringList{"--duration", "1w"}) << "--duration";
    QTest::newRow("baud not in list") << (p + QStringList{"--baud", "115200"}) << "--baud";
    QTest::newRow("term") << (p + QStringList{"--term", "CRLF"}) << "--term";
    QTest::newRow("unknown function") << (p + QStringList{"--function", "OHMS"}) << "--function";
    QTest::newRow("secondary without function")
        << (p + QStringList{"--secondary", "dB"}) << "--secondary";
    QTest::newRow("secondary under resistance")
        << (p + QStringList{"--function", "RES", "--secondary", "dB"}) << "--secondary";
    QTest::newRow("secondary not offered")
        << (dcv + QStringList{"--secondary", "DC CURRENT"}) << "--secondary";
    QTest::newRow("range of another function")
        << (dcv + QStringList{"--range", "750 V"}) << "--range";
    QTest::newRow("range under continuity")
        << (p + QStringList{"--function", "CONT", "--range", "AUTO"}) << "--range";
    QTest::newRow("auto under frequency")
        << (p + QStringList{"--function", "FREQ", "--range", "AUTO"}) << "--range";
    QTest::newRow("rate") << (dcv + QStringList{"--rate", "QUICK"}) << "--rate";
    QTest::newRow("rate without function") << (p + QStringList{"--rate", "FAST"}) << "--rate";
    QTest::newRow("display") << (p + QStringList{"--display", "DIM"}) << "--display";
    QTest::newRow("format") << (p + QStringList{"--format", "xml"}) << "--format";
    QTest::newRow("output without function")
        << (p + QStringList{"--output", "/tmp/x.csv"}) << "--output";
    QTest::newRow("send with output")
        << (dcv + QStringList{"--send", "*RST", "--output", "/tmp/x.csv"}) << "--output";
    QTest::newRow("stray argument") << (p + QStringList{"extra"}) << "extra";
}

void TestVxlogOptions::badOptions() {
    QFETCH(QStringList, args);
    QFETCH(QString, named);
    const vx::cli::Parsed parsed = vx::cli::parseOptions(args);
    QVERIFY2(parsed.error.contains(named), qPrintable(parsed.error));
}

// Every logging run says whether the secondary display is on; --send runs
// send only what was asked for.
void TestVxlogOptions::secondaryStated_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<bool>("off");
    const QStringList p{"--port", "1"};
    const QStringList dcv = p + QStringList{"--function", "DC VOLTAGE"};
    const QStringList send{"--send", "*IDN?"};
    QTest::newRow("logging, function only")
        << dcv << QStringList{":FUNC VOLT:DC", ":FUNC2:STAT 0"} << true;
    QTest::newRow("logging, no function") << p << QStringList{":FUNC2:STAT 0"} << true;
    QTest::newRow("logging, off before the rate")
        << (dcv + QStringList{"--rate", "FAST"})
        << QStringList{":FUNC VOLT:DC", ":FUNC2:STAT 0", ":VOLT:DC:NPLC 0.1"} << true;
    QTest::newRow("OFF without a function")
        << (p + QStringList{"--secondary", "Off"}) << QStringList{":FUNC2:STAT 0"} << true;
    QTest::newRow("OFF under resistance")
        << (p + QStringList{"--function", "RES", "--secondary", "OFF"})
        << QStringList{":FUNC RES", ":FUNC2:STAT 0"} << true;
    QTest::newRow("a secondary function")
        << (dcv + QStringList{"--secondary", "frequency"})
        << QStringList{":FUNC VOLT:DC", ":FUNC2:STAT 1", ":FUNC2 FREQ"} << false;
    QTest::newRow("send, function only") << (dcv + send) << QStringList{":FUNC VOLT:DC"} << false;
    QTest::newRow("send, nothing") << (p + send) << QStringList{} << false;
    QTest::newRow("send, OFF") << (p + QStringList{"--secondary", "off"} + send)
                               << QStringList{":FUNC2:STAT 0"} << true;
}

void TestVxlogOptions::secondaryStated() {
    QFETCH(QStringList, args);
    QFETCH(QStringList, lines);
    QFETCH(bool, off);
    const vx::cli::Parsed parsed = vx::cli::parseOptions(args);
    QCOMPARE(parsed.error, QString());
    QCOMPARE(parsed.options.settings.secondaryOff, off);
    QCOMPARE(vx::cli::settingLines(parsed.options.settings), lines);
    // The file has a secondary column only when the display is turned on.
    QCOMPARE(!vx::cli::secondaryHeader(parsed.options.settings).isEmpty(),
             lines.contains(":FUNC2:STAT 1"));
}

// Counts, intervals and durations: what each reads as, and the message for
// what is refused (the limits named).
void TestVxlogOptions::numbersAndTimes_data() {
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("value");
    QTest::addColumn<qint64>("read");  // readings, or nanoseconds
    QTest::addColumn<QString>("error");
    constexpr qint64 s = 1'000'000'000;
    const auto good = [](const char* option, const char* value, qint64 read) {
        QTest::addRow("%s %s", option, value) << option << value << read << QString();
    };
    const auto bad = [](const char* option, const char* value, const QString& error) {
        QTest::addRow("%s %s refused", option, value) << option << value << qint64(0) << error;
    };
    good("--count", "3", 3);
    good("--count", "9223372036854775807", std::numeric_limits<qint64>::max());
    bad("--count", "99999999999999999999",
        "--count: 99999999999999999999 is too large; the most is 9223372036854775807");
    bad("--count", "9223372036854775808",
        "--count: 9223372036854775808 is too large; the most is 9223372036854775807");
    bad("--count", "-99999999999999999999",
        "--count: -99999999999999999999 is too small; the least is 1");
    bad("--count", "0", "--count: 0 is too small; the least is 1");
    bad("--count", "1e3", "--count: \"1e3\" is not a whole number of readings");
    good("--interval", "0.1", s / 10);
    good("--interval", "86400", 86'400 * s);
    bad("--interval", "86400.5", "--interval: 86400.5 is too large; the most is 86400 s");
    bad("--interval", "0.05", "--interval: 0.05 is too small; the least is 0.1 s");
    good("--duration", "90", 90 * s);
    good("--duration", "90s", 90 * s);
    good("--duration", "15M", 900 * s);
    good("--duration", "1h30m", 5'400 * s);
    good("--duration", "2d12h", 216'000 * s);
    good("--duration", "90m30s", 5'430 * s);
    good("--duration", "1.5h", 5'400 * s);
    good("--duration", "366d", 366 * 86'400 * s);
    bad("--duration", "366d1s", "--duration: 366d1s is too large; the most is 366d");
    bad("--duration", "9999999999999999999999h",
        "--duration: 9999999999999999999999h is too large");
    for (const char* garbage : {"1h30", "1w", "h", "1hh", "-5m", "1h-30m", "0", "0s", "5 min",
                                "nan", "inf", "", "1.2.3s"}) {
        bad("--duration", garbage,
            QStringLiteral("--duration: \"%1\" is not a time").arg(QLatin1String(garbage)));
    }
}

void TestVxlogOptions::numbersAndTimes() {
    QFETCH(QString, option);
    QFETCH(QString, value);
    QFETCH(qint64, read);
    QFETCH(QString, error);
    const vx::cli::Parsed parsed = vx::cli::parseOptions({"--port", "1", option, value});
    if (!error.isEmpty()) {
        QVERIFY2(parsed.error.startsWith(error), qPrintable(parsed.error));
        return;
    }
    QCOMPARE(parsed.error, QString());
    const vx::cli::Options& o = parsed.options;
    QCOMPARE(option == "--count"      ? o.count.value_or(-1)
             : option == "--duration" ? o.durationNs.value_or(-1)
                                      : o.intervalNs,
             read);
}

// The port is kept as given, a COM number among them; the line options are
// the window's lists, any case, with either dash style.
void TestVxlogOptions::portsAndLine_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("port");
    QTest::addColumn<int>("com");  // 0: not a COM number
    QTest::addColumn<int>("baud");
    QTest::addColumn<QString>("terminator");
    QTest::newRow("COM3") << QStringList{"--port", "COM3"} << "COM3" << 3 << 9600 << "\n";
    QTest::newRow("bare number, = form")
        << QStringList{"--port=12", "--baud=19200"} << "12" << 12 << 19200 << "\n";
    QTest::newRow("com lower case, CR")
        << QStringList{"--port", "com7", "--term", "cr"} << "com7" << 7 << 9600 << "\r";
    QTest::newRow("single dash words")
        << QStringList{"-port", "/dev/ttyUSB0", "-baud", "600", "-term", "LF"} << "/dev/ttyUSB0"
        << 0 << 600 << "\n";
    QTest::newRow("network") << QStringList{"--port", "tcp://bench:4001", "--baud", "38400"}
                             << "tcp://bench:4001" << 0 << 38400 << "\n";
}

void TestVxlogOptions::portsAndLine() {
    QFETCH(QStringList, args);
    QFETCH(QString, port);
    QFETCH(int, com);
    QFETCH(int, baud);
    QFETCH(QString, terminator);
    const vx::cli::Parsed parsed = vx::cli::parseOptions(args);
    QCOMPARE(parsed.error, QString());
    QCOMPARE(parsed.options.port, port);
    QCOMPARE(vx::session::comNumber(parsed.options.port).value_or(0), com);
    QCOMPARE(parsed.options.baud, baud);
    QCOMPARE(parsed.options.terminator, terminator);
}

// --help starts with the usage line, stays within 79 columns, shows the
// limits, every function with its mnemonic and every option the manual page
// documents, and the manual page documents every option it shows.
void TestVxlogOptions::helpNamesEveryOption() {
    const QString help = vx::cli::helpText();
    QVERIFY(help.startsWith(vx::cli::usageLine()));
    for (const QString& line : help.split(u'\n')) {
        QVERIFY2(line.size() <= 79, qPrintable(line));
    }
    QVERIFY2(help.contains("0.1 s to 86400 s") && help.contains("at most 366d"), qPrintable(help));
    for (const auto& function : vx::meter::kFunctions) {
        const QString named = QStringLiteral("%1 (%2)").arg(fromLatin1View(function.caption),
                                                            fromLatin1View(function.mnemonic));
        QVERIFY2(help.contains(named), qPrintable(named));
    }
    const QRegularExpression option(QStringLiteral("--([a-z][a-z-]*)"));
    const auto names = [&](const QString& text) {
        QStringList found;
        for (auto it = option.globalMatch(text); it.hasNext();) {
            found << it.next().captured(1);
        }
        found.removeDuplicates();
        found.sort();
        return found;
    };
    // The manual page writes each dash of an option name as \-.
    const QString man = QString::fromUtf8(readFile(VX_MAN_PAGE)).replace("\\-", "-");
    QCOMPARE(names(help), names(man));
    QVERIFY(names(help).size() >= 19);
}

void TestVxlogOptions::comNumbers() {
    QCOMPARE(vx::session::comNumber("COM3"), std::optional<int>(3));
    QCOMPARE(vx::session::comNumber("com15"), std::optional<int>(15));
    QCOMPARE(vx::session::comNumber("7"), std::optional<int>(7));
    QCOMPARE(vx::session::comNumber("COM0"), std::nullopt);
    QCOMPARE(vx::session::comNumber("/dev/ttyUSB0"), std::nullopt);
    QCOMPARE(vx::session::comNumber("COM-1"), std::nullopt);
    QCOMPARE(vx::session::comNumber("tcp://bench:4001"), std::nullopt);
}

QTEST_MAIN(TestVxlogOptions)
#include "tst_vxlogoptions.moc"
