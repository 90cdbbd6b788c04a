#include <QTemporaryDir>
#include <QTest>

#include "HelpBytes.h"
#include "help/CodePage.h"
#include "help/HelpFile.h"

using helptest::bytesOf;
using helptest::helpFile;
using helptest::padTo;
using helptest::render;

class TestHelpFile : public QObject {
    Q_OBJECT

private slots:
    void scan_data();
    void scan();
    void tooShort_data();
    void tooShort();
    void headerIsIgnored();
    void range_data();
    void range();
    void codePage_data();
    void codePage();
    void codePageRoundTrip();
    void readFile();
    void readFileErrors();
};

void TestHelpFile::scan_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("entries");

    QTest::newRow("worked example") << helpFile("{A}[B]<xy>") << "T:A|S:B=296,297";
    QTest::newRow("two topics, last subtopic without text")
        << helpFile("{T1}[S1]<ab>[S2]<cd>{T2}[S3]") << "T:T1|S:S1=298,299|S:S2=306,307|T:T2|S:S3=";
    QTest::newRow("empty titles") << helpFile("{}[]") << "T:|S:=";
    QTest::newRow("text at 1000 and 1001")
        << helpFile(padTo("{A}[B]", 999) + "<xy>") << "T:A|S:B=1000,1001";
    QTest::newRow("empty text block at 999, 1000")
        << helpFile(padTo("{A}[B]", 999) + "<>") << "T:A|S:B=1000,999";
    QTest::newRow("second text block wins") << helpFile("{A}[B]<x><yz>") << "T:A|S:B=299,300";
    QTest::newRow("bytes between constructs")
        << helpFile("..{A}\r\n[B]\r\n<xy>\r\n") << "T:A|S:B=302,303";
    QTest::newRow("file of 288 bytes") << helpFile("") << "";
    QTest::newRow("file of 246 bytes") << helpFile("").left(246) << "";
    QTest::newRow("body ends inside a text block") << helpFile("{A}[B]<xy") << "T:A|S:B=";
    QTest::newRow("delimiters as text bytes in the header")
        << helpFile("{A}[B]<xy>", helptest::kDelimiters, '\x02') << "T:A|S:B=296,297";
    // The open delimiters share one marker: a close takes everything since the last open.
    QTest::newRow("shared start marker") << helpFile("{A}]") << "T:A|S:A}=";
    QTest::newRow("text block after a title close") << helpFile("{A}[B]>") << "T:A|S:B=293,294";
    // A byte equal to two delimiters counts as the earlier one: D6 equal to D4 closes titles.
    QTest::newRow("first matching delimiter wins")
        << helpFile("{A}[B]<x]", "\x01\x02\x03\x04\x05\x04") << "T:A|S:B=|S:x=";
    QTest::newRow("high bytes in titles")
        << helpFile("{\x80\xff}[\x9f]") << QString::fromLatin1("T:\x80\xff|S:\x9f=");
    // Malformed bodies: read without leaving the file.
    QTest::newRow("close before any open") << helpFile("}]>A{B}") << "T:B";
    QTest::newRow("subtopic before any topic") << helpFile("[S]<xy>{A}[B]") << "T:A|S:B=";
    QTest::newRow("text before any subtopic") << helpFile("{A}<xy>[B]") << "T:A|S:B=";
    QTest::newRow("text before the first subtopic of a later topic")
        << helpFile("{A}[B]<x>{C}<yz>[D]") << "T:A|S:B=296,296|T:C|S:D=";
    QTest::newRow("only delimiters") << helpFile(">>]]}}{{[[<<") << "";
}

void TestHelpFile::scan() {
    QFETCH(QByteArray, file);
    QFETCH(QString, entries);
    const auto parse = vx::help::parseHelp(bytesOf(file));
    QVERIFY2(parse.ok(), parse.error.c_str());
    QCOMPARE(render(parse.entries, file.mid(240, 6)), entries);
}

void TestHelpFile::tooShort_data() {
    QTest::addColumn<int>("size");
    QTest::newRow("empty") << 0;
    QTest::newRow("one byte") << 1;
    QTest::newRow("no room for D6") << 245;
}

void TestHelpFile::tooShort() {
    QFETCH(int, size);
    const auto parse = vx::help::parseHelp(bytesOf(helpFile("").left(size)));
    QVERIFY(!parse.ok());
    QVERIFY(parse.entries.empty());
    QVERIFY2(parse.error.find(std::to_string(size) + " bytes long") != std::string::npos,
             parse.error.c_str());
}

