#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <string_view>

#include "LogSummary.h"
#include "logread/LogFile.h"
#include "logread/LogReader.h"

using vx::logread::LoadOutcome;

namespace {

qint64 at(int hour, int minute, int second) {
    return QDateTime(QDate(2016, 9, 22), QTime(hour, minute, second)).toMSecsSinceEpoch();
}

vx::logread::LogContents readAll(const QByteArray& bytes, qsizetype piece) {
    vx::logread::LogReader reader;
    for (qsizetype i = 0; i < bytes.size(); i += piece) {
        const QByteArray part = bytes.mid(i, piece);
        reader.feed(std::string_view(part.constData(), std::size_t(part.size())));
    }
    return reader.finish();
}

}  // namespace

class TstLogReader : public QObject {
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void stampIsLocalTime();
    void openFile_data();
    void openFile();
    void cancelStopsReading();
    void longSessionKeepsItsSpike_data();
    void longSessionKeepsItsSpike();
    void sessionsBeyondTheLimitAreCounted();
};

// Each row: the file's bytes, and the summary of what was read (see
// LogSummary.h): the totals, then one line per session.
void TstLogReader::parse_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("summary");

    const QByteArray two =
        "\r\nDC Voltage(V)\r\n"
        "+1.50000E+00,14:05:09 09/22/2016\r\n"
        "+1.60000E+00,14:05:10 09/22/2016\r\n"
        "\r\nDC Voltage(V),Frequency(Hz)\r\n"
        "+1.70000E+00,+1.00000E+03,14:06:00 09/22/2016\r\n";
    const QString twoSummary =
        "lines 7, readings 3, bad 0\n"
        "2 'DC Voltage(V)' 2 readings; primary 2/0/0 1.5..1.6\n"
        "6 'DC Voltage(V),Frequency(Hz)' 1 readings; primary 1/0/0 1.7..1.7; secondary 1/0/0 "
        "1000..1000\n";
    QTest::newRow("two sessions, CR LF") << two << twoSummary;
    QByteArray lf = two;
    lf.replace("\r\n", "\n");
    QTest::newRow("two sessions, LF") << lf << twoSummary;
    QTest::newRow("cut last line")
        << QByteArray("\r\nAC Voltage(V)\r\n+2.0E+00,14:05:09 09/22/2016\r\n+2.1E+00,14:05:1")
        << "lines 4, readings 1, bad 1 (first 4)\n"
           "2 'AC Voltage(V)' 1 readings; primary 1/0/0 2..2\n";
    QTest::newRow("last line whole without its line end")
        << QByteArray("\nR(Ohm)\n+1.0E+03,14:05:09 09/22/2016")
        << "lines 3, readings 1, bad 0\n"
           "2 'R(Ohm)' 1 readings; primary 1/0/0 1000..1000\n";
    QTest::newRow("overloads and replies that are not numbers")
        << QByteArray(
               "\r\nV,Hz\r\n"
               "+9.90000E+37,+5.0E+01,14:05:09 09/22/2016\r\n"
               "OOPS,14:05:10 09/22/2016\r\n"
               ",14:05:11 09/22/2016\r\n"
               "-9.9E+37,+9.9E+37,14:05:12 09/22/2016\r\n"
               "+3.0E+00,+6.0E+01,14:05:13 09/22/2016\r\n")
        << "lines 7, readings 5, bad 0\n"
           "2 'V,Hz' 5 readings; primary 1/4/2 3..3; secondary 2/1/1 50..60\n";
    QTest::newRow("garbage among readings")
        << QByteArray(
               "\r\nV\r\n+1.0E+00,14:05:09 09/22/2016\r\n"
               "\x01\x02\xff garbage\r\n"
               "+1.0E+00 14:05:10 09/22/2016\r\n"  // no comma
               "+1.0E+00,14:05:10 02/30/2016\r\n"  // no such day
               "+1.0E+00,24:00:00 09/22/2016\r\n"  // no such hour
               "+1.0E+00,14:05:10 09-22-2016\r\n"  // other separators
               "+2.0E+00,14:05:11 09/22/2016\r\n")
        << "lines 9, readings 2, bad 5 (first 4)\n"
           "2 'V' 2 readings; primary 2/0/0 1..2\n";
    QTest::newRow("readings without a header")
        << QByteArray("+1.0E+00,14:05:09 09/22/2016\n+2.0E+00,14:05:10 09/22/2016\n")
        << "lines 2, readings 2, bad 0\n"
           "1 '' 2 readings; primary 2/0/0 1..2\n";
    QTest::newRow("binary where a header belongs")
        << QByteArray(
               "\n\x7f"
               "ELF\x02\x01\n+1.0E+00,14:05:09 09/22/2016\n",
               36)
        << "lines 3, readings 1, bad 1 (first 2)\n"
           "3 '' 1 readings; primary 1/0/0 1..1\n";
    QTest::newRow("overlong line")
        << QByteArray("\nV\n") + QByteArray(5000, '7') + QByteArray(",14:05:09 09/22/2016\n")
        << "lines 3, readings 0, bad 1 (first 3)\n"
           "2 'V' 0 readings; primary 0/0/0\n";
    QTest::newRow("foreign text") << QByteArray("name,age\nAda,36\n")
                                  << "lines 2, readings 0, bad 1 (first 2)\n"
                                     "1 'name,age' 0 readings; primary 0/0/0; secondary 0/0/0\n";
    QTest::newRow("four channels, empty fields, lines of another width")
        << QByteArray(
               "\r\nV: DC Voltage(V),I: DC Current(A),P,E\r\n"
               "+1.50123E+00,+1.20300E-02,0.018059797,0,12:21:07 12/08/2026\r\n"
               "+1.50122E+00,,,,12:21:08 12/08/2026\r\n"
               "+1.49E+00,+9.9E+37,,0.5,12:21:09 12/08/2026\r\n"
               "+1.6E+00,+2.0E-02,0.032,1.25,12:21:10 12/08/2026\r\n"
               "+1.7E+00,+3.0E-02,0.051,12:21:11 12/08/2026\r\n"      // three fields
               "+1.7E+00,+3.0E-02,0.051,2,7,12:21:12 12/08/2026\r\n"  // five
               "+1.7E+00,+3.0E-02,0.051,2,12:21:13 12/08/2026\r\n")
        << "lines 9, readings 5, bad 2 (first 7)\n"
           "2 'V: DC Voltage(V),I: DC Current(A),P,E' 5 readings; V: DC Voltage(V) 5/0/0 1.49..1.7"
           "; I: DC Current(A) 3/2/1 0.01203..0.03; P 3/2/0 0.0180598..0.051; E 4/1/0 0..2\n";
    QTest::newRow("three channels after one, none of them read")
        << QByteArray(
               "\nV\n+1.0E+00,14:05:09 09/22/2016\n"
               "\nA,B,C\n,,,14:05:10 09/22/2016\n1,OOPS,3,14:05:11 09/22/2016\n")
        << "lines 7, readings 3, bad 0\n"
           "2 'V' 1 readings; primary 1/0/0 1..1\n"
           "5 'A,B,C' 2 readings; A 1/1/0 1..1; B 0/2/0; C 1/1/0 3..3\n";
    QTest::newRow("sixteen channels")
        << QByteArray(
               "\nc1,c2,c3,c4,c5,c6,c7,c8,c9,c10,c11,c12,c13,c14,c15,c16\n"
               "1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,14:05:09 09/22/2016\n")
        << "lines 3, readings 1, bad 0\n"
           "2 'c1,c2,c3,c4,c5,c6,c7,c8,c9,c10,c11,c12,c13,c14,c15,c16' 1 readings; c1 1/0/0 1..1; "
           "c2 1/0/0 2..2; c3 1/0/0 3..3; c4 1/0/0 4..4; c5 1/0/0 5..5; c6 1/0/0 6..6; "
           "c7 1/0/0 7..7; c8 1/0/0 8..8; c9 1/0/0 9..9; c10 1/0/0 10..10; c11 1/0/0 11..11; "
           "c12 1/0/0 12..12; c13 1/0/0 13..13; c14 1/0/0 14..14; c15 1/0/0 15..15; "
           "c16 1/0/0 16..16\n";
    QTest::newRow("seventeen titles: the header and its lines are bad")
        << QByteArray(
               "\nc1,c2,c3,c4,c5,c6,c7,c8,c9,c10,c11,c12,c13,c14,c15,c16,c17\n"
               "1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,14:05:09 09/22/2016\n"
               "1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,14:05:10 09/22/2016\n"
               "\nV\n+1.0E+00,14:05:11 09/22/2016\n")
        << "lines 7, readings 1, bad 3 (first 2)\n"
           "6 'V' 1 readings; primary 1/0/0 1..1\n";
    QTest::newRow("only empty lines") << QByteArray("\r\n\r\n\n") << "lines 3, readings 0, bad 0\n";
    QTest::newRow("nothing") << QByteArray() << "lines 0, readings 0, bad 0\n";
}

