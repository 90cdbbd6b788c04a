#include <QTest>

#include <cmath>
#include <vector>

#include "calc/Channels.h"

using vx::calc::kNaN;

namespace {

const QStringList kMeters{QStringLiteral("V"), QStringLiteral("I")};

// One meter V and a constant I = 2 over rows at `times`; each row's value of
// the last channel, or the error.
struct Run {
    QString error;
    QList<double> last;
    QString limits;  // per row and limit: '.' inside, 'o' outside, 'T' triggered
};

Run run(const QStringList& calcs, const QStringList& limits, const QList<double>& times,
        const QList<double>& volts) {
    Run out;
    vx::calc::ReadChannels read = vx::calc::readChannels(kMeters, calcs, limits);
    out.error = read.error;
    if (!read.error.isEmpty()) {
        return out;
    }
    vx::calc::Evaluator evaluator(std::move(read.channels));
    for (qsizetype i = 0; i < times.size(); ++i) {
        const double values[] = {volts[i], 2.0};
        out.last.append(evaluator.evaluate({.time = times[i], .values = values}).back());
        for (const vx::calc::LimitState& s : evaluator.limits()) {
            out.limits += s.triggered ? u'T' : s.outside ? u'o' : u'.';
        }
    }
    return out;
}

QString repeated(QStringView piece, qsizetype times) {
    QString out;
    for (qsizetype i = 0; i < times; ++i) {
        out += piece;
    }
    return out;
}

}  // namespace

class TstCalc : public QObject {
    Q_OBJECT

private slots:
    void evaluate_data();
    void evaluate();
    void errors_data();
    void errors();
    void order_data();
    void order();
    void integral_data();
    void integral();
    void limits_data();
    void limits();
};

// Each row: the text of one computed channel X, read after P=V*I with the
// meters V = 12, I = 2, M missing (NaN) and N absent from the row, and X's
// value.
void TstCalc::evaluate_data() {
    QTest::addColumn<QString>("calc");
    QTest::addColumn<double>("value");

    QTest::newRow("product before sum") << "X=1+2*3" << 7.0;
    QTest::newRow("brackets first") << "X=(1+2)*3" << 9.0;
    QTest::newRow("minus from the left") << "X=10-4-3" << 3.0;
    QTest::newRow("division from the left") << "X=16/4/2" << 2.0;
    QTest::newRow("power from the right") << "X=2^3^2" << 512.0;
    QTest::newRow("power before product") << "X=3*2^2" << 12.0;
    QTest::newRow("power before unary minus") << "X=-2^2" << -4.0;
    QTest::newRow("bracketed negative base") << "X=(-2)^2" << 4.0;
    QTest::newRow("negative exponent") << "X=2^-1" << 0.5;
    QTest::newRow("minus of minus") << "X=--3" << 3.0;
    QTest::newRow("minus after an operator") << "X=V*-I" << -24.0;
    QTest::newRow("exponent notation") << "X=1.5E-3*1000" << 1.5;
    QTest::newRow("exponent with plus, lower case") << "X=2e+3" << 2000.0;
    QTest::newRow("leading point") << "X=.5" << 0.5;
    QTest::newRow("trailing point") << "X=5." << 5.0;
    QTest::newRow("blanks and tabs") << " X =\tV *  ( I + 1 ) " << 36.0;
    QTest::newRow("abs") << "X=abs(I-V)" << 10.0;
    QTest::newRow("sqrt") << "X=sqrt(V*3)" << 6.0;
    QTest::newRow("min of three") << "X=min(3, V, I)" << 2.0;
    QTest::newRow("max of one") << "X=max(-V)" << -12.0;
    QTest::newRow("functions nested") << "X=max(abs(-7), sqrt(min(V, 16)^2))" << 12.0;
    QTest::newRow("an earlier computed channel") << "X=P/V" << 2.0;
    QTest::newRow("a name with digits and _") << "_x2=V" << 12.0;
    QTest::newRow("255 brackets") << "X=" + repeated(u"(", 255) + "V" + repeated(u")", 255) << 12.0;
    QTest::newRow("4096 characters") << "X=" + repeated(u"0", 4093) + "1" << 1.0;

    QTest::newRow("division by zero") << "X=V/(I-2)" << kNaN;
    QTest::newRow("sqrt of a negative") << "X=sqrt(-V)" << kNaN;
    QTest::newRow("zero to a negative power") << "X=0^-1" << kNaN;
    QTest::newRow("root of a negative base") << "X=(-8)^(1/3)" << kNaN;
    QTest::newRow("overflow") << "X=1e300*1e300" << kNaN;
    QTest::newRow("missing meter") << "X=M*0" << kNaN;
    QTest::newRow("meter absent from the row") << "X=N+1" << kNaN;
    QTest::newRow("missing to the power 0") << "X=M^0" << kNaN;
    QTest::newRow("one to a missing power") << "X=1^M" << kNaN;
    QTest::newRow("min with a missing value") << "X=min(V, M)" << kNaN;
    QTest::newRow("max with a missing value") << "X=max(M, V)" << kNaN;
}

