// The seam between the link and the TCP connector: every outcome of a
// connection attempt reaches the link as the same error number and text as
// before, the link lets go of the connector's callbacks when it closes, and
// a program that sets no connector gets the module.
#include <QAbstractSocket>
#include <QBuffer>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

#include "link/Errors.h"
#include "link/NetworkConnect.h"
#include "link/SerialLink.h"
#include "network/TcpConnector.h"

using namespace vx::link;

namespace {

const QString kDevice = QStringLiteral("tcp://benchserver:4001");

// What the fake connector does with the next attempt, and what it handed out.
struct Fake {
    int failAtOnce = 0;  // an error number, or 0 to hand out a device
    bool connectedAtOnce = false;
    QString systemText;
    std::shared_ptr<NetworkProgress> progress;
    NetworkAddress asked;
} fake;

NetworkConnection fakeConnect(const NetworkAddress& address) {
    fake.asked = address;
    NetworkConnection connection;
    if (fake.failAtOnce != 0) {
        connection.error = fake.failAtOnce;
        connection.systemText = fake.systemText;
        return connection;
    }
    auto device = std::make_unique<QBuffer>();
    device->open(QIODevice::ReadWrite);
    connection.device = std::move(device);
    connection.progress = std::make_shared<NetworkProgress>();
    connection.progress->connected = fake.connectedAtOnce;
    fake.progress = connection.progress;
    return connection;
}

class FixedOpener final : public PortOpener {
public:
    Result open(int, qint32 baud) override { return SerialPortOpener().openDevice(kDevice, baud); }
    QStringList describe(int) const override { return {}; }
};

void callFailed(int error, const QString& systemText) {
    if (const auto told = fake.progress->onFailed) {
        told(error, systemText);
    }
}

bool watched() {
    return fake.progress && (fake.progress->onConnected || fake.progress->onFailed);
}

}  // namespace

class TestConnector : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanupTestCase();
    void outcomes_data();
    void outcomes();
    void lostAfterConnecting();
    void closedLinkHearsNothing();
    void socketErrors_data();
    void socketErrors();
    void defaultIsTheModule();
};

void TestConnector::init() {
    fake = Fake{};
    setNetworkConnector(&fakeConnect);
}

void TestConnector::cleanupTestCase() {
    setNetworkConnector(nullptr);
}

// How an attempt ends, as the link tells it: at once, while connecting, or
// connected.
void TestConnector::outcomes_data() {
    QTest::addColumn<int>("failAtOnce");
    QTest::addColumn<bool>("connectedAtOnce");
    QTest::addColumn<int>("failLater");  // while connecting; 0: connected instead
    QTest::addColumn<QString>("systemText");
    QTest::addColumn<int>("error");
    QTest::addColumn<QString>("reason");
    QTest::newRow("refused at once")
        << int(kConnectionRefused) << false << 0 << "Connection refused" << int(kConnectionRefused)
        << kDevice + " refused the connection: no device server listens on that port";
    QTest::newRow("access refused at once")
        << int(kPermissionDenied) << false << 0 << "Operation not permitted"
        << int(kPermissionDenied)
        << "the system refused a connection to " + kDevice + " (Operation not permitted)";
    QTest::newRow("name not found")
        << 0 << false << int(kHostNotFound) << "Host not found" << int(kHostNotFound)
        << "the host of " + kDevice + " was not found: check the name";
    QTest::newRow("unreachable") << 0 << false << int(kHostUnreachable) << "Network unreachable"
                                 << int(kHostUnreachable)
                                 << kDevice +
                                        " cannot be reached (Network unreachable): check "
                                        "the network and the address";
    QTest::newRow("any other") << 0 << false << int(kNetworkFailed) << "Proxy said no"
                               << int(kNetworkFailed) << kDevice + " failed: Proxy said no";
    QTest::newRow("connected later") << 0 << false << 0 << "" << int(kNoError) << "";
    QTest::newRow("connected at once") << 0 << true << 0 << "" << int(kNoError) << "";
}

void TestConnector::outcomes() {
    QFETCH(int, failAtOnce);
    QFETCH(bool, connectedAtOnce);
    QFETCH(int, failLater);
    QFETCH(QString, systemText);
    QFETCH(int, error);
    QFETCH(QString, reason);
    fake.failAtOnce = failAtOnce;
    fake.connectedAtOnce = connectedAtOnce;
    fake.systemText = systemText;
    FixedOpener opener;
    SerialLink link(opener);
    link.setSettings(QStringLiteral("9600,N,8,1"));
    const int opened = link.open();
    QCOMPARE(fake.asked.host, QStringLiteral("benchserver"));
    QCOMPARE(fake.asked.port, quint16(4001));
    if (failAtOnce != 0) {
        QCOMPARE(opened, error);
        QCOMPARE(link.lastError(), reason);
        QVERIFY(!link.isOpen());
        return;
    }
    QCOMPARE(opened, int(kNoError));
    QCOMPARE(link.connecting(), !connectedAtOnce);
    if (failLater != 0) {
        callFailed(failLater, systemText);
        QVERIFY(!link.connecting());
    } else if (!connectedAtOnce) {
        fake.progress->connected = true;
        fake.progress->onConnected();
        QVERIFY(!link.connecting());
    }
    QCOMPARE(link.finishConnect(), error);
    QCOMPARE(link.lastError(), reason);
    QCOMPARE(link.isOpen(), error == kNoError);
    // A failed attempt lets go of the connection at once.
    QCOMPARE(watched(), error == kNoError);
}

