// The meter model: exact reply bytes for command lines, the error queue, and the reading
// behaviour (ranges, reference, hold, trigger, noise). Noise is off (scale 0) unless a test is
// about the noise itself, so every reading below is the simulated input to the digit.

#include <QByteArray>
#include <QList>
#include <QTest>
#include <cmath>
#include <string>

#include "vxsim/core/MeterModel.h"

using vxsim::Function;
using vxsim::MeterConfig;
using vxsim::MeterModel;

namespace {

MeterConfig quiet(vxsim::Model model = vxsim::Model::VX480) {
    MeterConfig config;
    config.model = model;
    config.noiseScale = 0.0;
    return config;
}

QByteArray feedLine(MeterModel& model, const QByteArray& line) {
    const std::string bytes = (line + model.config().terminator).toStdString();
    return QByteArray::fromStdString(model.feed(bytes));
}

// Feeds setting lines, which must draw no reply and queue no error.
bool configure(MeterModel& model, const QByteArrayList& lines) {
    for (const auto& line : lines) {
        if (!feedLine(model, line).isEmpty() || model.pendingErrors() != 0) {
            qWarning("setting line %s was not accepted", line.constData());
            return false;
        }
    }
    return true;
}

double spread(MeterModel& model, int count) {
    double sum = 0.0;
    double squares = 0.0;
    for (int i = 0; i < count; ++i) {
        const double value = feedLine(model, "FETC?").trimmed().toDouble();
        sum += value;
        squares += value * value;
    }
    const double mean = sum / count;
    return std::sqrt(squares / count - mean * mean);
}

}  // namespace

class TestMeterModel : public QObject {
    Q_OBJECT

private slots:
    void replies_data();
    void replies();
    void errors_data();
    void errors();
    void errorQueueKeepsOrderAndOverflows();
    void framing_data();
    void framing();
    void overlongLineIsDroppedWithOverrun();
    void holdFreezesReading();
    void busTriggerHoldsUntilTrg();
    void manualTriggerHoldsAndTrgIsIgnored();
    void acquireTakesPresentInput();
    void resetRestoresDefaults();
    void noiseIsReproducible();
    void moreCyclesLessNoise();
};

