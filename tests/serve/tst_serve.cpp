// The live page's server in this process, loaded as vxlog loads it, against
// real sockets: the JSON endpoints byte for byte, the token on every path and
// on the WebSocket, and what an attacker or a careless viewer can do: an
// oversized request, one viewer too many, a viewer that never reads, a
// malformed `since`, another site's page, a name that points here.
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkRequest>
#include <QTcpServer>
#include <QWebSocket>

#include "serve/Http.h"
#include "serve/ServeFixture.h"

namespace {

using vx::serve::Config;

constexpr char kToken[] = "s3cret-token_0123456789";

const QByteArray kRun = R"({"channels":[{"function":"DC VOLTAGE","meter":0,"name":"V","unit":"V"},)"
                        R"({"function":"DC CURRENT","meter":1,"name":"I","unit":"A"},)"
                        R"({"function":"","meter":-1,"name":"P","unit":""}],"interval_s":0.5})";
const QByteArray kMeters =
    R"([{"identity":"Velmora,VX480,1,1.0","name":"V","port":"COM1","reason":"","state":"connected"},)"
    R"({"identity":"Velmora,VX260,2,1.0","name":"I","port":"tcp://bench:4001","reason":"",)"
    R"("state":"connected"}])";
const QByteArray kStats =
    R"([{"count":3,"max":3,"mean":2,"min":1},{"count":2,"max":0.5,"mean":0.5,"min":0.5},)"
    R"({"count":2,"max":1.5,"mean":1,"min":0.5}])";
const QByteArray kReading1 =
    R"({"missing":["","",""],"seq":1,"t":1796735109000,"texts":["+1.00000E+00","+5.00000E-01",""],)"
    R"("time":"2026-12-08T14:05:09.000+01:00","values":[1,0.5,0.5]})";
const QByteArray kReading2 =
    R"({"missing":["","I: no reply to FETC? within 2 s",""],"seq":2,"t":1796735109500,)"
    R"("texts":["+2.00000E+00","",""],"time":"2026-12-08T14:05:09.500+01:00","values":[2,null,null]})";
const QByteArray kReading3 =
    R"({"missing":["","",""],"seq":3,"t":1796735110000,"texts":["+3.00000E+00","+5.00000E-01",""],)"
    R"("time":"2026-12-08T14:05:10.000+01:00","values":[3,0.5,1.5]})";

Config loopback() {
    return {};
}

Config withToken() {
    Config c;
    c.token = kToken;
    return c;
}

// Feeds readings 1 to `n` and waits until the server holds them.
bool feed(Served& s, quint16 port, qint64 n, const QByteArray& headers = {}) {
    for (qint64 i = 1; i <= n; ++i) {
        s.sink->record(benchRecord(i));
    }
    return QTest::qWaitFor([&] {
        return get(port, "/api/readings?since=" + QByteArray::number(n - 1), headers)
            .body.contains("\"last\":" + QByteArray::number(n));
    });
}

QByteArray statusLine(const QByteArray& response) {
    return response.left(response.indexOf("\r\n"));
}

// The status line of what the server answers to `request`.
QByteArray answerTo(quint16 port, const QByteArray& request) {
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), port);
    socket.waitForConnected(2000);
    socket.write(request);
    QByteArray got;
    while (!got.contains("\r\n") && socket.waitForReadyRead(2000)) {
        got += socket.readAll();
    }
    return statusLine(got);
}

}  // namespace

class TestServe : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void endpoints_data();
    void endpoints();
    void badSince_data();
    void badSince();
    void tokenOnEveryPath_data();
    void tokenOnEveryPath();
    void tokenOnTheWebSocket_data();
    void tokenOnTheWebSocket();
    void otherHostsAndSitesRefused_data();
    void otherHostsAndSitesRefused();
    void pageFromTheModuleOnly();
    void viewerGetsHistoryThenReadings();
    void viewersBounded();
    void requestSizeBounded_data();
    void requestSizeBounded();
    void connectionsBounded();
    void idleConnectionClosed();
    void slowViewerDropped();
    void portTaken();
    void stopClosesViewers();
};

