// vxlog's command line: every bad option is refused with a message naming
// it, and every setting sends the bytes the window's handler sends for the
// same choice (the window driven over the fake port is the reference).
#include <QPushButton>
#include <QTest>

#include "cli/Options.h"
#include "forms/Main/Main.h"
#include "meter/Commands.h"
#include "shell/PromptComboBox.h"
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
enum class Setting { Secondary, Range, Auto, Rate, Display };

QByteArray windowBytes(int function, Setting setting, int index) {
    MainHarness h;
    if (!h.connect()) {
        return "no connection";
    }
    h.takeWire();
    Main& w = h.w();
    combo(w, "FuncBox")->setCurrentIndex(function);
    button(w, "SetFunc")->click();
    switch (setting) {
        case Setting::Secondary:
            button(w, "FuncBoxTwoStateOn")->click();
            combo(w, "FuncBoxTwo")->setCurrentIndex(index);
            button(w, "SetFuncTwo")->click();
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
    return h.takeWire();
}

}  // namespace

class TestVxlogOptions : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void sameBytesAsWindow_data();
    void sameBytesAsWindow();
    void badOptions_data();
    void badOptions();
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

void TestVxlogOptions::comNumbers() {
    QCOMPARE(vx::cli::comNumber("COM3"), std::optional<int>(3));
    QCOMPARE(vx::cli::comNumber("com15"), std::optional<int>(15));
    QCOMPARE(vx::cli::comNumber("7"), std::optional<int>(7));
    QCOMPARE(vx::cli::comNumber("COM0"), std::nullopt);
    QCOMPARE(vx::cli::comNumber("/dev/ttyUSB0"), std::nullopt);
    QCOMPARE(vx::cli::comNumber("COM-1"), std::nullopt);
    QCOMPARE(vx::cli::comNumber("tcp://bench:4001"), std::nullopt);
}

QTEST_MAIN(TestVxlogOptions)
#include "tst_vxlogoptions.moc"
