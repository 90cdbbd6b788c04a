#include <QFile>
#include <QTest>

#include "HelpBytes.h"
#include "help/HelpFile.h"
#include "mkhelp/MkHelp.h"

namespace {

// The help file mkhelp writes, read back by the program's reader: every entry
// with its title and text in the same "T:"/"S:" form as the source.
QString readBack(const mkhelp::Source& source) {
    const auto bytes = mkhelp::writeHelpFile(source);
    const auto parse = vx::help::parseHelp(bytes);
    QStringList parts;
    for (const auto& entry : parse.entries) {
        QString part = (entry.kind == vx::help::EntryKind::Topic ? "T:" : "S:") +
                       QString::fromLatin1(entry.title);
        if (entry.kind == vx::help::EntryKind::Subtopic && !entry.range.empty()) {
            const auto text = vx::help::rangeBytes(bytes, entry.range);
            part += '=' + QString::fromLatin1(reinterpret_cast<const char*>(text.data()),
                                              static_cast<int>(text.size()));
        }
        parts << part;
    }
    return parts.join('|');
}

QString expected(const mkhelp::Source& source) {
    QStringList parts;
    for (const auto& topic : source.topics) {
        parts << "T:" + QString::fromLatin1(topic.title);
        for (const auto& sub : topic.subtopics) {
            parts << "S:" + QString::fromLatin1(sub.title) +
                         (sub.text ? '=' + QString::fromLatin1(*sub.text) : QString());
        }
    }
    return parts.join('|');
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

class TestMkHelp : public QObject {
    Q_OBJECT

private slots:
    void source_data();
    void source();
    void errors_data();
    void errors();
    void layout();
    void deliveredHelpFile();
};

void TestMkHelp::source_data() {
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<QString>("entries");  // read back from the written file
    QTest::newRow("lines join into a paragraph")
        << QByteArray("@topic A\n@subtopic B\nline 1\n  line 2  \n") << "T:A|S:B=line 1 line 2";
    QTest::newRow("CR LF source") << QByteArray("@topic A\r\n@subtopic B\r\nx\r\n\r\ny\r\n")
                                  << "T:A|S:B=x\r\n\r\ny";
    QTest::newRow("blank lines trimmed at both ends, kept inside")
        << QByteArray("@topic A\n@subtopic B\n\n\nx\n\n\ny\n\n\n") << "T:A|S:B=x\r\n\r\n\r\ny";
    QTest::newRow("list items")
        << QByteArray(
               "@topic A\n@subtopic B\nintro\n- one\n  more\n- two\n"
               "1. three\n10. four\n2.5 volts\n")
        << "T:A|S:B=intro\r\n- one more\r\n- two\r\n1. three\r\n10. four 2.5 volts";
    QTest::newRow("verbatim lines")
        << QByteArray("@topic A\n@subtopic B\ntext\n|  kept   \n| x\n|\nafter\nmore\n")
        << "T:A|S:B=text\r\n kept\r\nx\r\n\r\nafter more";
    QTest::newRow("subtopic without text")
        << QByteArray("@topic A\n@subtopic B\n\n@subtopic C\nz") << "T:A|S:B|S:C=z";
    QTest::newRow("topic without subtopics")
        << QByteArray("@topic A\n@topic B\n@subtopic C\n") << "T:A|T:B|S:C";
    QTest::newRow("comments and escapes")
        << QByteArray("@# note\n@topic A\n@subtopic B\n@@home\n@# gone\nmail@host\n")
        << "T:A|S:B=@home mail@host";
    QTest::newRow("titles trimmed, first indentation kept")
        << QByteArray("@topic   A b  \n@subtopic\tB\n    indented\n") << "T:A b|S:B=    indented";
    QTest::newRow("UTF-8 to Windows-1252")
        << QByteArray(
               "@topic \xe2\x82\xac\n@subtopic \xc2\xb5V\n\xe2\x80\x9cq\xe2\x80\x9d \xc3\xbf")
        << QString::fromLatin1("T:\x80|S:\xb5V=\x93q\x94 \xff");
    QTest::newRow("tab allowed") << QByteArray("@topic A\n@subtopic B\na\tb") << "T:A|S:B=a\tb";
    QTest::newRow("empty source") << QByteArray("") << "";
}

void TestMkHelp::source() {
    QFETCH(QByteArray, source);
    QFETCH(QString, entries);
    const auto read = mkhelp::readSource(source.toStdString());
    QVERIFY(std::holds_alternative<mkhelp::Source>(read));
    QCOMPARE(readBack(std::get<mkhelp::Source>(read)), entries);
}

void TestMkHelp::errors_data() {
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("message");
    QTest::newRow("subtopic before topic")
        << QByteArray("\n@subtopic B\n") << 2 << "before the first";
    QTest::newRow("text outside a subtopic") << QByteArray("@topic A\ntext\n") << 2 << "outside";
    QTest::newRow("unknown directive")
        << QByteArray("@topic A\n@subtopic B\n@note x\n") << 3 << "unknown directive";
    for (int d = 1; d <= 6; ++d) {
        QTest::addRow("delimiter byte %d in text", d)
            << (QByteArray("@topic A\n@subtopic B\nx") + char(d) + "y\n") << 3
            << "control character";
    }
    QTest::newRow("delimiter byte in a title")
        << QByteArray("@topic A\x02\n") << 1 << "control character";
    QTest::newRow("not in Windows-1252")
        << QByteArray("@topic A\n@subtopic \xc4\x80\n") << 2 << "U+0100";
    QTest::newRow("invalid UTF-8")
        << QByteArray("@topic A\n@subtopic B\n\xc3") << 3 << "invalid UTF-8";
    QTest::newRow("stray continuation byte") << QByteArray("@topic \x80\n") << 1 << "invalid UTF-8";
}

void TestMkHelp::errors() {
    QFETCH(QByteArray, source);
    QFETCH(int, line);
    QFETCH(QString, message);
    const auto read = mkhelp::readSource(source.toStdString());
    QVERIFY(std::holds_alternative<mkhelp::SourceError>(read));
    const auto& error = std::get<mkhelp::SourceError>(read);
    QCOMPARE(error.line, line);
    QVERIFY2(QString::fromStdString(error.message).contains(message), error.message.c_str());
}

void TestMkHelp::layout() {
    const auto read = mkhelp::readSource("@topic A\n@subtopic B\nxy");
    const auto bytes = mkhelp::writeHelpFile(std::get<mkhelp::Source>(read));
    const QByteArray file(reinterpret_cast<const char*>(bytes.data()),
                          static_cast<int>(bytes.size()));
    QCOMPARE(file.mid(240, 6), QByteArray("\x01\x02\x03\x04\x05\x06"));
    QCOMPARE(file.mid(288), QByteArray("\x01"
                                       "A\x02\r\n\x03"
                                       "B\x04\r\n\x05xy\x06\r\n"));
}

// The Help.mhf the build put beside the programs is the one mkhelp writes
// from the readable source, and reads back to the source's topics and texts.
void TestMkHelp::deliveredHelpFile() {
    const QByteArray sourceText = readAll(QStringLiteral(VX_HELP_SOURCE));
    QVERIFY(!sourceText.isEmpty());
    const auto read = mkhelp::readSource(sourceText.toStdString());
    QVERIFY(std::holds_alternative<mkhelp::Source>(read));
    const auto& source = std::get<mkhelp::Source>(read);
    QVERIFY(source.topics.size() >= 8);
    QCOMPARE(readBack(source), expected(source));

    const QByteArray built = readAll(qEnvironmentVariable("VX_BIN_DIR") + "/Help.mhf");
    const auto written = mkhelp::writeHelpFile(source);
    QCOMPARE(built, QByteArray(reinterpret_cast<const char*>(written.data()),
                               static_cast<int>(written.size())));
    // Every topic of the source shows up in the built file.
    const auto parse = vx::help::parseHelp(helptest::bytesOf(built));
    int topics = 0;
    for (const auto& entry : parse.entries) {
        topics += entry.kind == vx::help::EntryKind::Topic ? 1 : 0;
    }
    QCOMPARE(topics, sourceText.count("\n@topic "));
}

QTEST_GUILESS_MAIN(TestMkHelp)
#include "tst_mkhelp.moc"