void TestHelpFile::headerIsIgnored() {
    QByteArray file = helpFile("{A}[B]<xy>{C}[D]<z>");
    const auto expected = vx::help::parseHelp(bytesOf(file)).entries;
    for (int i = 0; i < 288; ++i) {
        if (i >= 240 && i < 246) {
            continue;
        }
        file[i] = static_cast<char>(i % 7);  // includes every delimiter value
    }
    QCOMPARE(render(vx::help::parseHelp(bytesOf(file)).entries), render(expected));
}

void TestHelpFile::range_data() {
    QTest::addColumn<QString>("range");
    QTest::addColumn<QByteArray>("bytes");
    // The file is "0123456789": position p holds the digit p - 1.
    QTest::newRow("inside") << "3,5" << QByteArray("234");
    QTest::newRow("one byte") << "1,1" << QByteArray("0");
    QTest::newRow("empty text") << "" << QByteArray();
    QTest::newRow("empty block") << "5,4" << QByteArray();
    QTest::newRow("end past the file is cut") << "8,20" << QByteArray("789");
    QTest::newRow("start past the file") << "11,20" << QByteArray();
    QTest::newRow("start 0 reads from position 1") << "0,2" << QByteArray("01");
    QTest::newRow("fractions are rounded") << "2.6,4.4" << QByteArray("23");
    QTest::newRow("text reads as 0") << "abc,3" << QByteArray("012");
    QTest::newRow("leading digits only") << "2x,3y" << QByteArray("12");
    QTest::newRow("no comma") << "3" << QByteArray();
    QTest::newRow("huge numbers") << "99999999999999999999999,1" << QByteArray();
}

void TestHelpFile::range() {
    QFETCH(QString, range);
    QFETCH(QByteArray, bytes);
    const QByteArray file("0123456789");
    const auto got = vx::help::rangeBytes(bytesOf(file), range.toStdString());
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(got.data()), static_cast<int>(got.size())),
             bytes);
}

void TestHelpFile::codePage_data() {
    QTest::addColumn<int>("byte");
    QTest::addColumn<int>("unicode");
    QTest::newRow("ASCII") << 0x41 << 0x41;
    QTest::newRow("CR") << 0x0D << 0x0D;
    QTest::newRow("euro sign") << 0x80 << 0x20AC;
    QTest::newRow("undefined 81") << 0x81 << 0x81;
    QTest::newRow("left double quote") << 0x93 << 0x201C;
    QTest::newRow("trade mark") << 0x99 << 0x2122;
    QTest::newRow("Y diaeresis") << 0x9F << 0x178;
    QTest::newRow("no-break space") << 0xA0 << 0xA0;
    QTest::newRow("micro sign") << 0xB5 << 0xB5;
    QTest::newRow("y diaeresis") << 0xFF << 0xFF;
}

void TestHelpFile::codePage() {
    QFETCH(int, byte);
    QFETCH(int, unicode);
    QCOMPARE(int(vx::help::windows1252ToUnicode(static_cast<std::uint8_t>(byte))), unicode);
}

void TestHelpFile::codePageRoundTrip() {
    for (int b = 0; b < 256; ++b) {
        const auto back = vx::help::unicodeToWindows1252(vx::help::windows1252ToUnicode(b));
        QVERIFY(back.has_value());
        QCOMPARE(int(*back), b);
    }
    QVERIFY(!vx::help::unicodeToWindows1252(0x100).has_value());
    QVERIFY(!vx::help::unicodeToWindows1252(0x1F600).has_value());
}

void TestHelpFile::readFile() {
    QTemporaryDir dir;
    const QByteArray content = helpFile("{A}[B]<\x80\r\n>") + QByteArray(200000, 'x');
    QFile file(dir.filePath("Help.mhf"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
    file.close();
    const auto read = vx::help::readFileBytes(file.fileName().toStdString());
    QVERIFY(read.ok());
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(read.bytes.data()),
                        static_cast<int>(read.bytes.size())),
             content);
}

void TestHelpFile::readFileErrors() {
    QTemporaryDir dir;
    const auto missing = vx::help::readFileBytes(dir.filePath("Help.mhf").toStdString());
    QCOMPARE(QString::fromStdString(missing.error), QStringLiteral("No such file or directory"));
    const auto directory = vx::help::readFileBytes(dir.path().toStdString());
    QCOMPARE(QString::fromStdString(directory.error), QStringLiteral("Is a directory"));
    QVERIFY(directory.bytes.empty());
}

QTEST_GUILESS_MAIN(TestHelpFile)
#include "tst_helpfile.moc"