// The device server goes away after the connection was made: the port is
// closed and its owner told once, in the same words as ever.
void TestConnector::lostAfterConnecting() {
    fake.connectedAtOnce = true;
    FixedOpener opener;
    SerialLink link(opener);
    link.setSettings(QStringLiteral("9600,N,8,1"));
    QCOMPARE(link.open(), int(kNoError));
    QCOMPARE(link.finishConnect(), int(kNoError));
    QSignalSpy lost(&link, &SerialLink::portLost);
    callFailed(kConnectionClosed, QStringLiteral("The remote host closed the connection"));
    QCOMPARE(lost.size(), 1);
    QCOMPARE(lost.at(0).at(0).toString(), kDevice + QStringLiteral(" closed the connection"));
    QVERIFY(!link.isOpen());
    QVERIFY(!watched());
}

// A connection that outlives its link (the socket is deleted later) can
// still report: nothing of the link may be called then.
void TestConnector::closedLinkHearsNothing() {
    FixedOpener opener;
    {
        SerialLink link(opener);
        link.setSettings(QStringLiteral("9600,N,8,1"));
        QCOMPARE(link.open(), int(kNoError));
        QVERIFY(watched());
        link.close();
        QVERIFY(!watched());
        QCOMPARE(link.open(), int(kNoError));
        QVERIFY(watched());
    }
    QVERIFY(!watched());
}

// Qt's socket errors as the link's numbers, and the words the operator reads.
void TestConnector::socketErrors_data() {
    QTest::addColumn<int>("qt");
    QTest::addColumn<int>("error");
    QTest::addColumn<QString>("reason");
    const auto row = [](const char* name, QAbstractSocket::SocketError qt, ErrorNumber error,
                        const QString& reason) {
        QTest::newRow(name) << int(qt) << int(error) << reason;
    };
    row("refused", QAbstractSocket::ConnectionRefusedError, kConnectionRefused,
        kDevice + " refused the connection: no device server listens on that port");
    row("not found", QAbstractSocket::HostNotFoundError, kHostNotFound,
        "the host of " + kDevice + " was not found: check the name");
    row("network", QAbstractSocket::NetworkError, kHostUnreachable,
        kDevice + " cannot be reached (why): check the network and the address");
    row("timeout", QAbstractSocket::SocketTimeoutError, kConnectTimedOut,
        kDevice + " did not answer the connection in time");
    row("closed", QAbstractSocket::RemoteHostClosedError, kConnectionClosed,
        kDevice + " closed the connection");
    row("access", QAbstractSocket::SocketAccessError, kPermissionDenied,
        "the system refused a connection to " + kDevice + " (why)");
    row("proxy", QAbstractSocket::ProxyConnectionRefusedError, kNetworkFailed,
        kDevice + " failed: why");
    row("unknown", QAbstractSocket::UnknownSocketError, kNetworkFailed, kDevice + " failed: why");
}

void TestConnector::socketErrors() {
    QFETCH(int, qt);
    QFETCH(int, error);
    QFETCH(QString, reason);
    const int number = vx::network::errorNumber(QAbstractSocket::SocketError(qt));
    QCOMPARE(number, error);
    const NetworkFailure failure = networkFailure(number, kDevice, QStringLiteral("why"));
    QCOMPARE(failure.error, error);
    QCOMPARE(failure.reason, reason);
}

// Without a connector of its own, a program gets the module's, loaded once.
void TestConnector::defaultIsTheModule() {
    setNetworkConnector(nullptr);
    QString error;
    const NetworkConnector first = networkConnector(&error);
    QVERIFY2(first != nullptr, qPrintable(error));
    QVERIFY(first != &vx::network::connectTcp);
    QVERIFY(networkConnector(&error) == first);
    QFile maps(QStringLiteral("/proc/self/maps"));
    QVERIFY(maps.open(QIODevice::ReadOnly));
    QVERIFY(maps.readAll().contains("/vxlog-network.so"));
}

QTEST_GUILESS_MAIN(TestConnector)
#include "tst_connector.moc"
