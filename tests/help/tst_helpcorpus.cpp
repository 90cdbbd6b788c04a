#include <QDir>
#include <QFile>
#include <QTest>

#include "HelpBytes.h"
#include "help/HelpFile.h"

// Replays the saved fuzzing inputs through the reader and checks what must hold
// for any input: every range stays inside the body, a subtopic always follows
// a topic, and the window's range reading never leaves the file.
class TestHelpCorpus : public QObject {
    Q_OBJECT

private slots:
    void replay_data();
    void replay();
};

void TestHelpCorpus::replay_data() {
    QTest::addColumn<QString>("path");
    const QDir corpus(QStringLiteral(VX_HELP_CORPUS));
    const auto names = corpus.entryList(QDir::Files, QDir::Name);
    QVERIFY(names.size() >= 10);
    for (const QString& name : names) {
        QTest::newRow(qPrintable(name)) << corpus.filePath(name);
    }
}

void TestHelpCorpus::replay() {
    QFETCH(QString, path);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray data = file.readAll();
    const auto bytes = helptest::bytesOf(data);
    const auto parse = vx::help::parseHelp(bytes);
    QCOMPARE(parse.ok(), bytes.size() >= vx::help::kMinimumFileSize);
    if (!parse.entries.empty()) {
        QCOMPARE(parse.entries.front().kind, vx::help::EntryKind::Topic);
    }
    for (const auto& entry : parse.entries) {
        if (entry.kind == vx::help::EntryKind::Topic || entry.range.empty()) {
            QVERIFY(entry.range.empty());
            continue;
        }
        const auto range = vx::help::parseRange(entry.range);
        QVERIFY(range.has_value());
        QVERIFY(range->first > vx::help::kBodyPosition);
        QVERIFY(range->last < bytes.size());  // the D6 byte itself follows the text
        QVERIFY(range->first <= range->last + 1);
        QCOMPARE(vx::help::rangeBytes(bytes, entry.range).size(), range->last + 1 - range->first);
    }
}

QTEST_GUILESS_MAIN(TestHelpCorpus)
#include "tst_helpcorpus.moc"
