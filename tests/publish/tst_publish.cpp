// What does not need a broker: the payloads byte for byte, the journal
// (restart, a damaged end, its bound, a file that is not one, a second
// vxlog), and the publishing options' checks.
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

#include <sys/stat.h>

#include <cmath>

#include "cli/Options.h"
#include "publish/Journal.h"
#include "publish/Payload.h"

namespace {

using vx::publish::Journal;

vx::feed::Run benchRun() {
    return {.channels = {{.name = "V", .unit = "VDC", .function = "DC VOLTAGE", .meter = 0},
                         {.name = "I", .unit = "AAC", .function = "AC CURRENT", .meter = 1},
                         {.name = "P"}},
            .meters = {{.name = "V", .port = "COM1", .identity = "Velmora,VX480,1,2.14"},
                       {.name = "I", .port = "tcp://x:1"}}};
}

vx::feed::Record benchRecord() {
    return {.sequence = 3,
            .when = QDateTime(QDate(2026, 12, 8), QTime(14, 5, 9, 250), QTimeZone(3600)),
            .values = {1.5, std::nan(""), 2.25},
            .texts = {"+1.50000E+00", "", ""},
            .missing = {"", "no reply to FETC? within 2 s", ""}};
}

QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

}  // namespace

class TestPublish : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void payloads_data();
    void payloads();
    void journalCarriesOnAfterRestart();
    void damagedEndIsCut_data();
    void damagedEndIsCut();
    void fullJournalDropsOldest();
    void notAJournalIsLeftAlone();
    void secondVxlogIsRefused();
    void options_data();
    void options();
    void authFile_data();
    void authFile();

private:
    QTemporaryDir dir_;
};

void TestPublish::payloads_data() {
    QTest::addColumn<int>("format");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("json") << int(vx::publish::PayloadFormat::Json)
                          << QByteArray(
                                 R"({"channels":{"I":{"current":"AC","function":"AC CURRENT",)"
                                 R"("meter":"I","missing":"no reply to FETC? within 2 s",)"
                                 R"("unit":"A","value":null},"P":{"value":2.25},)"
                                 R"("V":{"current":"DC","function":"DC VOLTAGE",)"
                                 R"("identity":"Velmora,VX480,1,2.14","meter":"V",)"
                                 R"("text":"+1.50000E+00","unit":"V","value":1.5}},"seq":42,)"
                                 R"("time":"2026-12-08T14:05:09.250+01:00"})");
    QTest::newRow("influx")
        << int(vx::publish::PayloadFormat::Influx)
        << QByteArray(
               "vxlog,channel=V,unit=V,current=DC,function=DC\\ VOLTAGE,meter=V "
               "value=1.5,seq=42i 1796735109250000000\n"
               "vxlog,channel=I,unit=A,current=AC,function=AC\\ CURRENT,meter=I "
               "missing=\"no reply to FETC? within 2 s\",seq=42i 1796735109250000000\n"
               "vxlog,channel=P value=2.25,seq=42i 1796735109250000000\n");
}

// Exact bytes: a missing value is null (JSON) or a "missing" field (line
// protocol), never 0 or NaN; units as consumers take them, AC or DC beside.
void TestPublish::payloads() {
    QFETCH(int, format);
    QFETCH(QByteArray, expected);
    QCOMPARE(
        vx::publish::payload(vx::publish::PayloadFormat(format), benchRun(), benchRecord(), 42),
        expected);
}

void TestPublish::journalCarriesOnAfterRestart() {
    const QString path = dir_.filePath("restart.journal");
    QString error;
    {
        Journal j;
        QVERIFY(j.open(path, 1 << 20, &error, nullptr));
        for (int i = 1; i <= 4; ++i) {
            QCOMPARE(j.append("r" + QByteArray::number(i)), i);
        }
        QVERIFY(j.sync());
        j.acknowledge(2);  // out of order: 1 still waits
        j.acknowledge(1);
        j.acknowledge(4);
    }
    Journal j;
    QStringList notes;
    QVERIFY(j.open(path, 1 << 20, &error, &notes));
    QCOMPARE(notes, QStringList());
    QCOMPARE(j.pending(), 2);  // 3, and 4 whose mark came after a gap
    QCOMPARE(j.next(0, 100)->payload, "r3");
    QCOMPARE(j.next(3, 100)->payload, "r4");
    QCOMPARE(j.append("r5"), 5);
    QVERIFY(!j.next(4, j.synced()));  // not on the disk yet
    QVERIFY(j.sync());
    QCOMPARE(j.next(4, j.synced())->sequence, 5);
}

