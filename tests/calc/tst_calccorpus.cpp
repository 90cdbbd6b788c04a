#include <QDir>
#include <QFile>
#include <QTest>

#include "CalcChecks.h"

// Replays the saved fuzzing inputs of the computed channels and limits
// against the rules of CalcChecks.h.
class TstCalcCorpus : public QObject {
    Q_OBJECT

private slots:
    void replay_data();
    void replay();
};

void TstCalcCorpus::replay_data() {
    QTest::addColumn<QString>("path");
    const QDir corpus(QStringLiteral(VX_CALC_CORPUS));
    const auto names = corpus.entryList(QDir::Files, QDir::Name);
    QVERIFY(names.size() >= 10);
    for (const QString& name : names) {
        QTest::newRow(qPrintable(name)) << corpus.filePath(name);
    }
}

void TstCalcCorpus::replay() {
    QFETCH(QString, path);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray data = file.readAll();
    QCOMPARE(calctest::brokenRule(std::string_view(data.constData(), std::size_t(data.size()))),
             std::string());
}

QTEST_GUILESS_MAIN(TstCalcCorpus)
#include "tst_calccorpus.moc"
