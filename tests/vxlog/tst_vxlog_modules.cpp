// What a vxlog process loads: a serial run never maps the network stack, a
// tcp:// run loads it as the module vxlog-network and logs as ever, and a
// run without a usable module says why and ends, without a crash.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "vxsim/client/SimProcess.h"

namespace {

QString binDir() {
    return qEnvironmentVariable("VX_BIN_DIR");
}

QByteArray mapsOf(qint64 pid) {
    QFile maps(QStringLiteral("/proc/%1/maps").arg(pid));
    return maps.open(QIODevice::ReadOnly) ? maps.readAll() : QByteArray();
}

}  // namespace

class TestVxlogModules : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void networkOnlyWhenAsked_data();
    void networkOnlyWhenAsked();
    void withoutTheModule_data();
    void withoutTheModule();
};

void TestVxlogModules::networkOnlyWhenAsked_data() {
    QTest::addColumn<bool>("network");
    QTest::newRow("serial") << false;
    QTest::newRow("tcp") << true;
}

// Looked at while the run is under way, after its first reading.
void TestVxlogModules::networkOnlyWhenAsked() {
    QFETCH(bool, network);
    vxsim::SimProcess sim;
    QVERIFY2(sim.start(network ? QStringList{"--listen", "127.0.0.1:0"} : QStringList{}),
             qPrintable(sim.errorString()));
    QProcess vxlog;
    vxlog.start(QDir(binDir()).filePath(QStringLiteral("vxlog")),
                {"--port", sim.devicePath(), "--function", "VOLT:DC", "--interval", "0.1",
                 "--count", "600", "--format", "csv"});
    QVERIFY(vxlog.waitForStarted(5000));
    QByteArray out;
    while (!out.contains('\n') && vxlog.waitForReadyRead(5000)) {
        out += vxlog.readAllStandardOutput();
    }
    QVERIFY2(out.contains('\n'), vxlog.readAllStandardError());
    const QByteArray maps = mapsOf(vxlog.processId());
    vxlog.terminate();
    QVERIFY(vxlog.waitForFinished(5000));
    QCOMPARE(vxlog.exitCode(), 0);
    QVERIFY(maps.contains("libQt6SerialPort"));
    QCOMPARE(maps.contains("libQt6Network"), network);
    QCOMPARE(maps.contains("/vxlog-network.so"), network);
}

void TestVxlogModules::withoutTheModule_data() {
    QTest::addColumn<QString>("module");  // what lies where the module should: "" nothing
    QTest::addColumn<QString>("port");    // "sim": the simulator's pseudo-terminal
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("says");  // %1 the folder of the program
    QTest::newRow("serial needs none") << ""
                                       << "sim" << 0 << "1 reading";
    QTest::newRow("missing") << ""
                             << "tcp://127.0.0.1:1" << 3
                             << "cannot open tcp://127.0.0.1:1: network ports need the module "
                                "vxlog-network: the module vxlog-network.so is not installed "
                                "(looked in %1, %2)";
    QTest::newRow("not a module")
        << "garbage"
        << "tcp://127.0.0.1:1" << 3
        << "cannot open tcp://127.0.0.1:1: network ports need the module vxlog-network: cannot "
           "load %1/vxlog-network.so: ";
    QTest::newRow("another library")
        << "/usr/lib/x86_64-linux-gnu/libz.so.1"
        << "tcp://127.0.0.1:1" << 3
        << "cannot open tcp://127.0.0.1:1: network ports need the module vxlog-network: "
           "%1/vxlog-network.so has no entry vxNetworkConnector";
}

// The program alone in a folder of its own, with or without something in
// the module's place.
void TestVxlogModules::withoutTheModule() {
    QFETCH(QString, module);
    QFETCH(QString, port);
    QFETCH(int, code);
    QFETCH(QString, says);
    QTemporaryDir dir;
    const QString program = dir.filePath(QStringLiteral("vxlog"));
    QVERIFY(QFile::copy(QDir(binDir()).filePath(QStringLiteral("vxlog")), program));
    const QString placed = dir.filePath(QStringLiteral("vxlog-network.so"));
    if (module == QLatin1String("garbage")) {
        QFile file(placed);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("not a shared object\n");
    } else if (!module.isEmpty()) {
        if (!QFile::exists(module)) {
            QSKIP("no shared library without the entry to put in the module's place");
        }
        QVERIFY(QFile::copy(module, placed));
    }
    vxsim::SimProcess sim;
    if (port == QLatin1String("sim")) {
        QVERIFY2(sim.start({}), qPrintable(sim.errorString()));
        port = sim.devicePath();
    }
    QProcess vxlog;
    vxlog.start(program, {"--port", port, "--count", "1", "--format", "csv"});
    QVERIFY(vxlog.waitForFinished(10000));
    QCOMPARE(vxlog.exitStatus(), QProcess::NormalExit);
    const QString err = QString::fromLocal8Bit(vxlog.readAllStandardError());
    QCOMPARE(vxlog.exitCode(), code);
    const QString folder = QDir(dir.path()).canonicalPath();
    says.replace(QLatin1String("%1"), folder)
        .replace(QLatin1String("%2"), QDir::cleanPath(folder + "/../lib/vxmeter"));
    // The program's one message, said once.
    QVERIFY2(code == 0 ? err.contains(says) : err.startsWith(QStringLiteral("vxlog: ") + says),
             qPrintable(err));
}

QTEST_GUILESS_MAIN(TestVxlogModules)
#include "tst_vxlog_modules.moc"