void TestPublish::damagedEndIsCut_data() {
    QTest::addColumn<int>("cut");          // bytes taken off the end, or
    QTest::addColumn<QByteArray>("tail");  // bytes put on it, or
    QTest::addColumn<int>("flip");         // a byte changed, counted from the end
    QTest::newRow("half a header") << 25 - 4 << QByteArray() << 0;
    QTest::newRow("half a body") << 10 << QByteArray() << 0;
    QTest::newRow("zeros after a power cut") << 0 << QByteArray(300, '\0') << 0;
    QTest::newRow("a length beyond the end") << 0 << QByteArray("\xff\xff\x00\x00xxxx", 8) << 0;
    QTest::newRow("a changed byte") << 0 << QByteArray() << 3;
}

// A power cut mid-write: the entry that does not read whole is cut off,
// with a note, and the ones before it are intact; nothing is mis-read.
void TestPublish::damagedEndIsCut() {
    QFETCH(int, cut);
    QFETCH(QByteArray, tail);
    QFETCH(int, flip);
    const QString path =
        dir_.filePath(QStringLiteral("damaged-%1.journal").arg(QTest::currentDataTag()));
    QString error;
    qint64 whole = 0;
    {
        Journal j;
        QVERIFY(j.open(path, 1 << 20, &error, nullptr));
        j.append("first");
        j.append("second");
        whole = j.size();
        j.append(QByteArray(8, 'x'));  // 25 bytes with its head
        QVERIFY(j.sync());
    }
    QByteArray bytes = fileBytes(path);
    bytes.chop(cut);
    bytes += tail;
    if (flip > 0) {
        bytes[bytes.size() - flip] = char(bytes[bytes.size() - flip] ^ 0x20);
    }
    writeBytes(path, bytes);
    Journal j;
    QStringList notes;
    QVERIFY(j.open(path, 1 << 20, &error, &notes));
    QCOMPARE(notes.size(), 1);
    QVERIFY2(notes[0].contains("they were cut off"), qPrintable(notes[0]));
    QCOMPARE(j.pending(), tail.isEmpty() ? 2 : 3);
    QCOMPARE(j.next(0, 10)->payload, "first");
    QCOMPARE(j.next(1, 10)->payload, "second");
    QCOMPARE(fileBytes(path).size(), tail.isEmpty() ? whole : whole + 25);
    // And it goes on whole.
    QCOMPARE(j.append("next"), tail.isEmpty() ? 3 : 4);
    j.close();
    QVERIFY(j.open(path, 1 << 20, &error, &notes));
    QCOMPARE(notes.size(), 1);
}

// Full with nothing acknowledged: the oldest go, counted; the newest stay
// in order, and the numbers go on.
void TestPublish::fullJournalDropsOldest() {
    const QString path = dir_.filePath("full.journal");
    constexpr qint64 kSize = 64 << 10;
    QString error;
    Journal j;
    QVERIFY(j.open(path, kSize, &error, nullptr));
    qint64 dropped = 0;
    for (int i = 1; i <= 300; ++i) {
        qint64 now = 0;
        QCOMPARE(j.append(QByteArray(983, char('a' + i % 26)), &now), i);
        dropped += now;
        QVERIFY(j.size() <= kSize);
    }
    QVERIFY(dropped > 0);
    QCOMPARE(j.pending(), 300 - dropped);
    const qint64 oldest = j.next(0, 1000)->sequence;
    QCOMPARE(oldest, dropped + 1);
    QCOMPARE(j.next(oldest, 1000)->sequence, oldest + 1);
    j.close();
    QStringList notes;
    QVERIFY(j.open(path, kSize, &error, &notes));
    QCOMPARE(j.pending(), 300 - dropped);
    QCOMPARE(j.append("x"), 301);
}

void TestPublish::notAJournalIsLeftAlone() {
    const QString path = dir_.filePath("readings.csv");
    writeBytes(path, "time,primary\r\n2026,1.5\r\n");
    Journal j;
    QString error;
    QVERIFY(!j.open(path, 1 << 20, &error, nullptr));
    QCOMPARE(error, path + " is not a vxlog journal; name another with --journal");
    QCOMPARE(fileBytes(path), "time,primary\r\n2026,1.5\r\n");
}

void TestPublish::secondVxlogIsRefused() {
    const QString path = dir_.filePath("shared.journal");
    Journal first;
    Journal second;
    QString error;
    QVERIFY(first.open(path, 1 << 20, &error, nullptr));
    QVERIFY(!second.open(path, 1 << 20, &error, nullptr));
    QCOMPARE(error, "the journal " + path + " is in use by another vxlog");
}