void TestServe::endpoints_data() {
    QTest::addColumn<QByteArray>("target");
    QTest::addColumn<QByteArray>("body");
    QTest::newRow("status") << QByteArray("/api/status")
                            << R"({"run":)" + kRun + R"(,"meters":)" + kMeters + R"(,"stats":)" +
                                   kStats + R"(,"latest":)" + kReading3 +
                                   R"(,"first":1,"last":3,"viewers":0})" + '\n';
    QTest::newRow("all") << QByteArray("/api/readings")
                         << R"({"first":1,"last":3,"readings":[)" + kReading1 + ',' + kReading2 +
                                ',' + kReading3 + "]}\n";
    QTest::newRow("since 1") << QByteArray("/api/readings?since=1")
                             << R"({"first":1,"last":3,"readings":[)" + kReading2 + ',' +
                                    kReading3 + "]}\n";
    QTest::newRow("since last") << QByteArray("/api/readings?since=3")
                                << QByteArray(R"({"first":1,"last":3,"readings":[]})"
                                              "\n");
    QTest::newRow("since beyond") << QByteArray("/api/readings?since=99")
                                  << QByteArray(R"({"first":1,"last":3,"readings":[]})"
                                                "\n");
}

void TestServe::endpoints() {
    QFETCH(QByteArray, target);
    QFETCH(QByteArray, body);
    Served s(loopback());
    const quint16 port = s.start();
    QVERIFY2(port != 0, qPrintable(s.error));
    QVERIFY(feed(s, port, 3));
    const Response r = get(port, target);
    QCOMPARE(r.status, 200);
    QCOMPARE(r.header("content-type"), QByteArray("application/json"));
    QCOMPARE(r.header("cache-control"), QByteArray("no-store"));
    QCOMPARE(r.body, body);
}

void TestServe::badSince_data() {
    QTest::addColumn<QByteArray>("query");
    QTest::addColumn<QByteArray>("message");
    QTest::newRow("word")
        << QByteArray("since=abc")
        << QByteArray("vxlog: since: \"abc\" is not a reading's number (0, 1, 2, ...)\n");
    QTest::newRow("negative")
        << QByteArray("since=-1")
        << QByteArray("vxlog: since: \"-1\" is not a reading's number (0, 1, 2, ...)\n");
    QTest::newRow("fraction")
        << QByteArray("since=1.5")
        << QByteArray("vxlog: since: \"1.5\" is not a reading's number (0, 1, 2, ...)\n");
    QTest::newRow("empty") << QByteArray("since=")
                           << QByteArray(
                                  "vxlog: since: \"\" is not a reading's number (0, 1, 2, ...)\n");
    QTest::newRow("too large") << QByteArray("since=99999999999999999999")
                               << QByteArray(
                                      "vxlog: since: \"99999999999999999999\" is not a "
                                      "reading's number (0, 1, 2, ...)\n");
    QTest::newRow("twice") << QByteArray("since=1&since=2")
                           << QByteArray("vxlog: since is given more than once\n");
}

void TestServe::badSince() {
    QFETCH(QByteArray, query);
    QFETCH(QByteArray, message);
    Served s(loopback());
    const quint16 port = s.start();
    QVERIFY(port != 0);
    const Response r = get(port, "/api/readings?" + query);
    QCOMPARE(r.status, 400);
    QCOMPARE(r.body, message);
    // The connection serves the next request as before.
    QCOMPARE(get(port, "/api/readings").status, 200);
}

void TestServe::tokenOnEveryPath_data() {
    QTest::addColumn<QByteArray>("target");
    QTest::addColumn<QByteArray>("headers");
    QTest::addColumn<int>("status");
    const QByteArray token = kToken;
    const QByteArray wrong = "s3cret-token_0123456788";  // same length, last byte off
    for (const QByteArray path :
         {"/", "/app.js", "/dygraph.min.js", "/api/status", "/api/readings", "/nothing"}) {
        const int found = path == "/nothing" ? 404 : 200;
        const QByteArray joiner = path.contains('?') ? "&" : "?";
        QTest::addRow("%s none", path.constData()) << path << QByteArray() << 401;
        QTest::addRow("%s wrong", path.constData())
            << path + joiner + "token=" + wrong << QByteArray() << 401;
        QTest::addRow("%s prefix", path.constData())
            << path + joiner + "token=" + token.left(token.size() - 1) << QByteArray() << 401;
        QTest::addRow("%s query", path.constData())
            << path + joiner + "token=" + token << QByteArray() << found;
        QTest::addRow("%s bearer", path.constData())
            << path << "Authorization: Bearer " + token + "\r\n"
            << found;
        QTest::addRow("%s cookie", path.constData())
            << path << "Cookie: a=b; vxlog_token=" + token + "\r\n"
            << found;
        QTest::addRow("%s wrong cookie", path.constData())
            << path << "Cookie: vxlog_token=" + wrong + "\r\n"
            << 401;
    }
}