void TestMeterModel::replies_data() {
    QTest::addColumn<QByteArrayList>("setup");
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QByteArray>("reply");

    const QByteArray idn480 = "Velmora,VX480,480K52106,2.14\n";
    QTest::newRow("*IDN?") << QByteArrayList{} << QByteArray("*IDN?") << idn480;
    QTest::newRow("*idn? lower case") << QByteArrayList{} << QByteArray("*idn?") << idn480;
    QTest::newRow("FETC? default DC volts")
        << QByteArrayList{} << QByteArray("FETC?") << QByteArray("+1.50123E+00\n");
    QTest::newRow("FETCh? long form")
        << QByteArrayList{} << QByteArray(":FETCh?") << QByteArray("+1.50123E+00\n");

    struct FunctionRow {
        const char* line;
        const char* reading;
    };
    const FunctionRow functions[] = {
        {":FUNC CONT", "+2.85000E+00"},      {":FUNC DIOD", "+6.12400E-01"},
        {":FUNC FREQ", "+1.00002E+03"},      {":FUNC PER", "+9.99980E-04"},
        {":FUNC RES", "+1.00047E+03"},       {":FUNC CURR:AC", "+8.51000E-03"},
        {":FUNC CURR:DC", "+1.20300E-02"},   {":FUNC VOLT:AC", "+2.31050E-01"},
        {":FUNC VOLT:DC", "+1.50123E+00"},   {":FUNCtion VOLTage:AC", "+2.31050E-01"},
        {"func curr", "+1.20300E-02"},       {"FUNC \"RES\"", "+1.00047E+03"},
        {":FUNC Frequency", "+1.00002E+03"},
    };
    for (const auto& row : functions) {
        QTest::newRow(row.line) << QByteArrayList{row.line} << QByteArray("FETC?")
                                << QByteArray(row.reading) + '\n';
    }

    struct SecondaryRow {
        const char* name;
        QByteArrayList setup;
        const char* reply;
    };
    const SecondaryRow secondaries[] = {
        {"VOLT:DC + VOLT:AC", {":FUNC2:STAT 1", ":FUNC2 VOLT:AC"}, "+1.50123E+00,+2.31050E-01"},
        {"VOLT:DC + dBm", {":FUNC2:STAT 1", ":FUNC2 dBm"}, "+1.50123E+00,+5.74743E+00"},
        {"VOLT:DC + dB", {":FUNC2:STAT 1", ":FUNC2 dB"}, "+1.50123E+00,+3.52894E+00"},
        {"VOLT:DC + FREQ", {":FUNC2:STAT 1", ":FUNC2 FREQ"}, "+1.50123E+00,+1.00002E+03"},
        {"VOLT:AC + VOLT:DC",
         {":FUNC VOLT:AC", ":FUNC2:STAT 1", ":FUNC2 VOLT:DC"},
         "+2.31050E-01,+1.50123E+00"},
        {"VOLT:AC + dBm",
         {":FUNC VOLT:AC", ":FUNC2:STAT 1", ":FUNC2 dBm"},
         "+2.31050E-01,-1.05074E+01"},
        {"VOLT:AC + dB",
         {":FUNC VOLT:AC", ":FUNC2:STAT 1", ":FUNC2 dB"},
         "+2.31050E-01,-1.27259E+01"},
        {"CURR:DC + CURR:AC",
         {":FUNC CURR:DC", ":FUNC2:STAT 1", ":FUNC2 CURR:AC"},
         "+1.20300E-02,+8.51000E-03"},
        {"CURR:AC + CURR:DC",
         {":FUNC CURR:AC", ":FUNC2:STAT 1", ":FUNC2 CURR:DC"},
         "+8.51000E-03,+1.20300E-02"},
        {"CURR:AC + FREQ",
         {":FUNC CURR:AC", ":FUNC2:STAT 1", ":FUNC2 FREQ"},
         "+8.51000E-03,+1.00002E+03"},
        {"FREQ + AC VOLTAGE",
         {":FUNC FREQ", ":FUNC2:STAT 1", ":FUNC2 AC VOLTAGE"},
         "+1.00002E+03,+2.31050E-01"},
        {"PER + AC CURRENT",
         {":FUNC PER", ":FUNC2:STAT 1", ":FUNC2 AC CURRENT"},
         "+9.99980E-04,+8.51000E-03"},
        {"secondary set before state on",
         {":FUNC2 FREQ", ":FUNC2:STAT 1"},
         "+1.50123E+00,+1.00002E+03"},
        {"FUNC2:STAT 0 ends the split",
         {":FUNC2:STAT 1", ":FUNC2 FREQ", ":FUNC2:STAT 0"},
         "+1.50123E+00"},
        {"FUNCtion2:STATe ON",
         {":FUNCtion2:STATe ON", ":FUNC2 VOLT:AC"},
         "+1.50123E+00,+2.31050E-01"},
    };
    for (const auto& row : secondaries) {
        QTest::newRow(row.name) << row.setup << QByteArray("FETC?") << QByteArray(row.reply) + '\n';
    }

    struct RangeRow {
        const char* name;
        QByteArrayList setup;
        const char* reply;
    };
    const QByteArray overload = "+9.90000E+37";
    const RangeRow ranges[] = {
        {"VOLT:DC 200 mV overloads", {"VOLT:DC:RANG 0.2"}, "+9.90000E+37"},
        {"VOLT:DC 2 V", {"VOLT:DC:RANG 2"}, "+1.50123E+00"},
        {"VOLT:DC 1000 V", {"VOLT:DC:RANG 1000"}, "+1.50123E+00"},
        {"VOLT:DC RANG 1.5 picks 2 V", {"VOLT:DC:RANG 1.5"}, "+1.50123E+00"},
        {"auto after fixed never overloads",
         {"VOLT:DC:RANG 0.2", "VOLT:DC:RANG:AUTO ON"},
         "+1.50123E+00"},
        {"auto off keeps the auto range", {"VOLT:DC:RANG:AUTO OFF"}, "+1.50123E+00"},
        {"VOLT:AC 200 mV overloads", {":FUNC VOLT:AC", "VOLT:AC:RANG 0.2"}, "+9.90000E+37"},
        {"VOLT:AC 750 V", {":FUNC VOLT:AC", "VOLT:AC:RANG 750"}, "+2.31050E-01"},
        {"CURR:DC 2 mA overloads", {":FUNC CURR:DC", "CURR:DC:RANG 0.002"}, "+9.90000E+37"},
        {"CURR:AC 20 mA", {":FUNC CURR:AC", "CURR:AC:RANG 0.02"}, "+8.51000E-03"},
        {"CURR:DC 20 A", {":FUNC CURR:DC", "CURR:DC:RANG 20"}, "+1.20300E-02"},
        {"RES 200 ohm overloads", {":FUNC RES", "RES:RANG 200"}, "+9.90000E+37"},
        {"RES 20 Mohm", {":FUNC RES", "RES:RANG 20000000"}, "+1.00047E+03"},
        {"FREQ threshold 200 mV overloads",
         {":FUNC FREQ", "FREQ:THR:VOLT:RANG 0.2"},
         "+9.90000E+37"},
        {"FREQ threshold 750 V", {":FUNC FREQ", "FREQ:THR:VOLT:RANG 750"}, "+1.00002E+03"},
        {"PER threshold 200 mV overloads", {":FUNC PER", "PER:THR:VOLT:RANG 0.2"}, "+9.90000E+37"},
        {"PER threshold 2 V", {":FUNC PER", "PER:THR:VOLT:RANG 2"}, "+9.99980E-04"},
        {"range of another function", {"VOLT:AC:RANG 0.2"}, "+1.50123E+00"},
        {"overload with secondary",
         {"VOLT:DC:RANG 0.2", ":FUNC2:STAT 1", ":FUNC2 VOLT:AC"},
         "+9.90000E+37,+2.31050E-01"},
        {"SENSe root and long forms", {"SENS:VOLTage:DC:RANGe 0.2"}, "+9.90000E+37"},
    };
    for (const auto& row : ranges) {
        QTest::newRow(row.name) << row.setup << QByteArray("FETC?") << QByteArray(row.reply) + '\n';
    }

    struct RefRow {
        const char* name;
        QByteArrayList setup;
        const char* reply;
    };
    const RefRow references[] = {
        {"VOLT:DC ref 1.5", {"VOLT:DC:REF 1.5", "VOLT:DC:REF:STAT ON"}, "+1.23000E-03"},
        {"VOLT:DC ref 2 negative", {"VOLT:DC:REF 2", "VOLT:DC:REF:STAT ON"}, "-4.98770E-01"},
        {"ref value without state", {"VOLT:DC:REF 1.5"}, "+1.50123E+00"},
        {"ref state off again",
         {"VOLT:DC:REF 1.5", "VOLT:DC:REF:STAT ON", "VOLT:DC:REF:STAT OFF"},
         "+1.50123E+00"},
        {"ref acquire", {"VOLT:DC:REF:STAT ON", "VOLT:DC:REF:ACQ"}, "+0.00000E+00"},
        {"RES ref 1010", {":FUNC RES", "RES:REF 1010", "RES:REF:STAT ON"}, "-9.53000E+00"},
        {"ref of another function", {"RES:REF 1000", "RES:REF:STAT ON"}, "+1.50123E+00"},
        {"overload ignores ref",
         {"VOLT:DC:REF 1", "VOLT:DC:REF:STAT ON", "VOLT:DC:RANG 0.2"},
         "+9.90000E+37"},
    };
    for (const auto& row : references) {
        QTest::newRow(row.name) << row.setup << QByteArray("FETC?") << QByteArray(row.reply) + '\n';
    }

    struct QueryRow {
        const char* name;
        QByteArrayList setup;
        const char* query;
        const char* reply;
    };
    const QueryRow queries[] = {
        {"DISP:ENAB? default", {}, "DISP:ENAB?", "1"},
        {"DISP:ENAB OFF", {"DISP:ENAB OFF"}, "DISP:ENAB?", "0"},
        {"DISPlay:ENABle ON", {"DISP:ENAB OFF", "DISPlay:ENABle ON"}, "disp:enab?", "1"},
        {"TRIG:SOUR BUS", {":TRIG:SOUR BUS"}, "TRIG:SOUR?", "BUS"},
        {"TRIG:SOUR MAN", {":TRIG:SOUR MAN"}, "TRIGger:SOURce?", "MAN"},
        {"TRIG:SOUR IMM", {":TRIG:SOUR BUS", ":TRIG:SOUR IMM"}, "TRIG:SOUR?", "IMM"},
        {"HOLD:STATE ON", {"HOLD:STATE ON"}, "HOLD:STAT?", "1"},
        {"HOLD:STATE OFF", {"HOLD:STATE ON", "HOLD:STATE OFF"}, "HOLD:STATE?", "0"},
        {"FUNC?", {":FUNC RES"}, "FUNC?", "\"RES\""},
        {"FUNC2?", {":FUNC2 dBm"}, "FUNC2?", "\"DBM\""},
        {"FUNC2:STAT?", {":FUNC2:STAT 1"}, "FUNC2:STAT?", "1"},
        {"RANG?", {"VOLT:DC:RANG 20"}, "VOLT:DC:RANG?", "+2.00000E+01"},
        {"RANG? auto", {}, "RES:RANG?", "+2.00000E+03"},
        {"RANG:AUTO?", {"VOLT:DC:RANG 20"}, "VOLT:DC:RANG:AUTO?", "0"},
        {"THR:VOLT:RANG?", {"FREQ:THR:VOLT:RANG 20"}, "FREQ:THR:VOLT:RANG?", "+2.00000E+01"},
        {"NPLC 10", {":VOLT:DC:NPLC 10"}, "VOLT:DC:NPLC?", "+1.00000E+01"},
        {"NPLC 0.1", {":RES:NPLC 0.1"}, "RES:NPLC?", "+1.00000E-01"},
        {"NPLC diode", {":DIOD:NPLC 10"}, "DIOD:NPLC?", "+1.00000E+01"},
        {"NPLC continuity", {":CONT:NPLC 0.1"}, "CONT:NPLC?", "+1.00000E-01"},
        {"NPLC MIN", {":VOLT:AC:NPLC MIN"}, "VOLT:AC:NPLC?", "+2.00000E-02"},
        {"REF?", {"CURR:AC:REF 0.005"}, "CURR:AC:REF?", "+5.00000E-03"},
        {"REF:STAT?", {"CURR:AC:REF:STAT ON"}, "CURR:AC:REF:STAT?", "1"},
        {"SYST:ERR? empty", {}, "SYST:ERR?", "+0,\"No error\""},
        {"*OPC?", {}, "*OPC?", "1"},
    };
    for (const auto& row : queries) {
        QTest::newRow(row.name) << row.setup << QByteArray(row.query)
                                << QByteArray(row.reply) + '\n';
    }
}

