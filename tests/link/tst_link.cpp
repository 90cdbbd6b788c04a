#include <QFile>
#include <QMap>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include "link/Errors.h"
#include "link/Framing.h"
#include "link/NetworkPort.h"
#include "link/PortMap.h"
#include "link/SerialLink.h"
#include "support/FakePort.h"
#include "timing/Clock.h"
#include "vxsim/client/DeadListener.h"

class TestLink : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void naturalOrder_data();
    void naturalOrder();
    void usbAndAcmFirst();
    void comNumberToDevice_data();
    void comNumberToDevice();
    void canonicalThroughLinks();
    void commandBytes_data();
    void commandBytes();
    void replyCompletion_data();
    void replyCompletion();
    void openPassesNumberAndBaud();
    void openFailuresKeepTheirNumbers_data();
    void openFailuresKeepTheirNumbers();
    void badSettingsAreRefused();
    void writeOnClosedPortFails();
    void writeFailureIsReported();
    void hangUpClosesOnceAndSaysSo();
    void readTakesEverythingWaiting();
    void realPortOpenErrors();
    void emptyVariableOpensNothing_data();
    void emptyVariableOpensNothing();
    void networkDeviceText_data();
    void networkDeviceText();
    void portTips_data();
    void portTips();
    void connectionWaitEndsEachWay();
};

void TestLink::naturalOrder_data() {
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<bool>("less");
    QTest::newRow("2 before 10") << "ttyUSB2"
                                 << "ttyUSB10" << true;
    QTest::newRow("10 after 9") << "ttyS10"
                                << "ttyS9" << false;
    QTest::newRow("letters first") << "ttyACM0"
                                   << "ttyUSB0" << true;
    QTest::newRow("equal") << "ttyS1"
                           << "ttyS1" << false;
    QTest::newRow("prefix shorter") << "ttyS"
                                    << "ttyS0" << true;
    QTest::newRow("leading zeros") << "tty007"
                                   << "tty8" << true;
    QTest::newRow("long runs") << "p99999999999999999999"
                               << "p100000000000000000000" << true;
}

void TestLink::naturalOrder() {
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(bool, less);
    QCOMPARE(vx::link::naturalLess(a, b), less);
}

void TestLink::usbAndAcmFirst() {
    const QList<vx::link::SystemPort> ports{
        {"ttyS1", "/dev/ttyS1", false},    {"ttyUSB10", "/dev/ttyUSB10", true},
        {"ttyS0", "/dev/ttyS0", false},    {"ttyACM0", "/dev/ttyACM0", true},
        {"ttyUSB2", "/dev/ttyUSB2", true}, {"ttyS10", "/dev/ttyS10", false},
    };
    QStringList names;
    for (const auto& p : vx::link::orderedPorts(ports)) {
        names << p.name;
    }
    QCOMPARE(names, QStringList({"ttyACM0", "ttyUSB2", "ttyUSB10", "ttyS0", "ttyS1", "ttyS10"}));
}

void TestLink::comNumberToDevice_data() {
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("envName");
    QTest::addColumn<QString>("envValue");
    QTest::addColumn<QString>("device");
    QTest::addColumn<QString>("problem");
    const auto row = [](const char* name, int number, const char* envName, const char* envValue,
                        const char* device, const char* problem = "") {
        QTest::newRow(name) << number << envName << envValue << device << problem;
    };
    row("first listed", 1, "", "", "/dev/ttyUSB0");
    row("third listed", 3, "", "", "/dev/ttyS0");
    row("past the list", 4, "", "", "");
    row("environment wins", 1, "VXMETER_COM1", "/tmp/sim/COM1", "/tmp/sim/COM1");
    row("other number's variable", 2, "VXMETER_COM1", "/tmp/x", "/dev/ttyACM1");
    row("fifteen from environment", 15, "VXMETER_COM15", "/dev/pts/7", "/dev/pts/7");
    row("zero", 0, "", "", "");
    row("set but empty", 1, "VXMETER_COM1", "", "", "VXMETER_COM1 is set but empty");
    row("set but empty past the list", 15, "VXMETER_COM15", "", "",
        "VXMETER_COM15 is set but empty");
    row("other number's variable empty", 2, "VXMETER_COM1", "", "/dev/ttyACM1");
}