void TestServe::tokenOnEveryPath() {
    QFETCH(QByteArray, target);
    QFETCH(QByteArray, headers);
    QFETCH(int, status);
    Served s(withToken());
    const quint16 port = s.start();
    QVERIFY(port != 0);
    QCOMPARE(s.host.messages.value(0),
             QStringLiteral("serving http://127.0.0.1:%1/ (with the token: "
                            "http://127.0.0.1:%1/?token=TOKEN)")
                 .arg(port));
    const Response r = get(port, target, headers);
    QCOMPARE(r.status, status);
    if (status == 401) {
        QCOMPARE(r.header("www-authenticate"), QByteArray("Bearer realm=\"vxlog\""));
        QVERIFY(!r.body.contains("Velmora"));
    }
    // Only the page itself gives the cookie, and only to a request with the right token.
    const bool page = status == 200 && (target == "/" || target.startsWith("/?"));
    QCOMPARE(r.header("set-cookie"),
             page ? "vxlog_token=" + QByteArray(kToken) + "; Path=/; HttpOnly; SameSite=Strict"
                  : QByteArray());
}

void TestServe::tokenOnTheWebSocket_data() {
    QTest::addColumn<QByteArray>("target");
    QTest::addColumn<QByteArray>("headers");
    QTest::addColumn<QByteArray>("status");
    const QByteArray token = kToken;
    QTest::newRow("none") << QByteArray("/ws") << QByteArray()
                          << QByteArray("HTTP/1.1 401 Unauthorized");
    QTest::newRow("wrong") << QByteArray("/ws?token=s3cret-token_0123456788") << QByteArray()
                           << QByteArray("HTTP/1.1 401 Unauthorized");
    QTest::newRow("query") << "/ws?token=" + token << QByteArray()
                           << QByteArray("HTTP/1.1 101 Switching Protocols");
    QTest::newRow("cookie") << QByteArray("/ws") << "Cookie: vxlog_token=" + token + "\r\n"
                            << QByteArray("HTTP/1.1 101 Switching Protocols");
    QTest::newRow("bearer") << QByteArray("/ws") << "Authorization: Bearer " + token + "\r\n"
                            << QByteArray("HTTP/1.1 101 Switching Protocols");
    QTest::newRow("elsewhere") << "/api/status?token=" + token << QByteArray()
                               << QByteArray("HTTP/1.1 404 Not Found");
}

void TestServe::tokenOnTheWebSocket() {
    QFETCH(QByteArray, target);
    QFETCH(QByteArray, headers);
    QFETCH(QByteArray, status);
    Served s(withToken());
    const quint16 port = s.start();
    QVERIFY(port != 0);
    QCOMPARE(answerTo(port, upgrade(port, target, headers)), status);
}

