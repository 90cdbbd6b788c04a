// Where the live page listens, who may read it and what it holds, without
// the server: the options as vxlog checks them before it loads anything, the
// token file, the comparison of tokens, and the history's bound.
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>
#include <QUrlQuery>

#include "cli/Options.h"
#include "serve/Access.h"
#include "serve/Board.h"

namespace {

constexpr char kGoodToken[] = "0123456789abcdef-_.~";

}  // namespace

class TestServeAccess : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void options_data();
    void options();
    void tokens_data();
    void tokens();
    void historyBounded();

private:
    QString tokenFile(const QString& name, const QByteArray& contents);
    QTemporaryDir dir_;
};

void TestServeAccess::initTestCase() {
    QVERIFY(dir_.isValid());
}

QString TestServeAccess::tokenFile(const QString& name, const QByteArray& contents) {
    const QString path = dir_.filePath(name);
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(contents);
    return path;
}

// Each --serve command line: where it listens and with which token, or the
// message that refuses it.
void TestServeAccess::options_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::addColumn<QByteArray>("token");
    QTest::addColumn<QString>("error");
    const QStringList run{"--port", "COM1"};
    const QString bad = QStringLiteral(
        "--serve: \"%1\" is not [ADDRESS:]PORT: an IP address (192.168.1.20, 0.0.0.0 for every "
        "interface, [::1]) and a port from 0 (any free one) to 65535");
    const QString good = tokenFile("good", QByteArray(kGoodToken) + "\n");
    const QString crlf = tokenFile("crlf", QByteArray(kGoodToken) + "\r\nsecond line\n");
    const QString bare = tokenFile("bare", kGoodToken);
    const QString shortOne = tokenFile("short", "0123456789abcde\n");
    const QString spaced = tokenFile("spaced", "0123456789 abcdef\n");
    const QString empty = tokenFile("empty", "");
    const QString huge = tokenFile("huge", QByteArray(5000, 'a'));
    const QString missing = dir_.filePath("missing");

    QTest::newRow("port only") << run + QStringList{"--serve", "8080"} << "127.0.0.1" << 8080
                               << QByteArray() << QString();
    QTest::newRow("any free port")
        << run + QStringList{"--serve", "0"} << "127.0.0.1" << 0 << QByteArray() << QString();
    QTest::newRow("loopback") << run + QStringList{"--serve", "127.0.0.2:80"} << "127.0.0.2" << 80
                              << QByteArray() << QString();
    QTest::newRow("ipv6 loopback")
        << run + QStringList{"--serve", "[::1]:8080"} << "::1" << 8080 << QByteArray() << QString();
    QTest::newRow("every interface with token")
        << run + QStringList{"--serve", "0.0.0.0:8080", "--serve-token", good} << "0.0.0.0" << 8080
        << QByteArray(kGoodToken) << QString();
    QTest::newRow("token, line end CR LF")
        << run + QStringList{"--serve", "192.168.1.20:8080", "--serve-token", crlf}
        << "192.168.1.20" << 8080 << QByteArray(kGoodToken) << QString();
    QTest::newRow("token without line end")
        << run + QStringList{"--serve", "[fd00::20]:8080", "--serve-token", bare} << "fd00::20"
        << 8080 << QByteArray(kGoodToken) << QString();
    QTest::newRow("token on loopback")
        << run + QStringList{"--serve", "8080", "--serve-token", good} << "127.0.0.1" << 8080
        << QByteArray(kGoodToken) << QString();
    QTest::newRow("bench") << QStringList{"--meter", "V=COM1", "--meter", "I=COM2", "--serve", "9"}
                           << "127.0.0.1" << 9 << QByteArray() << QString();

    const auto refused = [&](const char* name, const QStringList& args, const QString& error) {
        QTest::newRow(name) << run + args << QString() << 0 << QByteArray() << error;
    };
    refused("every interface without token", {"--serve", "0.0.0.0:8080"},
            "--serve 0.0.0.0:8080 can be reached from other machines: give --serve-token FILE, "
            "whose token every request must carry");
    refused("ipv6 everywhere without token", {"--serve", "[::]:8080"},
            "--serve [::]:8080 can be reached from other machines: give --serve-token FILE, "
            "whose token every request must carry");
    refused("port too large", {"--serve", "65536"}, bad.arg("65536"));
    refused("port negative", {"--serve", "-1"}, bad.arg("-1"));
    refused("port signed", {"--serve", "+80"}, bad.arg("+80"));
    refused("no port", {"--serve", "127.0.0.1:"}, bad.arg("127.0.0.1:"));
    refused("host name", {"--serve", "bench.lab:80"}, bad.arg("bench.lab:80"));
    refused("ipv6 unbracketed", {"--serve", "::1:80"}, bad.arg("::1:80"));
    refused("brackets around ipv4", {"--serve", "[127.0.0.1]:80"}, bad.arg("[127.0.0.1]:80"));
    refused("bad ipv4", {"--serve", "127.0.0.256:80"}, bad.arg("127.0.0.256:80"));
    refused("token alone", {"--serve-token", good}, "--serve-token needs --serve");
    refused("token missing", {"--serve", "80", "--serve-token", missing},
            "--serve-token: cannot read " + missing + ": No such file or directory");
    refused("token short", {"--serve", "80", "--serve-token", shortOne},
            "--serve-token: the token in " + shortOne +
                " is shorter than 16 characters; make one with: head -c 24 /dev/urandom | base64 "
                "| tr '+/' '-_' > " +
                shortOne);
    refused("token empty", {"--serve", "80", "--serve-token", empty},
            "--serve-token: the token in " + empty +
                " is shorter than 16 characters; make one with: head -c 24 /dev/urandom | base64 "
                "| tr '+/' '-_' > " +
                empty);
    refused("token with a blank", {"--serve", "80", "--serve-token", spaced},
            "--serve-token: the token in " + spaced +
                " may hold only letters, digits and - _ . ~ (it is carried in a URL)");
    refused("token huge", {"--serve", "80", "--serve-token", huge},
            "--serve-token: the token in " + huge + " is longer than 1024 characters");
    refused("with send", {"--send", "*IDN?", "--serve", "80"},
            "--send cannot be combined with --serve");
}