void TestLink::comNumberToDevice() {
    QFETCH(int, number);
    QFETCH(QString, envName);
    QFETCH(QString, envValue);
    QFETCH(QString, device);
    QFETCH(QString, problem);
    QProcessEnvironment env;
    if (!envName.isEmpty()) {
        env.insert(envName, envValue);
    }
    const QList<vx::link::SystemPort> ordered{{"ttyUSB0", "/dev/ttyUSB0", true},
                                              {"ttyACM1", "/dev/ttyACM1", true},
                                              {"ttyS0", "/dev/ttyS0", false}};
    const vx::link::ComMapping mapped = vx::link::mapCom(number, env, ordered);
    QCOMPARE(mapped.device, device);
    QCOMPARE(mapped.problem, problem);
}

void TestLink::canonicalThroughLinks() {
    QTemporaryDir dir;
    const QString target = dir.filePath("device");
    QFile(target).open(QIODevice::WriteOnly);
    QVERIFY(QFile::link(target, dir.filePath("COM1")));
    QVERIFY(QFile::link(dir.filePath("COM1"), dir.filePath("again")));
    QCOMPARE(vx::link::canonicalDevice(dir.filePath("again")),
             QFileInfo(target).canonicalFilePath());
    QCOMPARE(vx::link::canonicalDevice(dir.filePath("missing")), dir.filePath("missing"));
}

void TestLink::commandBytes_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("term");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("idn LF") << "*IDN?"
                            << "\n"
                            << QByteArray("*IDN?\n");
    QTest::newRow("idn CR") << "*IDN?"
                            << "\r" << QByteArray("*IDN?\r");
    QTest::newRow("empty line") << ""
                                << "\n"
                                << QByteArray("\n");
    QTest::newRow("trailing blank kept") << "VOLT:DC:RANG "
                                         << "\r" << QByteArray("VOLT:DC:RANG \r");
    QTest::newRow("no terminator yet") << "FETC?"
                                       << "" << QByteArray("FETC?");
    QTest::newRow("single byte text") << QString::fromLatin1("\xB5V") << "\n"
                                      << QByteArray("\xB5V\n");
}

void TestLink::commandBytes() {
    QFETCH(QString, text);
    QFETCH(QString, term);
    QFETCH(QByteArray, bytes);
    QCOMPARE(vx::link::framing::commandLine(text, term), bytes);
}

void TestLink::replyCompletion_data() {
    QTest::addColumn<QByteArray>("collected");
    QTest::addColumn<QString>("term");
    QTest::addColumn<bool>("complete");
    QTest::addColumn<QString>("shown");
    QTest::newRow("LF reply") << QByteArray("+1.0E+00\n") << "\n" << true << "+1.0E+00";
    QTest::newRow("CR reply") << QByteArray("+1.0E+00\r") << "\r" << true << "+1.0E+00";
    QTest::newRow("CR LF with LF keeps CR") << QByteArray("+1.0E+00\r\n") << "\n"
                                            << true << "+1.0E+00\r";
    QTest::newRow("piece") << QByteArray("+1.0E") << "\n" << false << "+1.0";
    QTest::newRow("terminator inside") << QByteArray("A\nB") << "\n" << true << "A\n";
    QTest::newRow("NUL bytes pass") << QByteArray("1\0002\n", 4) << "\n"
                                    << true << QString::fromLatin1("1\0002", 3);
    QTest::newRow("no terminator chosen") << QByteArray("x\n") << "" << false << "x";
}

void TestLink::replyCompletion() {
    QFETCH(QByteArray, collected);
    QFETCH(QString, term);
    QFETCH(bool, complete);
    QFETCH(QString, shown);
    const QString text = vx::link::framing::fromWire(collected);
    QCOMPARE(text.size(), collected.size());
    QCOMPARE(vx::link::framing::replyComplete(text, term), complete);
    QCOMPARE(vx::link::framing::dropLast(text), shown);
}

void TestLink::openPassesNumberAndBaud() {
    FakeOpener opener;
    vx::link::SerialLink link(opener);
    link.setCommPort(7);
    link.setSettings(QStringLiteral("19200,N,8,1"));
    QCOMPARE(link.open(), 0);
    QVERIFY(link.isOpen());
    QCOMPARE(opener.opened, (QList<QPair<int, qint32>>{{7, 19200}}));
    QCOMPARE(link.devicePath(), QStringLiteral("/dev/fake7"));
    QCOMPARE(link.open(), int(vx::link::kPortInUse));
    link.close();
    QVERIFY(!link.isOpen());
}