void TestServe::otherHostsAndSitesRefused_data() {
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("status");
    const QByteArray ok = "HTTP/1.1 200 OK";
    const QByteArray forbidden = "HTTP/1.1 403 Forbidden";
    QTest::newRow("localhost") << QByteArray(
                                      "GET /api/status HTTP/1.1\r\nHost: localhost:1\r\n\r\n")
                               << ok;
    QTest::newRow("ipv6 loopback")
        << QByteArray("GET /api/status HTTP/1.1\r\nHost: [::1]:1\r\n\r\n") << ok;
    QTest::newRow("a name pointed here")
        << QByteArray("GET /api/status HTTP/1.1\r\nHost: evil.example:8080\r\n\r\n") << forbidden;
    QTest::newRow("no host") << QByteArray("GET /api/status HTTP/1.1\r\n\r\n") << forbidden;
    QTest::newRow("viewer from another site")
        << QByteArray(
               "GET /ws HTTP/1.1\r\nHost: 127.0.0.1:1\r\nOrigin: http://evil.example\r\n"
               "Upgrade: websocket\r\nConnection: Upgrade\r\n"
               "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n")
        << forbidden;
    QTest::newRow("viewer from the page")
        << QByteArray(
               "GET /ws HTTP/1.1\r\nHost: 127.0.0.1:1\r\nOrigin: http://127.0.0.1:1\r\n"
               "Upgrade: websocket\r\nConnection: Upgrade\r\n"
               "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n")
        << QByteArray("HTTP/1.1 101 Switching Protocols");
    QTest::newRow("no key") << QByteArray(
                                   "GET /ws HTTP/1.1\r\nHost: 127.0.0.1:1\r\nUpgrade: websocket\r\n"
                                   "Connection: Upgrade\r\nSec-WebSocket-Version: 13\r\n\r\n")
                            << QByteArray("HTTP/1.1 400 Bad Request");
    QTest::newRow("post") << QByteArray(
                                 "POST /api/status HTTP/1.1\r\nHost: 127.0.0.1:1\r\n"
                                 "Content-Length: 4\r\n\r\n*RST")
                          << QByteArray("HTTP/1.1 405 Method Not Allowed");
}

void TestServe::otherHostsAndSitesRefused() {
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, status);
    Served s(loopback());
    const quint16 port = s.start();
    QVERIFY(port != 0);
    QCOMPARE(answerTo(port, request), status);
}

// Every file of the page comes from the module; the chart library is the
// Debian package's, byte for byte; nothing names another place to load from.
void TestServe::pageFromTheModuleOnly() {
    Served s(loopback());
    const quint16 port = s.start();
    QVERIFY(port != 0);
    const Response page = get(port, "/");
    QCOMPARE(page.status, 200);
    QCOMPARE(page.header("content-type"), QByteArray("text/html; charset=utf-8"));
    QVERIFY(
        page.header("content-security-policy").startsWith("default-src 'none'; script-src 'self'"));
    QFile dygraphs(QStringLiteral("/usr/share/javascript/dygraphs/dygraph.min.js"));
    QVERIFY(dygraphs.open(QIODevice::ReadOnly));
    QCOMPARE(get(port, "/dygraph.min.js").body, dygraphs.readAll());
    for (const QByteArray target : {"/", "/app.js", "/style.css"}) {
        const QByteArray body = get(port, target).body;
        QVERIFY(body.size() > 100);
        QVERIFY2(!body.contains("http://") && !body.contains("https://"), target.constData());
    }
}

void TestServe::viewerGetsHistoryThenReadings() {
    Served s(loopback());
    const quint16 port = s.start();
    QVERIFY(port != 0);
    QVERIFY(feed(s, port, 3));
    QWebSocket viewer;
    QSignalSpy got(&viewer, &QWebSocket::textMessageReceived);
    viewer.open(QUrl(QStringLiteral("ws://127.0.0.1:%1/ws").arg(port)));
    QVERIFY(got.wait());
    QCOMPARE(got.takeFirst().at(0).toString().toUtf8(),
             R"({"type":"hello","run":)" + kRun + R"(,"meters":)" + kMeters + R"(,"stats":)" +
                 kStats + R"(,"history":[)" + kReading1 + ',' + kReading2 + ',' + kReading3 + "]}");
    s.sink->record(benchRecord(4));
    vx::feed::Meter lost = benchRun().meters[1];
    lost.state = vx::feed::Meter::State::Lost;
    lost.reason = QStringLiteral("the port went away");
    s.sink->meterChanged(1, lost);
    QTRY_COMPARE(got.size(), 2);
    const QJsonObject reading = QJsonDocument::fromJson(got[0].at(0).toString().toUtf8()).object();
    QCOMPARE(reading["type"].toString(), QStringLiteral("reading"));
    QCOMPARE(reading["reading"]["seq"].toInt(), 4);
    QCOMPARE(reading["stats"][0]["count"].toInt(), 4);
    QCOMPARE(
        got[1].at(0).toString().toUtf8(),
        QByteArray(R"({"index":1,"meter":{"identity":"Velmora,VX260,2,1.0","name":"I",)"
                   R"("port":"tcp://bench:4001","reason":"the port went away","state":"lost"},)"
                   R"("type":"meter"})"));
    // A page opened now shows the meter lost.
    QVERIFY(
        get(port, "/api/status").body.contains(R"("reason":"the port went away","state":"lost")"));
}