void TstLogReader::parse() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, summary);
    QCOMPARE(logtest::summary(readAll(bytes, qMax<qsizetype>(bytes.size(), 1))), summary);
    // A line may be cut anywhere between two reads of the file.
    for (const qsizetype piece : {1, 2, 3, 7}) {
        QCOMPARE(logtest::summary(readAll(bytes, piece)), summary);
    }
}

void TstLogReader::stampIsLocalTime() {
    std::int64_t msecs = 0;
    QVERIFY(vx::logread::readStamp("14:05:09 09/22/2016", msecs));
    QCOMPARE(qint64(msecs), at(14, 5, 9));
    QVERIFY(vx::logread::readStamp("00:00:00 02/29/2016", msecs));
    QCOMPARE(qint64(msecs), QDateTime(QDate(2016, 2, 29), QTime(0, 0)).toMSecsSinceEpoch());
    QVERIFY(!vx::logread::readStamp("00:00:00 02/29/2015", msecs));
    QVERIFY(!vx::logread::readStamp("14:60:09 09/22/2016", msecs));
    QVERIFY(!vx::logread::readStamp("14:05:09 13/22/2016", msecs));
}

void TstLogReader::openFile_data() {
    QTest::addColumn<QByteArray>("bytes");  // written to the file unless null
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QString>("message");

    QTest::newRow("log") << QByteArray("\r\nV\r\n+1.0E+00,14:05:09 09/22/2016\r\n") << "a.csv"
                         << int(LoadOutcome::Read) << "";
    QTest::newRow("0 bytes") << QByteArray("") << "a.csv" << int(LoadOutcome::Empty)
                             << "The log file %1 is empty: it holds no session and no reading.";
    QTest::newRow("empty lines") << QByteArray("\r\n\r\n") << "a.csv" << int(LoadOutcome::Empty)
                                 << "The log file %1 is empty: it holds no session and no reading.";
    QTest::newRow("foreign") << QByteArray("name,age\nAda,36\n") << "a.csv"
                             << int(LoadOutcome::Foreign)
                             << "%1 is not a log of readings: none of its 2 lines is a reading "
                                "with its time stamp (value, then hh:mm:ss mm/dd/yyyy).";
    QTest::newRow("one line of text")
        << QByteArray("hello\n") << "a.txt" << int(LoadOutcome::Foreign)
        << "%1 is not a log of readings: none of its 1 lines is a "
           "reading with its time stamp (value, then hh:mm:ss "
           "mm/dd/yyyy).";
    QTest::newRow("directory") << QByteArray() << "folder" << int(LoadOutcome::Unreadable)
                               << "The log file %1 could not be read: it is a folder.";
    QTest::newRow("device") << QByteArray() << "/dev/zero" << int(LoadOutcome::Unreadable)
                            << "The log file %1 could not be read: it is not a regular file.";
    QTest::newRow("missing") << QByteArray() << "missing.csv" << int(LoadOutcome::Unreadable)
                             << "The log file %1 could not be read: No such file or directory.";
}