void TestMeterModel::replies() {
    QFETCH(QByteArrayList, setup);
    QFETCH(QByteArray, command);
    QFETCH(QByteArray, reply);
    MeterModel model(quiet());
    QVERIFY(configure(model, setup));
    QCOMPARE(feedLine(model, command), reply);
    QCOMPARE(model.pendingErrors(), std::size_t{0});
}

void TestMeterModel::errors_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArray>("error");

    struct Row {
        const char* line;
        const char* error;
    };
    const Row rows[] = {
        {"FOO", "-113,\"Undefined header\""},
        {"*FOO?", "-113,\"Undefined header\""},
        {"*TRG?", "-113,\"Undefined header\""},
        {"VOLTA:DC:RANG 2", "-113,\"Undefined header\""},
        {"FREQ:NPLC 1", "-113,\"Undefined header\""},
        {"PER:RANG 2", "-113,\"Undefined header\""},
        {"DIOD:RANG 2", "-113,\"Undefined header\""},
        {"CONT:RANG:AUTO ON", "-113,\"Undefined header\""},
        {"VOLT:DC:THR:VOLT:RANG 2", "-113,\"Undefined header\""},
        {"VOLT:DC", "-113,\"Undefined header\""},
        {"VOLT:DC:RANG ", "-109,\"Missing parameter\""},
        {"VOLT:DC:RANG:AUTO ", "-109,\"Missing parameter\""},
        {"FREQ:THR:VOLT:RANG ", "-109,\"Missing parameter\""},
        {":VOLT:DC:NPLC ", "-109,\"Missing parameter\""},
        {":FUNC ", "-109,\"Missing parameter\""},
        {":FUNC2 ", "-109,\"Missing parameter\""},
        {":FUNC2:STAT", "-109,\"Missing parameter\""},
        {":TRIG:SOUR ", "-109,\"Missing parameter\""},
        {"DISP:ENAB ", "-109,\"Missing parameter\""},
        {"VOLT:DC:REF ", "-109,\"Missing parameter\""},
        {"HOLD:STATE", "-109,\"Missing parameter\""},
        {":FUNC BANANA", "-224,\"Illegal parameter value\""},
        {":FUNC2 OHMS", "-224,\"Illegal parameter value\""},
        {":TRIG:SOUR SOMETIMES", "-224,\"Illegal parameter value\""},
        {"DISP:ENAB MAYBE", "-224,\"Illegal parameter value\""},
        {"HOLD:STATE 2", "-224,\"Illegal parameter value\""},
        {":VOLT:DC:NPLC fast", "-104,\"Data type error\""},
        {"VOLT:DC:RANG abc", "-104,\"Data type error\""},
        {"VOLT:DC:REF 1.2.3", "-104,\"Data type error\""},
        {"VOLT:DC:REF Text1", "-104,\"Data type error\""},
        {":VOLT:DC:NPLC 1000", "-222,\"Data out of range\""},
        {":VOLT:DC:NPLC 0", "-222,\"Data out of range\""},
        {"VOLT:DC:RANG 5000", "-222,\"Data out of range\""},
        {"RES:RANG 30000000", "-222,\"Data out of range\""},
        {"CURR:DC:REF 1010", "-222,\"Data out of range\""},
        {"VOLT::DC:RANG 2", "-102,\"Syntax error\""},
        {"VOLT:DC:RANG; 2", "-102,\"Syntax error\""},
        {":", "-102,\"Syntax error\""},
        {"#$%", "-102,\"Syntax error\""},
        {"*IDN? extra", "-108,\"Parameter not allowed\""},
        {"FETC? 1", "-108,\"Parameter not allowed\""},
        {"*RST now", "-108,\"Parameter not allowed\""},
        {"*TRG", "-211,\"Trigger ignored\""},
        {"*IDN?\x01", "-100,\"Command error\""},
        {"\x80\x81", "-100,\"Command error\""},
    };
    for (const auto& row : rows) {
        QTest::newRow(row.line) << QByteArray(row.line) << QByteArray(row.error);
    }
}