void TestServe::viewersBounded() {
    Config config = loopback();
    config.limits.viewers = 64;
    Served s(config);
    const quint16 port = s.start();
    QVERIFY(port != 0);
    std::vector<std::unique_ptr<QWebSocket>> viewers;
    for (int i = 0; i < 64; ++i) {
        viewers.push_back(std::make_unique<QWebSocket>());
        viewers.back()->open(QUrl(QStringLiteral("ws://127.0.0.1:%1/ws").arg(port)));
    }
    QTRY_VERIFY(std::all_of(viewers.cbegin(), viewers.cend(), [](const auto& v) {
        return v->state() == QAbstractSocket::ConnectedState;
    }));
    QCOMPARE(answerTo(port, upgrade(port, "/ws")), QByteArray("HTTP/1.1 503 Service Unavailable"));
    QTRY_VERIFY(get(port, "/api/status").body.endsWith("\"viewers\":64}\n"));
    viewers.front()->close();
    QTRY_VERIFY(get(port, "/api/status").body.endsWith("\"viewers\":63}\n"));
    QCOMPARE(answerTo(port, upgrade(port, "/ws")), QByteArray("HTTP/1.1 101 Switching Protocols"));
}

void TestServe::requestSizeBounded_data() {
    QTest::addColumn<QByteArray>("request");
    QTest::newRow("long head") << "GET /api/status HTTP/1.1\r\nHost: 127.0.0.1:1\r\nX-Pad: " +
                                      QByteArray(64 * 1024, 'a') + "\r\n\r\n";
    QTest::newRow("long body") << "POST /api/status HTTP/1.1\r\nHost: 127.0.0.1:1\r\n"
                                  "Content-Length: 100000000\r\n\r\n" +
                                      QByteArray(1024 * 1024, 'a');
    QTest::newRow("long path") << "GET /" + QByteArray(32 * 1024, 'a') +
                                      " HTTP/1.1\r\nHost: 127.0.0.1:1\r\n\r\n";
}

void TestServe::requestSizeBounded() {
    QFETCH(QByteArray, request);
    Served s(loopback());
    const quint16 port = s.start();
    QVERIFY(port != 0);
    const Response r = exchange(port, request);
    QCOMPARE(r.status, 413);
    QVERIFY(r.closed || r.body.isEmpty());
    // The server goes on.
    QCOMPARE(get(port, "/api/status").status, 200);
}

void TestServe::connectionsBounded() {
    Config config = loopback();
    config.limits.connections = 4;
    Served s(config);
    const quint16 port = s.start();
    QVERIFY(port != 0);
    std::vector<std::unique_ptr<QTcpSocket>> held;
    for (int i = 0; i < 4; ++i) {
        held.push_back(std::make_unique<QTcpSocket>());
        held.back()->connectToHost(QStringLiteral("127.0.0.1"), port);
        QVERIFY(held.back()->waitForConnected());
    }
    // Until the server has taken all four, a fifth may still get in.
    QTRY_COMPARE(get(port, "/api/status").status, 0);
    held.clear();
    QTRY_COMPARE(get(port, "/api/status").status, 200);
}

// A connection that never finishes its request is closed; a viewer is not.
void TestServe::idleConnectionClosed() {
    Config config = loopback();
    config.limits.idleMs = 100;
    Served s(config);
    const quint16 port = s.start();
    QVERIFY(port != 0);
    QTcpSocket slow;
    slow.connectToHost(QStringLiteral("127.0.0.1"), port);
    QVERIFY(slow.waitForConnected());
    slow.write("GET /api/status HTTP/1.1\r\nHost: 127.0.0.1\r\n");
    QWebSocket viewer;
    viewer.open(QUrl(QStringLiteral("ws://127.0.0.1:%1/ws").arg(port)));
    QTRY_COMPARE(viewer.state(), QAbstractSocket::ConnectedState);
    QTRY_COMPARE(slow.state(), QAbstractSocket::UnconnectedState);
    QTest::qWait(300);
    QCOMPARE(viewer.state(), QAbstractSocket::ConnectedState);
}