void TestPublish::options_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("error");
    const QStringList port{"--port", "COM1"};
    QTest::newRow("other scheme") << port + QStringList{"--mqtt", "http://h/x"}
                                  << "--mqtt: \"http://h/x\" is not mqtt://HOST[:PORT]/PREFIX or "
                                     "mqtts://HOST[:PORT]/PREFIX";
    QTest::newRow("no host") << port + QStringList{"--mqtt", "mqtt:///x"}
                             << "--mqtt: \"mqtt:///x\" is not mqtt://HOST[:PORT]/PREFIX or "
                                "mqtts://HOST[:PORT]/PREFIX";
    QTest::newRow("credentials in the URL")
        << port + QStringList{"--mqtt", "mqtt://lab:secret@h/x"}
        << "--mqtt: credentials never go on the command line (others can read it); put them in "
           "a file for --mqtt-auth, or in VXLOG_MQTT_USERNAME and VXLOG_MQTT_PASSWORD";
    QTest::newRow("wildcard") << port + QStringList{"--mqtt", "mqtt://h/lab/%23"}
                              << "--mqtt: the topic prefix \"lab/#\" may not hold + or #, an empty "
                                 "level, or start with $";
    QTest::newRow("ca without tls")
        << port + QStringList{"--mqtt", "mqtt://h/x", "--mqtt-ca", "/etc/hostname"}
        << "--mqtt-ca needs an mqtts:// broker";
    QTest::newRow("missing ca") << port + QStringList{"--mqtt", "mqtts://h/x", "--mqtt-ca",
                                                      "/no/ca.pem"}
                                << "--mqtt-ca: cannot read /no/ca.pem";
    QTest::newRow("format without mqtt")
        << port + QStringList{"--mqtt-format", "influx"} << "--mqtt-format needs --mqtt";
    QTest::newRow("journal without mqtt")
        << port + QStringList{"--journal", "j"} << "--journal needs --mqtt";
    QTest::newRow("bad format")
        << port + QStringList{"--mqtt", "mqtt://h/x", "--mqtt-format", "xml"}
        << "--mqtt-format: payload format must be one of json, influx, not \"xml\"";
    QTest::newRow("tiny journal")
        << port + QStringList{"--mqtt", "mqtt://h/x", "--journal-size", "1K"}
        << "--journal-size: \"1K\" is not a size from 64K to 1024G (bytes, "
           "or a number with K, M or G)";
    QTest::newRow("slow sync") << port + QStringList{"--mqtt", "mqtt://h/x", "--journal-sync", "61"}
                               << "--journal-sync: 61 is too large; the most is 60 s";
    QTest::newRow("with send") << port + QStringList{"--send", "*IDN?", "--mqtt", "mqtt://h/x"}
                               << "--send cannot be combined with --mqtt";
    QTest::newRow("auth file missing")
        << port + QStringList{"--mqtt", "mqtt://h/x", "--mqtt-auth", "/no/auth"}
        << "--mqtt-auth: cannot read /no/auth";
}

void TestPublish::options() {
    QFETCH(QStringList, args);
    QFETCH(QString, error);
    QCOMPARE(vx::cli::parseOptions(args).error, error);
}

void TestPublish::authFile_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("error");  // "%1": the file
    QTest::addColumn<QString>("note");
    QTest::newRow("private") << QByteArray("# the lab's broker\nusername = lab\npassword=s=cret\n")
                             << 0600 << ""
                             << "";
    QTest::newRow("readable by all") << QByteArray("username=lab\npassword=s=cret\n") << 0644 << ""
                                     << "--mqtt-auth: everyone on this machine can read %1; chmod "
                                        "600 it";
    QTest::newRow("a stray line") << QByteArray("username=lab\nsecret\n") << 0600
                                  << "--mqtt-auth: line 2 of %1 is not username=NAME or "
                                     "password=SECRET"
                                  << "";
    QTest::newRow("no user") << QByteArray("password=s=cret\n") << 0600
                             << "--mqtt-auth: %1 has no username=NAME line"
                             << "";
}

// The credentials file: read as written (a password may hold "="), a file
// others can read is told, a malformed one refused with its line.
void TestPublish::authFile() {
    QFETCH(QByteArray, text);
    QFETCH(int, mode);
    QFETCH(QString, error);
    QFETCH(QString, note);
    const QString path = dir_.filePath(QStringLiteral("auth-%1").arg(QTest::currentDataTag()));
    writeBytes(path, text);
    QVERIFY(::chmod(QFile::encodeName(path).constData(), mode_t(mode)) == 0);
    const vx::cli::Parsed parsed =
        vx::cli::parseOptions({"--port", "COM1", "--mqtt", "mqtt://h/x", "--mqtt-auth", path});
    QCOMPARE(parsed.error, error.isEmpty() ? error : error.arg(path));
    QCOMPARE(parsed.notes, note.isEmpty() ? QStringList() : QStringList{note.arg(path)});
    if (error.isEmpty()) {
        QCOMPARE(parsed.options.mqtt->username, "lab");
        QCOMPARE(parsed.options.mqtt->password, "s=cret");
    }
}

QTEST_GUILESS_MAIN(TestPublish)
#include "tst_publish.moc"