void TestMeterModel::errors() {
    QFETCH(QByteArray, line);
    QFETCH(QByteArray, error);
    MeterModel model(quiet());
    QCOMPARE(feedLine(model, line), QByteArray());
    QCOMPARE(model.pendingErrors(), std::size_t{1});
    QCOMPARE(feedLine(model, "SYST:ERR?"), error + '\n');
    QCOMPARE(feedLine(model, "SYSTem:ERRor?"), QByteArray("+0,\"No error\"\n"));
    // The bad line changed nothing the reading depends on.
    QCOMPARE(feedLine(model, "FETC?"), QByteArray("+1.50123E+00\n"));
}

void TestMeterModel::errorQueueKeepsOrderAndOverflows() {
    MeterModel model(quiet());
    QCOMPARE(feedLine(model, "FOO"), QByteArray());
    QCOMPARE(feedLine(model, "VOLT:DC:RANG "), QByteArray());
    QCOMPARE(feedLine(model, "SYST:ERR?"), QByteArray("-113,\"Undefined header\"\n"));
    QCOMPARE(feedLine(model, "SYST:ERR?"), QByteArray("-109,\"Missing parameter\"\n"));
    QCOMPARE(feedLine(model, "SYST:ERR?"), QByteArray("+0,\"No error\"\n"));

    for (int i = 0; i < 25; ++i) {
        feedLine(model, "FOO");
    }
    QCOMPARE(model.pendingErrors(), MeterModel::kErrorQueueSize);
    for (std::size_t i = 0; i + 1 < MeterModel::kErrorQueueSize; ++i) {
        QCOMPARE(feedLine(model, "SYST:ERR?"), QByteArray("-113,\"Undefined header\"\n"));
    }
    QCOMPARE(feedLine(model, "SYST:ERR?"), QByteArray("-350,\"Queue overflow\"\n"));
    QCOMPARE(feedLine(model, "SYST:ERR?"), QByteArray("+0,\"No error\"\n"));

    feedLine(model, "FOO");
    QVERIFY(configure(model, {}));
    QCOMPARE(feedLine(model, "*CLS"), QByteArray());
    QCOMPARE(model.pendingErrors(), std::size_t{0});
}