void TestLink::openFailuresKeepTheirNumbers_data() {
    QTest::addColumn<int>("error");
    QTest::newRow("in use") << int(vx::link::kPortInUse);
    QTest::newRow("no device") << int(vx::link::kNoSuchPort);
    QTest::newRow("permission") << int(vx::link::kPermissionDenied);
}

void TestLink::openFailuresKeepTheirNumbers() {
    QFETCH(int, error);
    FakeOpener opener;
    opener.failures.insert(2, error);
    vx::link::SerialLink link(opener);
    link.setCommPort(2);
    link.setSettings(QStringLiteral("9600,N,8,1"));
    QCOMPARE(link.open(), error);
    QVERIFY(!link.isOpen());
    QVERIFY(!link.lastError().isEmpty());
}

void TestLink::badSettingsAreRefused() {
    FakeOpener opener;
    vx::link::SerialLink link(opener);
    link.setCommPort(1);
    link.setSettings(QStringLiteral(",N,8,1"));
    QCOMPARE(link.open(), int(vx::link::kSettingsRejected));
    QVERIFY(opener.opened.isEmpty());
}

void TestLink::writeOnClosedPortFails() {
    FakeOpener opener;
    vx::link::SerialLink link(opener);
    QCOMPARE(link.write("FETC?\n"), int(vx::link::kPortNotOpen));
    QVERIFY(link.readAll().isEmpty());
}

void TestLink::writeFailureIsReported() {
    FakeOpener opener;
    vx::link::SerialLink link(opener);
    link.setCommPort(1);
    link.setSettings(QStringLiteral("9600,N,8,1"));
    QCOMPARE(link.open(), 0);
    opener.port->failWrites = true;
    QCOMPARE(link.write("*RST\n"), int(vx::link::kWriteFailed));
    QVERIFY(link.lastError().contains(QStringLiteral("simulated write failure")));
}

void TestLink::hangUpClosesOnceAndSaysSo() {
    FakeOpener opener;
    vx::link::SerialLink link(opener);
    link.setCommPort(1);
    link.setSettings(QStringLiteral("9600,N,8,1"));
    QCOMPARE(link.open(), 0);
    QSignalSpy lost(&link, &vx::link::SerialLink::portLost);
    QPointer<FakePort> port = opener.port;
    port->hangUp();
    QVERIFY(!link.isOpen());
    QCOMPARE(lost.size(), 1);
    // A flood of further failures reaches no one.
    link.fail(QStringLiteral("again"));
    QCOMPARE(lost.size(), 1);
    QCOMPARE(link.write("x"), int(vx::link::kPortNotOpen));
}

void TestLink::readTakesEverythingWaiting() {
    FakeOpener opener;
    vx::link::SerialLink link(opener);
    link.setCommPort(1);
    link.setSettings(QStringLiteral("9600,N,8,1"));
    QCOMPARE(link.open(), 0);
    QSignalSpy waiting(&link, &vx::link::SerialLink::dataWaiting);
    opener.port->deliver("+1.2");
    opener.port->deliver("3E+00\n");
    QCOMPARE(waiting.size(), 2);
    QCOMPARE(link.readAll(), QByteArray("+1.23E+00\n"));
    QCOMPARE(link.readAll(), QByteArray());
}

void TestLink::realPortOpenErrors() {
    QTemporaryDir dir;
    qputenv("VXMETER_COM9", QFile::encodeName(dir.filePath("nothing-here")));
    vx::link::SerialPortOpener opener;
    const auto result = opener.open(9, 9600);
    QVERIFY(!result.device);
    QCOMPARE(result.error, int(vx::link::kNoSuchPort));
    QVERIFY2(result.reason.contains(QStringLiteral("nothing-here")), qPrintable(result.reason));
    qunsetenv("VXMETER_COM9");
}

