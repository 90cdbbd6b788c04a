#include <QDir>
#include <QFile>
#include <QTest>

#include "LogChecks.h"

// Replays the saved fuzzing inputs of the log reader: the first byte of each
// is the size of the pieces it is fed in, as the fuzzer does it.
class TstLogCorpus : public QObject {
    Q_OBJECT

private slots:
    void replay_data();
    void replay();
};

void TstLogCorpus::replay_data() {
    QTest::addColumn<QString>("path");
    const QDir corpus(QStringLiteral(VX_LOG_CORPUS));
    const auto names = corpus.entryList(QDir::Files, QDir::Name);
    QVERIFY(names.size() >= 10);
    for (const QString& name : names) {
        QTest::newRow(qPrintable(name)) << corpus.filePath(name);
    }
}

void TstLogCorpus::replay() {
    QFETCH(QString, path);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray data = file.readAll();
    QVERIFY(!data.isEmpty());
    const std::string_view bytes(data.constData() + 1, std::size_t(data.size() - 1));
    const vx::logread::LogContents whole = logtest::readInPieces(bytes, bytes.size() + 1);
    QCOMPARE(logtest::brokenRule(bytes, whole), std::string());
    const std::size_t piece = static_cast<unsigned char>(data[0]) % 17 + 1;
    QCOMPARE(logtest::fingerprint(logtest::readInPieces(bytes, piece)),
             logtest::fingerprint(whole));
}

QTEST_GUILESS_MAIN(TstLogCorpus)
#include "tst_logcorpus.moc"