void TestMeterModel::framing_data() {
    QTest::addColumn<char>("terminator");
    QTest::addColumn<QByteArray>("replyTerminator");
    QTest::addColumn<int>("model");
    QTest::addColumn<QByteArrayList>("pieces");
    QTest::addColumn<QByteArray>("reply");

    const QByteArray idn480 = "Velmora,VX480,480K52106,2.14";
    const QByteArray idn260 = "Velmora,VX260,260K31877,1.05";
    const int vx480 = static_cast<int>(vxsim::Model::VX480);
    const int vx260 = static_cast<int>(vxsim::Model::VX260);
    QTest::newRow("LF") << '\n'
                        << QByteArray() << vx480 << QByteArrayList{"*IDN?\n"} << idn480 + '\n';
    QTest::newRow("CR") << '\r' << QByteArray() << vx480 << QByteArrayList{"*IDN?\r"}
                        << idn480 + '\r';
    QTest::newRow("VX260") << '\n'
                           << QByteArray() << vx260 << QByteArrayList{"*IDN?\n"} << idn260 + '\n';
    QTest::newRow("CR waits for CR")
        << '\r' << QByteArray() << vx480 << QByteArrayList{"*IDN?\n"} << QByteArray();
    QTest::newRow("LF line ending in CR LF")
        << '\n'
        << QByteArray() << vx480 << QByteArrayList{"*IDN?\r\n"} << idn480 + '\n';
    QTest::newRow("CR line after LF")
        << '\r' << QByteArray() << vx480 << QByteArrayList{"\n*IDN?\r"} << idn480 + '\r';
    QTest::newRow("in pieces") << '\n'
                               << QByteArray() << vx480 << QByteArrayList{"*I", "DN", "?", "\n"}
                               << idn480 + '\n';
    QTest::newRow("two lines in one piece")
        << '\n'
        << QByteArray() << vx480 << QByteArrayList{"*IDN?\nFETC?\n"} << idn480 + "\n+1.50123E+00\n";
    QTest::newRow("reply CR LF") << '\n'
                                 << QByteArray("\r\n") << vx480 << QByteArrayList{"*IDN?\n"}
                                 << idn480 + "\r\n";
    QTest::newRow("reply CR to LF commands")
        << '\n'
        << QByteArray("\r") << vx480 << QByteArrayList{"*IDN?\n"} << idn480 + "\r";
    QTest::newRow("empty lines draw nothing")
        << '\n'
        << QByteArray() << vx480 << QByteArrayList{"\n\n  \n"} << QByteArray();
    QTest::newRow("settings draw nothing")
        << '\n'
        << QByteArray() << vx480
        << QByteArrayList{":FUNC RES\nRES:RANG 200\n:TRIG:SOUR BUS\n*RST\n"} << QByteArray();
}