void TestServeAccess::options() {
    QFETCH(QStringList, args);
    QFETCH(QString, host);
    QFETCH(int, port);
    QFETCH(QByteArray, token);
    QFETCH(QString, error);
    const vx::cli::Parsed parsed = vx::cli::parseOptions(args);
    QCOMPARE(parsed.error, error);
    QCOMPARE(parsed.options.serve.has_value(), error.isEmpty());
    if (parsed.options.serve) {
        QCOMPARE(parsed.options.serve->host, host);
        QCOMPARE(int(parsed.options.serve->port), port);
        QCOMPARE(parsed.options.serve->token, token);
    }
}

// What a request carries, and whether it is let in by the token.
void TestServeAccess::tokens_data() {
    QTest::addColumn<QByteArray>("query");
    QTest::addColumn<QByteArray>("authorization");
    QTest::addColumn<QByteArray>("cookie");
    QTest::addColumn<bool>("in");
    const QByteArray t = kGoodToken;
    QTest::newRow("nothing") << QByteArray() << QByteArray() << QByteArray() << false;
    QTest::newRow("query") << "token=" + t << QByteArray() << QByteArray() << true;
    QTest::newRow("query among others")
        << "a=1&token=" + t + "&b=2" << QByteArray() << QByteArray() << true;
    QTest::newRow("second of two") << "token=x&token=" + t << QByteArray() << QByteArray() << true;
    QTest::newRow("first byte off")
        << "token=1" + t.mid(1) << QByteArray() << QByteArray() << false;
    QTest::newRow("last byte off")
        << "token=" + t.chopped(1) + "!" << QByteArray() << QByteArray() << false;
    QTest::newRow("prefix") << "token=" + t.chopped(1) << QByteArray() << QByteArray() << false;
    QTest::newRow("longer") << "token=" + t + "x" << QByteArray() << QByteArray() << false;
    QTest::newRow("empty") << QByteArray("token=") << QByteArray() << QByteArray() << false;
    QTest::newRow("bearer") << QByteArray() << "Bearer " + t << QByteArray() << true;
    QTest::newRow("basic") << QByteArray() << "Basic " + t << QByteArray() << false;
    QTest::newRow("cookie") << QByteArray() << QByteArray() << "x=1; vxlog_token=" + t << true;
    QTest::newRow("other cookie") << QByteArray() << QByteArray() << "token=" + t << false;
    QTest::newRow("cookie name suffix")
        << QByteArray() << QByteArray() << "my_vxlog_token=" + t << false;
}

void TestServeAccess::tokens() {
    QFETCH(QByteArray, query);
    QFETCH(QByteArray, authorization);
    QFETCH(QByteArray, cookie);
    QFETCH(bool, in);
    QCOMPARE(vx::serve::authorized(kGoodToken, vx::serve::tokensOf(query, authorization, cookie)),
             in);
    // No token configured lets nobody in by a token.
    QVERIFY(!vx::serve::authorized("", vx::serve::tokensOf(query, authorization, cookie)));
}

// The history keeps the last readings only; the figures cover the whole run.
void TestServeAccess::historyBounded() {
    vx::serve::Board board(2);
    board.start({.channels = {{.name = "meter", .unit = "V", .function = "DC VOLTAGE", .meter = 0}},
                 .meters = {{.name = "meter", .port = "COM1"}},
                 .intervalNs = 100'000'000});
    const QDateTime start(QDate(2026, 12, 8), QTime(12, 0), QTimeZone::utc());
    for (qint64 n = 1; n <= 5; ++n) {
        board.add({.sequence = n,
                   .when = start.addSecs(n),
                   .values = {n == 5 ? std::numeric_limits<double>::infinity() : double(n)},
                   .texts = {QStringLiteral("x")},
                   .missing = {QString()}});
    }
    const QByteArray readings = board.readings(0);
    QVERIFY2(readings.startsWith(R"({"first":4,"last":5,"readings":[{)"), readings.constData());
    QVERIFY(readings.contains(
        R"("seq":4,"t":1796731204000,"texts":["x"],"time":"2026-12-08T12:00:04.000Z","values":[4]})"));
    QVERIFY(readings.contains(R"("values":[null]})"));
    QVERIFY(board.status(0).contains(R"("stats":[{"count":4,"max":4,"mean":2.5,"min":1}])"));
    QCOMPARE(vx::serve::sinceOf(QUrlQuery(QStringLiteral("since=3"))).value, 3);
}

QTEST_GUILESS_MAIN(TestServeAccess)
#include "tst_serveaccess.moc"