namespace {

// A system list of two ports that counts how often it is taken.
struct CountingLister {
    int reads = 0;
    vx::link::PortLister lister() {
        return [this] {
            ++reads;
            return QList<vx::link::SystemPort>{{"ttyUSB0", "/nonexistent/ttyUSB0", true},
                                               {"ttyS0", "/nonexistent/ttyS0", false}};
        };
    }
};

// Sets VXMETER_COM<n> to values[n] for each n of `values` and unsets the
// others of COM 1 to 15; the guard it returns unsets them all.
auto comVariables(const QMap<int, QByteArray>& values) {
    const auto name = [](int n) { return "VXMETER_COM" + QByteArray::number(n); };
    for (int n = 1; n <= 15; ++n) {
        if (values.contains(n)) {
            qputenv(name(n).constData(), values[n]);
        } else {
            qunsetenv(name(n).constData());
        }
    }
    return qScopeGuard([name] {
        for (int n = 1; n <= 15; ++n) {
            qunsetenv(name(n).constData());
        }
    });
}

}  // namespace

// VXMETER_COMn set but empty is a slip, not a wish for the system's list:
// open() refuses it before taking the list, so no listed port is opened in
// its place.
void TestLink::emptyVariableOpensNothing_data() {
    QTest::addColumn<int>("number");
    QTest::newRow("COM1, a port listed first") << 1;
    QTest::newRow("COM2, a port listed second") << 2;
    QTest::newRow("COM15, past the list") << 15;
}

void TestLink::emptyVariableOpensNothing() {
    QFETCH(int, number);
    const auto restore = comVariables({{number, ""}});
    CountingLister list;
    vx::link::SerialPortOpener opener(list.lister());
    const auto result = opener.open(number, 9600);
    QVERIFY(!result.device);
    QCOMPARE(result.error, int(vx::link::kComNotNamed));
    QCOMPARE(result.reason, QStringLiteral("VXMETER_COM%1 is set but empty: name a device "
                                           "(VXMETER_COM%1=/dev/ttyUSB0) or unset it")
                                .arg(number));
    QCOMPARE(result.devicePath, QString());
    QCOMPARE(list.reads, 0);
}

void TestLink::networkDeviceText_data() {
    QTest::addColumn<QString>("device");
    QTest::addColumn<QString>("host");  // empty: not a usable address
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("why");
    QTest::newRow("name") << "tcp://benchserver:4001"
                          << "benchserver" << 4001 << "";
    QTest::newRow("scheme in capitals") << "TCP://10.0.0.5:23"
                                        << "10.0.0.5" << 23 << "";
    QTest::newRow("IPv6") << "tcp://[::1]:65535"
                          << "::1" << 65535 << "";
    QTest::newRow("no port") << "tcp://benchserver"
                             << "" << 0 << "the port number is missing";
    QTest::newRow("empty port") << "tcp://benchserver:"
                                << "" << 0 << "the port must be a number from 1 to 65535";
    QTest::newRow("port 0") << "tcp://benchserver:0"
                            << "" << 0 << "the port must be a number from 1 to 65535";
    QTest::newRow("port too big") << "tcp://benchserver:65536"
                                  << "" << 0 << "the port must be a number from 1 to 65535";
    QTest::newRow("signed port") << "tcp://benchserver:+23"
                                 << "" << 0 << "the port must be a number from 1 to 65535";
    QTest::newRow("path after port") << "tcp://benchserver:4001/"
                                     << "" << 0 << "the port must be a number from 1 to 65535";
    QTest::newRow("no host") << "tcp://:4001"
                             << "" << 0 << "the host is missing";
    QTest::newRow("IPv6 without brackets") << "tcp://::1:4001"
                                           << "" << 0 << "write an IPv6 address in brackets";
    QTest::newRow("unclosed bracket") << "tcp://[::1:4001"
                                      << "" << 0 << "tcp://[IPv6 address]:PORT";
    QTest::newRow("space in host") << "tcp://bench server:4001"
                                   << "" << 0 << "the host holds \" \"";
}

void TestLink::networkDeviceText() {
    QFETCH(QString, device);
    QFETCH(QString, host);
    QFETCH(int, port);
    QFETCH(QString, why);
    QVERIFY(vx::link::isNetworkDevice(device));
    QString error;
    const auto address = vx::link::parseNetworkDevice(device, &error);
    QCOMPARE(address.has_value(), !host.isEmpty());
    if (address) {
        QCOMPARE(address->host, host);
        QCOMPARE(int(address->port), port);
        return;
    }
    QVERIFY2(error.contains(why), qPrintable(error));
    // The real opener refuses it before reaching the network.
    const auto result = vx::link::SerialPortOpener().openDevice(device, 9600);
    QVERIFY(!result.device);
    QCOMPARE(result.error, int(vx::link::kBadNetworkAddress));
    QCOMPARE(result.reason, error);
}