void TestMeterModel::framing() {
    QFETCH(char, terminator);
    QFETCH(QByteArray, replyTerminator);
    QFETCH(int, model);
    QFETCH(QByteArrayList, pieces);
    QFETCH(QByteArray, reply);
    MeterConfig config = quiet(static_cast<vxsim::Model>(model));
    config.terminator = terminator;
    config.replyTerminator = replyTerminator.toStdString();
    MeterModel meter(config);
    QByteArray out;
    for (const auto& piece : pieces) {
        out += QByteArray::fromStdString(meter.feed(piece.toStdString()));
    }
    QCOMPARE(out, reply);
    QCOMPARE(meter.pendingErrors(), std::size_t{0});
}

void TestMeterModel::overlongLineIsDroppedWithOverrun() {
    MeterModel model(quiet());
    const std::string flood(vxsim::LineSplitter::kDefaultLimit + 100, 'A');
    QCOMPARE(model.feed(flood), std::string());
    QCOMPARE(model.feed(flood), std::string());
    QCOMPARE(model.feed("*IDN?\n"), std::string());  // ends the over-long line, not a command
    QCOMPARE(model.pendingErrors(), std::size_t{1});
    QCOMPARE(feedLine(model, "SYST:ERR?"), QByteArray("-363,\"Input buffer overrun\"\n"));
    QCOMPARE(feedLine(model, "*IDN?"), QByteArray("Velmora,VX480,480K52106,2.14\n"));
}