// A viewer whose browser stopped reading fills its queue and is dropped;
// the readings go on to the others, each of them, and the run never waited.
void TestServe::slowViewerDropped() {
    Config config = loopback();
    config.limits.backlogBytes = 64 * 1024;
    Served s(config);
    const quint16 port = s.start();
    QVERIFY(port != 0);
    QTcpSocket stalled;
    stalled.setReadBufferSize(1);
    stalled.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 4096);
    stalled.connectToHost(QStringLiteral("127.0.0.1"), port);
    QVERIFY(stalled.waitForConnected());
    stalled.write(upgrade(port, "/ws"));
    QVERIFY(stalled.waitForReadyRead());
    QWebSocket viewer;
    qint64 received = 0;
    connect(&viewer, &QWebSocket::textMessageReceived, this, [&] { ++received; });
    QSignalSpy arrived(&viewer, &QWebSocket::textMessageReceived);
    viewer.open(QUrl(QStringLiteral("ws://127.0.0.1:%1/ws").arg(port)));
    QTRY_COMPARE(received, 1);
    const QString text(4000, u'7');
    qint64 fed = 0;
    constexpr qint64 kMost = 5'000;  // 20 MB: far beyond every buffer on the way
    while (fed < kMost && !s.host.messages.join(u'\n').contains(QStringLiteral("dropped"))) {
        s.sink->record(benchRecord(++fed, text));
        // The other viewer reads each reading as a browser does.
        while (received < fed + 1) {
            QVERIFY(arrived.wait(5000));
        }
    }
    QTRY_VERIFY(s.host.messages.join(u'\n').contains(QStringLiteral("dropped")));
    const QString line = s.host.messages.filter(QStringLiteral("dropped")).value(0);
    QVERIFY2(
        line.contains(QRegularExpression(
            QStringLiteral("^dropped the viewer at 127\\.0\\.0\\.1:%1: it fell \\d+ KiB behind$")
                .arg(stalled.localPort()))),
        qPrintable(line));
    QVERIFY2(s.host.messages.filter(QStringLiteral("dropped")).size() == 1,
             qPrintable(s.host.messages.join(u'\n')));
    QTRY_COMPARE(received, fed + 1);
}

void TestServe::portTaken() {
    QTcpServer taken;
    QVERIFY(taken.listen(QHostAddress::LocalHost));
    Config config = loopback();
    config.port = taken.serverPort();
    Served s(config);
    QCOMPARE(s.start(), quint16(0));
    QCOMPARE(s.error, QStringLiteral("--serve: cannot listen on 127.0.0.1:%1: The bound address is "
                                     "already in use")
                          .arg(taken.serverPort()));
}

void TestServe::stopClosesViewers() {
    Served s(loopback());
    const quint16 port = s.start();
    QVERIFY(port != 0);
    QWebSocket viewer;
    QSignalSpy got(&viewer, &QWebSocket::textMessageReceived);
    QSignalSpy closed(&viewer, &QWebSocket::disconnected);
    viewer.open(QUrl(QStringLiteral("ws://127.0.0.1:%1/ws").arg(port)));
    QVERIFY(got.wait());
    // Readings and a lost meter handed over just before the end still reach
    // the viewer, then the close.
    s.sink->record(benchRecord(1));
    vx::feed::Meter lost = benchRun().meters[0];
    lost.state = vx::feed::Meter::State::Lost;
    s.sink->meterChanged(0, lost);
    s.sink->stop();
    QTRY_COMPARE(closed.size(), 1);
    QCOMPARE(got.size(), 3);
    QVERIFY(got[2].at(0).toString().contains(QStringLiteral("\"state\":\"lost\"")));
    QCOMPARE(viewer.closeCode(), QWebSocketProtocol::CloseCodeGoingAway);
    QCOMPARE(get(port, "/api/status").status, 0);
}

QTEST_GUILESS_MAIN(TestServe)
#include "tst_serve.moc"