void TstCalc::evaluate() {
    QFETCH(QString, calc);
    QFETCH(double, value);
    const QStringList meters{"V", "I", "M", "N"};
    vx::calc::ReadChannels read = vx::calc::readChannels(meters, {"P=V*I", calc}, {});
    QCOMPARE(read.error, QString());
    QCOMPARE(read.channels.names.size(), 6);
    vx::calc::Evaluator evaluator(std::move(read.channels));
    const double row[] = {12.0, 2.0, kNaN};
    const std::span<const double> values = evaluator.evaluate({.time = 0.0, .values = row});
    QCOMPARE(values[4], 24.0);
    QCOMPARE(values[5], value);
}

// Each row: the meters, --calc and --limit texts, and the message.
void TstCalc::errors_data() {
    QTest::addColumn<QStringList>("meters");
    QTest::addColumn<QStringList>("calcs");
    QTest::addColumn<QStringList>("limits");
    QTest::addColumn<QString>("message");

    const auto calc = [](const char* name, const QString& text, const char* message) {
        QTest::newRow(name) << kMeters << QStringList{text} << QStringList{} << message;
    };
    const auto limit = [](const char* name, const QString& text, const char* message) {
        QTest::newRow(name) << kMeters << QStringList{"P=V*I"} << QStringList{text} << message;
    };
    const auto meters = [](const char* name, const QStringList& names, const char* message) {
        QTest::newRow(name) << names << QStringList{} << QStringList{} << message;
    };

    calc("operand missing at the end", "P=V*",
         R"x(--calc "P=V*": expected a number, a channel or "(" after "*" (column 5))x");
    calc("operand missing after =", "P=",
         R"x(--calc "P=": expected a number, a channel or "(" after "=" (column 3))x");
    calc("unknown channel", "P=V*J", R"x(--calc "P=V*J": no channel J; channels: V, I)x");
    calc("names are case sensitive", "P=v", R"x(--calc "P=v": no channel v; channels: V, I)x");
    calc("two operands", "P=V I",
         R"x(--calc "P=V I": expected an operator or the end after "V" (column 5))x");
    calc("bracket left open", "P=(V+I",
         R"x(--calc "P=(V+I": expected an operator or ")" after "I" (column 7))x");
    calc("bracket closed too often", "P=V)",
         R"x(--calc "P=V)": expected an operator or the end after "V" (column 4))x");
    calc("arguments left open", "P=max(V,I",
         R"x(--calc "P=max(V,I": expected an operator, "," or ")" after "I" (column 10))x");
    calc("no arguments", "P=min()",
         R"x(--calc "P=min()": expected a number, a channel or "(" after "(" (column 7))x");
    calc("too many arguments", "P=abs(V,I)",
         R"x(--calc "P=abs(V,I)": abs takes 1 argument, not 2 (column 3))x");
    calc("unknown function", "P=log(V)",
         R"x(--calc "P=log(V)": no function log; functions: abs, sqrt, min, max, integral)x");
    calc("function without brackets", "P=abs V",
         R"x(--calc "P=abs V": expected "(" after "abs" (column 7))x");
    calc("exponent without digits", "P=1.5E",
         R"x(--calc "P=1.5E": expected the digits of an exponent after "1.5E" (column 7))x");
    calc("exponent sign without digits", "P=2e-V",
         R"x(--calc "P=2e-V": expected the digits of an exponent after "2e-" (column 6))x");
    calc("number out of range", "P=1e999",
         R"x(--calc "P=1e999": "1e999" is out of range (column 3))x");
    calc("unary plus", "P=+V",
         R"x(--calc "P=+V": expected a number, a channel or "(" after "=" (column 3))x");
    calc("unknown character", "P=V#2", R"x(--calc "P=V#2": unexpected "#" (column 4))x");
    calc("control character", "P=V\x01",
         "--calc \"P=V\x01\": unexpected control character 0x01 (column 4)");
    calc("character beyond ASCII", "P=V\u00e9",
         "--calc \"P=V\u00e9\": unexpected \"\u00e9\" (column 4)");
    calc("no =", "P", R"x(--calc "P": expected "=" after "P" (column 2))x");
    calc("no name", "=V", R"x(--calc "=V": expected a channel name at the start (column 1))x");
    calc("name starts with a digit", "2P=V",
         R"x(--calc "2P=V": expected a channel name at the start (column 1))x");
    calc("empty", "", R"x(--calc "": expected a channel name at the start (column 1))x");
    calc("name of a function", "abs=V",
         R"x(--calc "abs=V": abs is a function, not a channel name)x");
    calc("name of a meter", "V=I*2", R"x(--calc "V=I*2": there is already a channel V)x");
    calc("256 brackets", "P=" + repeated(u"(", 256) + "V" + repeated(u")", 256),
         qPrintable("--calc \"P=" + repeated(u"(", 256) + "V" + repeated(u")", 256) +
                    "\": nested deeper than 256 levels (column 259)"));
    calc("256 minus signs", "P=" + repeated(u"-", 256) + "V",
         qPrintable("--calc \"P=" + repeated(u"-", 256) +
                    "V\": nested deeper than 256 levels (column 259)"));
    calc("4097 characters", "P=" + repeated(u"0", 4094) + "1",
         qPrintable("--calc \"P=" + repeated(u"0", 38) + "...\": longer than 4096 characters"));

    limit("no comparison", "V",
          R"x(--limit "V": expected an operator or a comparison (<, <=, >, >=) )x"
          R"x(after "V" (column 2))x");
    limit("= is no comparison", "V=1",
          R"x(--limit "V=1": expected an operator or a comparison (<, <=, >, >=) )x"
          R"x(after "V" (column 2))x");
    limit("no threshold", "V<", R"x(--limit "V<": expected a number after "<" (column 3))x");
    limit("a channel as threshold", "V<=I",
          R"x(--limit "V<=I": expected a number after "<=" (column 4))x");
    limit("two comparisons", "V<1<2",
          R"x(--limit "V<1<2": expected "for" or the end after "1" (column 4))x");
    limit("for without time", "V<1 for ",
          R"x(--limit "V<1 for ": expected a time after "for" (column 9))x");
    limit("not a time", "V<1 for 5x",
          R"x(--limit "V<1 for 5x": expected a time after "for", such as 90, 5s or 1m30s, )x"
          R"x(not "5x" (column 9))x");
    limit("a time too long", "V<1 for 400d",
          R"x(--limit "V<1 for 400d": the time after "for" is at most 366d, not 400d (column 9))x");
    limit("limits see every channel", "Q>1", R"x(--limit "Q>1": no channel Q; channels: V, I, P)x");
    limit("empty", "",
          R"x(--limit "": expected a number, a channel or "(" at the start (column 1))x");

    meters("meter names twice", {"V", "V"}, "there is already a channel V");
    meters("meter name not a name", {"V", "1x"},
           R"x("1x" is not a channel name: a letter or "_" first, then letters, digits or "_")x");
    meters("meter named as a function", {"min"}, "min is a function, not a channel name");
}

void TstCalc::errors() {
    QFETCH(QStringList, meters);
    QFETCH(QStringList, calcs);
    QFETCH(QStringList, limits);
    QFETCH(QString, message);
    QCOMPARE(vx::calc::readChannels(meters, calcs, limits).error, message);
}

// Each row: --calc texts in the order given, and the message ("" when they
// are accepted).
void TstCalc::order_data() {
    QTest::addColumn<QStringList>("calcs");
    QTest::addColumn<QString>("message");

    QTest::newRow("earlier computed channels")
        << QStringList{"P=V*I", "E=integral(P)/3600", "Q=E+P"} << QString();
    QTest::newRow("a later one") << QStringList{"Q=P/2", "P=V*I"}
                                 << R"x(--calc "Q=P/2": P is computed after Q; a channel may use )x"
                                    "only the meters and the channels computed before it";
    QTest::newRow("itself") << QStringList{"P=V*I", "Q=Q+P"}
                            << R"x(--calc "Q=Q+P": Q cannot use itself)x";
    QTest::newRow("a name given twice")
        << QStringList{"P=V", "P=I"} << R"x(--calc "P=I": there is already a channel P)x";
    QTest::newRow("the later of two alike, before it")
        << QStringList{"P=V", "Q=R", "R=I", "R=V"}
        << R"x(--calc "Q=R": R is computed after Q; a channel may use )x"
           "only the meters and the channels computed before it";
}

void TstCalc::order() {
    QFETCH(QStringList, calcs);
    QFETCH(QString, message);
    const vx::calc::ReadChannels read = vx::calc::readChannels(kMeters, calcs, {});
    QCOMPARE(read.error, message);
    if (message.isEmpty()) {
        QCOMPARE(read.channels.names, (QStringList{"V", "I", "P", "E", "Q"}));
    }
}

// Each row: a computed channel over V, the rows' times and values of V, and
// the channel's value on each row.
void TstCalc::integral_data() {
    QTest::addColumn<QString>("calc");
    QTest::addColumn<QList<double>>("times");
    QTest::addColumn<QList<double>>("volts");
    QTest::addColumn<QList<double>>("expected");

    QTest::newRow("constant, uneven times")
        << "E=integral(V)" << QList<double>{10, 10.5, 12, 12.25, 15} << QList<double>{2, 2, 2, 2, 2}
        << QList<double>{0, 1, 4, 4.5, 10};
    QTest::newRow("ramp, uneven times")
        << "E=integral(V)" << QList<double>{0, 1, 3, 4} << QList<double>{0, 1, 3, 4}
        << QList<double>{0, 0.5, 4.5, 8};
    QTest::newRow("NaN gap keeps the sum")
        << "E=integral(V)" << QList<double>{0, 1, 2, 3, 4} << QList<double>{1, 1, kNaN, 1, 1}
        << QList<double>{0, 1, 1, 1, 2};
    QTest::newRow("NaN first row") << "E=integral(V)" << QList<double>{0, 1, 2}
                                   << QList<double>{kNaN, 2, 2} << QList<double>{0, 0, 2};
    QTest::newRow("time standing or going back adds nothing")
        << "E=integral(V)" << QList<double>{0, 1, 1, 0.5, 1.5} << QList<double>{1, 1, 1, 1, 1}
        << QList<double>{0, 1, 1, 1, 2};
    QTest::newRow("watt hours of V*I") << "E=integral(V*I)/3600" << QList<double>{0, 1800, 3600}
                                       << QList<double>{12, 12, 12} << QList<double>{0, 12, 24};
    QTest::newRow("each integral keeps its own sum")
        << "E=integral(V)-integral(3*V)" << QList<double>{0, 1, 2} << QList<double>{1, 1, 1}
        << QList<double>{0, -2, -4};
    QTest::newRow("an integral of an integral")
        << "E=integral(integral(V))" << QList<double>{0, 1, 2} << QList<double>{2, 2, 2}
        << QList<double>{0, 1, 4};
}

void TstCalc::integral() {
    QFETCH(QString, calc);
    QFETCH(QList<double>, times);
    QFETCH(QList<double>, volts);
    QFETCH(QList<double>, expected);
    const Run r = run({calc}, {}, times, volts);
    QCOMPARE(r.error, QString());
    QCOMPARE(r.last, expected);
}

// Each row: one limit, the rows' times and values of V (I is 2), and the
// limit's state on each row: '.' inside, 'o' outside, 'T' triggered.
void TstCalc::limits_data() {
    QTest::addColumn<QString>("limit");
    QTest::addColumn<QList<double>>("times");
    QTest::addColumn<QList<double>>("volts");
    QTest::addColumn<QString>("states");

    const QList<double> seconds{0, 1, 2, 3, 4, 5, 6, 7};
    QTest::newRow("below, at once")
        << "V<11.5" << seconds.first(5) << QList<double>{12, 11, 11.5, kNaN, 10} << ".T..T";
    QTest::newRow("at most") << "V<=11.5" << seconds.first(3) << QList<double>{12, 11.5, 11.6}
                             << ".T.";
    QTest::newRow("at least, an expression")
        << "abs(V-12)>=0.5" << seconds.first(4) << QList<double>{12.5, 12.2, 11.4, 12} << "T.T.";
    QTest::newRow("above a negative threshold")
        << "V>-1.5" << seconds.first(3) << QList<double>{-2, -1.5, -1} << "..T";
    QTest::newRow("held for 5 s") << "V>2 for 5s" << seconds << QList<double>(8, 3) << "oooooTTT";
    QTest::newRow("a row inside starts the hold again")
        << "V>2 for 5s" << seconds << QList<double>{3, 3, 3, 1, 3, 3, 3, 3} << "ooo.oooo";
    QTest::newRow("a NaN row starts the hold again")
        << "V>2 for 3" << seconds << QList<double>{3, 3, kNaN, 3, 3, 3, 3, 3} << "oo.oooTT";
    QTest::newRow("uneven rows, minutes and seconds")
        << "V>2 for 1m30s" << QList<double>{0, 60, 89.5, 90, 200} << QList<double>{3, 3, 3, 3, 3}
        << "oooTT";
    QList<double> tenths;
    for (int i = 76; i < 83; ++i) {  // 8.1 - 7.6 is 0.4999999999999991
        tenths.append(i * 0.1);
    }
    QTest::newRow("tenths of a second add up to the hold")
        << "V>2 for 0.5" << tenths << QList<double>(7, 3) << "oooooTT";
    QTest::newRow("a computed channel held")
        << "integral(V)>=2 for 2s" << seconds.first(6) << QList<double>(6, 1) << "..ooTT";
}

void TstCalc::limits() {
    QFETCH(QString, limit);
    QFETCH(QList<double>, times);
    QFETCH(QList<double>, volts);
    QFETCH(QString, states);
    const Run r = run({}, {limit}, times, volts);
    QCOMPARE(r.error, QString());
    QCOMPARE(r.limits, states);
}

QTEST_GUILESS_MAIN(TstCalc)
#include "tst_calc.moc"