void TestMeterModel::holdFreezesReading() {
    MeterModel model(quiet());
    QCOMPARE(feedLine(model, "FETC?"), QByteArray("+1.50123E+00\n"));
    QVERIFY(configure(model, {"HOLD:STATE ON"}));
    model.setInput(Function::VoltageDc, 2.5);
    QCOMPARE(feedLine(model, "FETC?"), QByteArray("+1.50123E+00\n"));
    QCOMPARE(feedLine(model, "FETC?"), QByteArray("+1.50123E+00\n"));
    QVERIFY(configure(model, {"HOLD:STATE OFF"}));
    QCOMPARE(feedLine(model, "FETC?"), QByteArray("+2.50000E+00\n"));
}

void TestMeterModel::busTriggerHoldsUntilTrg() {
    MeterModel model(quiet());
    QVERIFY(configure(model, {":TRIG:SOUR BUS"}));
    QCOMPARE(feedLine(model, "FETC?"), QByteArray("+1.50123E+00\n"));
    model.setInput(Function::VoltageDc, -0.75);
    QCOMPARE(feedLine(model, "FETC?"), QByteArray("+1.50123E+00\n"));
    QVERIFY(configure(model, {"*TRG"}));
    QCOMPARE(feedLine(model, "FETC?"), QByteArray("-7.50000E-01\n"));
    model.setInput(Function::VoltageDc, 3.0);
    QCOMPARE(feedLine(model, "FETC?"), QByteArray("-7.50000E-01\n"));
    QVERIFY(configure(model, {":TRIG:SOUR IMM"}));
    QCOMPARE(feedLine(model, "FETC?"), QByteArray("+3.00000E+00\n"));
}

