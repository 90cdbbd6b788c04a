// Continuous reading with logging, end to end: the real main window in the
// readinglogdriver program, the vxsim meter on a real pseudo-terminal, and
// the log file as the operator would find it, also after a kill.
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include "vxsim/client/SimProcess.h"

namespace {

constexpr double kClockFactor = 10.0;

QString driverPath() {
    const QString dir = qEnvironmentVariable("VX_BIN_DIR", QCoreApplication::applicationDirPath());
    return QDir(dir).filePath(QStringLiteral("readinglogdriver"));
}

// A reading line: the reply, then "hh:mm:ss mm/dd/yyyy".
const QRegularExpression kLine(
    QStringLiteral(R"(^([+-]\d\.\d+E[+-]\d+),(\d\d:\d\d:\d\d \d\d/\d\d/\d{4})$)"));

struct LogLines {
    QStringList replies;
    QList<QDateTime> stamps;
};

}  // namespace

class TestReadingE2e : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void runLogsExactlyNLines();
    void killLosesNoShownLine();

private:
    // Starts the driver against the simulator; false with a reason when not.
    bool startDriver(QProcess& driver, const QString& log, int lines);
    // Checks the block layout and every line's fields; the replies in order.
    static bool parseLog(const QByteArray& bytes, LogLines& out, QString& why);

    std::unique_ptr<vxsim::SimProcess> sim_;
    std::unique_ptr<QTemporaryDir> dir_;
};

void TestReadingE2e::init() {
    if (!QFile::exists(vxsim::SimProcess::programPath())) {
        QSKIP("vxsim is not built");
    }
    if (!QFile::exists(driverPath())) {
        QSKIP("readinglogdriver is not built");
    }
    dir_ = std::make_unique<QTemporaryDir>();
    sim_ = std::make_unique<vxsim::SimProcess>();
    QVERIFY2(sim_->start(), qPrintable(sim_->errorString()));
}

bool TestReadingE2e::startDriver(QProcess& driver, const QString& log, int lines) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("VXMETER_COM1"), sim_->devicePath());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    driver.setProcessEnvironment(env);
    driver.start(driverPath(), {log, QString::number(lines), QString::number(kClockFactor)});
    return driver.waitForStarted(5000);
}

bool TestReadingE2e::parseLog(const QByteArray& bytes, LogLines& out, QString& why) {
    if (!bytes.startsWith("\r\nDC Voltage(V)\r\n")) {
        why = QStringLiteral("no empty line and header first: ") +
              QString::fromLatin1(bytes.left(40));
        return false;
    }
    if (!bytes.endsWith("\r\n")) {
        why = QStringLiteral("the last line is cut short");
        return false;
    }
    QList<QByteArray> lines = bytes.split('\n');
    lines.removeLast();  // after the final LF
    for (qsizetype i = 2; i < lines.size(); ++i) {
        const QByteArray& raw = lines[i];
        const auto m = kLine.match(QString::fromLatin1(raw.chopped(1)));
        if (!raw.endsWith('\r') || !m.hasMatch()) {
            why = QStringLiteral("bad line %1: %2").arg(i).arg(QString::fromLatin1(raw));
            return false;
        }
        out.replies << m.captured(1);
        out.stamps << QDateTime::fromString(m.captured(2), QStringLiteral("HH:mm:ss MM/dd/yyyy"));
    }
    return true;
}

void TestReadingE2e::runLogsExactlyNLines() {
    const QString log = dir_->filePath(QStringLiteral("run.csv"));
    constexpr int kLines = 6;
    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    QProcess driver;
    QVERIFY(startDriver(driver, log, kLines));
    QVERIFY(driver.waitForFinished(60000));
    const QString err = QString::fromLocal8Bit(driver.readAllStandardError());
    QVERIFY2(driver.exitStatus() == QProcess::NormalExit && driver.exitCode() == 0,
             qPrintable(err));
    const QDateTime after = QDateTime::currentDateTime();

    LogLines got;
    QString why;
    QFile f(log);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QVERIFY2(parseLog(f.readAll(), got, why), qPrintable(why));
    QCOMPARE(got.replies.size(), kLines);
    // The driver saw the same replies shown and logged, in order.
    QStringList printed;
    for (const QByteArray& line : driver.readAllStandardOutput().split('\n')) {
        if (line.startsWith("logged ")) {
            printed << QString::fromLatin1(line.mid(7));
        }
    }
    QCOMPARE(printed, got.replies);
    // Stamps run forward on the program's clock, which runs kClockFactor
    // times faster than the wall clock from the driver's start.
    const qint64 span = qint64(double(before.msecsTo(after)) * kClockFactor) + 2000;
    for (qsizetype i = 0; i < got.stamps.size(); ++i) {
        QVERIFY(got.stamps[i].isValid());
        QVERIFY(got.stamps[i] >= before);
        QVERIFY(got.stamps[i] <= before.addMSecs(span));
        if (i > 0) {
            QVERIFY(got.stamps[i] >= got.stamps[i - 1]);
        }
    }
    // One query per reading: the meter heard the identification and then
    // FETC? lines only, at least one per logged reading.
    const QByteArray heard = sim_->recorded();
    QVERIFY2(heard.startsWith("*IDN?\nFETC?\n"), heard.left(40).constData());
    QCOMPARE(heard.count("\n"), heard.count("FETC?\n") + 1);
    QVERIFY(heard.count("FETC?\n") >= kLines);
}

void TestReadingE2e::killLosesNoShownLine() {
    const QString log = dir_->filePath(QStringLiteral("killed.csv"));
    {
        QFile old(log);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("earlier run\r\n");
    }
    QProcess driver;
    QVERIFY(startDriver(driver, log, 0));
    QStringList printed;
    QByteArray pending;
    QDeadlineTimer deadline(60000);
    while (printed.size() < 5 && !deadline.hasExpired() && driver.state() == QProcess::Running) {
        driver.waitForReadyRead(200);
        pending += driver.readAllStandardOutput();
        while (pending.contains('\n')) {
            const qsizetype end = pending.indexOf('\n');
            const QByteArray line = pending.left(end);
            pending.remove(0, end + 1);
            if (line.startsWith("logged ")) {
                printed << QString::fromLatin1(line.mid(7));
            }
        }
    }
    QVERIFY2(printed.size() >= 5, driver.readAllStandardError().constData());
    driver.kill();
    QVERIFY(driver.waitForFinished(10000));
    QCOMPARE(driver.exitStatus(), QProcess::CrashExit);
    // What the driver announced before it died is still in the pipe.
    pending += driver.readAllStandardOutput();
    for (const QByteArray& line : pending.split('\n')) {
        if (line.startsWith("logged ")) {
            printed << QString::fromLatin1(line.mid(7));
        }
    }

    QFile f(log);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QByteArray bytes = f.readAll();
    QVERIFY(bytes.startsWith("earlier run\r\n"));
    bytes.remove(0, qsizetype(qstrlen("earlier run\r\n")));
    LogLines got;
    QString why;
    QVERIFY2(parseLog(bytes, got, why), qPrintable(why));
    // Every line announced before the kill is there; at most the line in
    // flight at the kill comes on top.
    QVERIFY(got.replies.size() >= printed.size());
    QVERIFY(got.replies.size() <= printed.size() + 1);
    QCOMPARE(got.replies.mid(0, printed.size()), printed);
}

QTEST_MAIN(TestReadingE2e)
#include "tst_reading_e2e.moc"