// The COM list's tool tips (and vxlog --list-ports): each entry's device,
// where a network port's baud rate is set, and a variable set but empty;
// the system's list is taken once, and only when some entry needs it.
void TestLink::portTips_data() {
    QTest::addColumn<QByteArray>("com1");
    QTest::addColumn<QByteArray>("com2");  // "-": unset
    QTest::addColumn<QStringList>("tips");
    QTest::addColumn<int>("reads");
    QTest::newRow("device and network")
        << QByteArray("/dev/ttyUSB7") << QByteArray("tcp://benchserver:4001")
        << QStringList{"/dev/ttyUSB7",
                       "tcp://benchserver:4001 (network; the baud rate is the device server's "
                       "setting)"}
        << 0;
    QTest::newRow("set but empty, then listed")
        << QByteArray("") << QByteArray("-")
        << QStringList{"VXMETER_COM1 is set but empty", "/nonexistent/ttyS0"} << 1;
    QTest::newRow("both set but empty")
        << QByteArray("") << QByteArray("")
        << QStringList{"VXMETER_COM1 is set but empty", "VXMETER_COM2 is set but empty"} << 0;
}

void TestLink::portTips() {
    QFETCH(QByteArray, com1);
    QFETCH(QByteArray, com2);
    QFETCH(QStringList, tips);
    QFETCH(int, reads);
    QMap<int, QByteArray> values{{1, com1}};
    if (com2 != "-") {
        values.insert(2, com2);
    }
    const auto restore = comVariables(values);
    CountingLister list;
    const vx::link::SerialPortOpener opener(list.lister());
    QCOMPARE(opener.describe(2), tips);
    QCOMPARE(list.reads, reads);
}

// The connection wait every program shares: made on a listening port,
// refused on a closed one, ended at its limit by a server that never accepts.
void TestLink::connectionWaitEndsEachWay() {
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    const QString open = QStringLiteral("tcp://127.0.0.1:%1").arg(server.serverPort());
    vx::timing::SystemClock clock;
    qputenv("VXMETER_COM9", open.toLatin1());
    vx::link::SerialPortOpener opener;
    vx::link::SerialLink link(opener);
    link.setCommPort(9);
    link.setSettings(QStringLiteral("9600,N,8,1"));
    QCOMPARE(link.open(), 0);
    vx::link::awaitConnection(link, clock);
    QCOMPARE(link.finishConnect(), 0);
    QVERIFY(server.hasPendingConnections() || server.waitForNewConnection(2000));
    std::unique_ptr<QTcpSocket> far(server.nextPendingConnection());
    QCOMPARE(link.write("*IDN?\n"), 0);
    QTRY_VERIFY(far->bytesAvailable() >= 6);
    QCOMPARE(far->readAll(), QByteArray("*IDN?\n"));

    // The same port once nothing listens there any more.
    link.close();
    far.reset();
    server.close();
    int error = link.open();
    if (error == 0) {
        vx::link::awaitConnection(link, clock);
        error = link.finishConnect();
    }
    QCOMPARE(error, int(vx::link::kConnectionRefused));
    QCOMPARE(
        link.lastError(),
        open + QStringLiteral(" refused the connection: no device server listens on that port"));

    // A server that never answers: the wait ends at its limit, the port closed.
    vxsim::DeadListener dead;
    QVERIFY(dead.isReady());
    const QString silent = QStringLiteral("tcp://127.0.0.1:%1").arg(dead.port());
    qputenv("VXMETER_COM9", silent.toLatin1());
    link.setConnectLimit(std::chrono::milliseconds(200));
    QCOMPARE(link.open(), 0);
    vx::link::awaitConnection(link, clock);
    QCOMPARE(link.finishConnect(), int(vx::link::kConnectTimedOut));
    qunsetenv("VXMETER_COM9");
    QVERIFY2(
        link.lastError().startsWith(QStringLiteral("no connection to %1 within 0.2 s").arg(silent)),
        qPrintable(link.lastError()));
    QVERIFY(!link.isOpen());
}

QTEST_GUILESS_MAIN(TestLink)
#include "tst_link.moc"