void TestMeterModel::manualTriggerHoldsAndTrgIsIgnored() {
    MeterModel model(quiet());
    QVERIFY(configure(model, {":TRIG:SOUR MAN"}));
    QCOMPARE(feedLine(model, "FETC?"), QByteArray("+1.50123E+00\n"));
    model.setInput(Function::VoltageDc, 2.0);
    QCOMPARE(feedLine(model, "*TRG"), QByteArray());
    QCOMPARE(feedLine(model, "FETC?"), QByteArray("+1.50123E+00\n"));
    QCOMPARE(feedLine(model, "SYST:ERR?"), QByteArray("-211,\"Trigger ignored\"\n"));
}

void TestMeterModel::acquireTakesPresentInput() {
    MeterModel model(quiet());
    QVERIFY(configure(model, {":FUNC RES", "RES:REF:STAT ON", "RES:REF:ACQ"}));
    QCOMPARE(feedLine(model, "FETC?"), QByteArray("+0.00000E+00\n"));
    model.setInput(Function::Resistance, 1100.47);
    QCOMPARE(feedLine(model, "FETC?"), QByteArray("+1.00000E+02\n"));
    QCOMPARE(feedLine(model, "RES:REF?"), QByteArray("+1.00047E+03\n"));
}

void TestMeterModel::resetRestoresDefaults() {
    MeterModel model(quiet());
    QVERIFY(configure(
        model, {":FUNC RES", "RES:RANG 200", ":RES:NPLC 10", "VOLT:DC:RANG 0.2",
                ":VOLT:DC:NPLC 0.1", ":TRIG:SOUR BUS", "DISP:ENAB OFF", "HOLD:STATE ON",
                "VOLT:DC:REF 1", "VOLT:DC:REF:STAT ON", ":FUNC2:STAT 1", ":FUNC2 dB", "*RST"}));
    const QList<QPair<QByteArray, QByteArray>> expected{
        {"FETC?", "+1.50123E+00"},
        {"FUNC?", "\"VOLT:DC\""},
        {"VOLT:DC:RANG:AUTO?", "1"},
        {"RES:RANG:AUTO?", "1"},
        {"VOLT:DC:NPLC?", "+1.00000E+00"},
        {"RES:NPLC?", "+1.00000E+00"},
        {"TRIG:SOUR?", "IMM"},
        {"DISP:ENAB?", "1"},
        {"HOLD:STAT?", "0"},
        {"VOLT:DC:REF:STAT?", "0"},
        {"FUNC2:STAT?", "0"},
    };
    for (const auto& [query, reply] : expected) {
        QCOMPARE(feedLine(model, query), reply + '\n');
    }
}

void TestMeterModel::noiseIsReproducible() {
    auto readings = [](std::uint64_t start) {
        MeterConfig config;
        config.noiseStart = start;
        MeterModel model(config);
        feedLine(model, ":FUNC VOLT:AC");
        QByteArray out;
        for (int i = 0; i < 50; ++i) {
            out += feedLine(model, "FETC?");
        }
        return out;
    };
    const QByteArray first = readings(42);
    QCOMPARE(readings(42), first);
    QVERIFY(readings(43) != first);
    // Noise moves the last digits only: every reading stays near 0.23105 V.
    for (const auto& line : first.split('\n')) {
        if (!line.isEmpty()) {
            QVERIFY2(std::fabs(line.toDouble() - 0.23105) < 0.001, line.constData());
        }
    }
}

void TestMeterModel::moreCyclesLessNoise() {
    MeterModel model;
    QVERIFY(configure(model, {":FUNC VOLT:AC", ":VOLT:AC:NPLC 0.1"}));
    const double fast = spread(model, 400);
    QVERIFY(configure(model, {":VOLT:AC:NPLC 1"}));
    const double medium = spread(model, 400);
    QVERIFY(configure(model, {":VOLT:AC:NPLC 10"}));
    const double slow = spread(model, 400);
    qInfo("spread at NPLC 0.1 / 1 / 10: %g / %g / %g V", fast, medium, slow);
    QVERIFY(slow > 0.0);
    QVERIFY(medium > 2.0 * slow);
    QVERIFY(fast > 2.0 * medium);
}

QTEST_APPLESS_MAIN(TestMeterModel)
#include "tst_vxsimmodel.moc"