void TstLogReader::openFile() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, name);
    QFETCH(QString, message);
    QTemporaryDir dir;
    const QString path = name.startsWith('/') ? name : dir.filePath(name);
    if (name == "folder") {
        QVERIFY(QDir(dir.path()).mkdir(name));
    } else if (!bytes.isNull()) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    const vx::logread::LogLoad load = vx::logread::readLogFile(path);
    QTEST(int(load.outcome), "outcome");
    QCOMPARE(vx::logread::problemText(load, path), message.isEmpty() ? message : message.arg(path));
}

void TstLogReader::cancelStopsReading() {
    QTemporaryDir dir;
    QFile file(dir.filePath("a.csv"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    for (int i = 0; i < 1000; ++i) {
        file.write("\r\nV\r\n+1.0E+00,14:05:09 09/22/2016\r\n");
    }
    file.close();
    vx::logread::LoadProgress progress;
    const vx::logread::LogLoad whole = vx::logread::readLogFile(file.fileName(), &progress, 4096);
    QCOMPARE(whole.outcome, LoadOutcome::Read);
    QCOMPARE(progress.done.load(), progress.total.load());
    QCOMPARE(whole.contents.sessions.size(), std::size_t(1000));
    progress.cancel = true;
    const vx::logread::LogLoad canceled =
        vx::logread::readLogFile(file.fileName(), &progress, 4096);
    QCOMPARE(canceled.outcome, LoadOutcome::Canceled);
    QVERIFY(canceled.contents.sessions.empty());
}

// A day at one reading a second is more than one session keeps slice by
// slice: the slices widen, every reading still counts and the spike stays
// with its own value and time. A slice of more than two columns counts as one
// per two in the budget, so such a session keeps fewer, wider slices.
void TstLogReader::longSessionKeepsItsSpike_data() {
    QTest::addColumn<int>("columns");  // titles of the header
    QTest::addColumn<int>("width");    // of the slices, ms
    QTest::newRow("one column") << 1 << 8000;
    QTest::newRow("primary and secondary") << 2 << 8000;
    QTest::newRow("three channels") << 3 << 16'000;
    QTest::newRow("four channels") << 4 << 16'000;
    QTest::newRow("sixteen channels") << 16 << 64'000;
}

void TstLogReader::longSessionKeepsItsSpike() {
    QFETCH(int, columns);
    QFETCH(int, width);
    QStringList titles;
    for (int c = 0; c < columns; ++c) {
        titles << QStringLiteral("C%1(V)").arg(c);
    }
    QByteArray bytes = "\r\n" + titles.join(',').toLatin1() + "\r\n";
    const QDateTime start(QDate(2016, 9, 22), QTime(0, 0));
    for (int i = 0; i < 86'400; ++i) {
        // The spike and the overloads in the last column, the others steady.
        const QByteArray value = i == 11'527     ? "+1.25000E+01"
                                 : i % 1000 == 3 ? "+9.9E+37"
                                                 : "+1.0E+00";
        bytes += QByteArray("+1.0E+00,").repeated(columns - 1) + value + ',' +
                 start.addSecs(i).toString("HH:mm:ss MM/dd/yyyy").toLatin1() + "\r\n";
    }
    const vx::logread::LogContents contents = readAll(bytes, 1 << 16);
    QCOMPARE(contents.badLines, 0);
    QCOMPARE(contents.sessions.size(), std::size_t(1));
    const vx::logread::Session& session = contents.sessions.front();
    const auto cost = std::size_t((std::max(columns, 2) + 1) / 2);
    QVERIFY(session.series.buckets().size() <= vx::logread::kMaxSlices / cost);
    QCOMPARE(session.series.width(), width);
    const std::size_t last = std::size_t(columns - 1);
    vx::logread::Stats all;
    for (const vx::logread::Bucket& bucket : session.series.buckets()) {
        all.merge(bucket.columns[last]);
    }
    QCOMPARE(all.count(), 86'400 - 87);
    QCOMPARE(all.overloads(), 87);
    QCOMPARE(all.max(), 12.5);
    QCOMPARE(all.maxAt(), start.addSecs(11'527).toMSecsSinceEpoch());
    QCOMPARE(session.columns[last].max(), 12.5);
    QCOMPARE(session.columns[last].mean(), all.mean());
    QCOMPARE(session.columns[0].count() + session.columns[0].gaps(), 86'400);
}

void TstLogReader::sessionsBeyondTheLimitAreCounted() {
    QByteArray bytes;
    const std::size_t sessions = vx::logread::kMaxSessions + 5;
    for (std::size_t i = 0; i < sessions; ++i) {
        bytes += "\r\nV\r\n+1.0E+00,14:05:09 09/22/2016\r\n+1.0E+00,14:05:10 09/22/2016\r\n";
    }
    const vx::logread::LogContents contents = readAll(bytes, 1 << 16);
    QCOMPARE(contents.sessions.size(), vx::logread::kMaxSessions);
    QCOMPARE(contents.sessionsLeftOut, 5);
    QCOMPARE(contents.readingsLeftOut, 10);
    QCOMPARE(contents.readings, qint64(2 * sessions));
    QCOMPARE(vx::logread::skippedText(contents),
             "Only the first 10000 sessions are listed; 5 more, with 10 readings, are not.");
}

QTEST_GUILESS_MAIN(TstLogReader)
#include "tst_logreader.moc"
