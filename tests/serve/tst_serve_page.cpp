// The live page in a real headless browser, served by vxlog itself reading
// simulated meters: the identity shown, the latest reading changing as
// readings arrive, a page opened mid-run with the history, a phone's width,
// the token enforced, a lost meter shown as lost.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

#include "serve/Browser.h"
#include "serve/Http.h"
#include "vxsim/client/SimProcess.h"

namespace {

constexpr char kToken[] = "page-token_0123456789abcdef";

// vxlog as users start it, with --serve; the port it serves on.
struct Vxlog {
    explicit Vxlog(const QStringList& args, const QString& serve = QStringLiteral("0")) {
        process.start(QDir(qEnvironmentVariable("VX_BIN_DIR")).filePath(QStringLiteral("vxlog")),
                      args + QStringList{"--interval", "0.1", "--quiet", "--serve", serve});
        static const QRegularExpression serving(QStringLiteral("serving http://127.0.0.1:(\\d+)/"));
        [[maybe_unused]] const bool told = QTest::qWaitFor(
            [&] {
                said += process.readAllStandardError();
                const auto match = serving.match(QString::fromUtf8(said));
                port = match.hasMatch() ? quint16(match.captured(1).toUInt()) : 0;
                return port != 0 || process.state() == QProcess::NotRunning;
            },
            10000);
    }
    ~Vxlog() {
        if (process.state() != QProcess::NotRunning) {
            ::kill(pid_t(process.processId()), SIGTERM);
            process.waitForFinished(5000);
        }
    }
    qint64 last() const {
        static const QRegularExpression last(QStringLiteral("\"last\":(\\d+)"));
        return last.match(QString::fromUtf8(get(port, "/api/status", headers).body))
            .captured(1)
            .toLongLong();
    }
    QProcess process;
    QByteArray said;
    QByteArray headers;
    quint16 port = 0;
};

QString url(quint16 port, const QString& query = {}) {
    return QStringLiteral("http://127.0.0.1:%1/%2").arg(port).arg(query);
}

}  // namespace

class TestServePage : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void oneMeter();
    void benchWithToken();
    void portTakenEndsBeforeTheMeter();

private:
    // Keeps a look at the page where VX_SERVE_SCREENSHOTS names a folder.
    void keep(const QString& tab, const QString& name);

    Browser browser_;
    QTemporaryDir dir_;
};

void TestServePage::initTestCase() {
    QVERIFY2(browser_.start(), qPrintable(browser_.error()));
}

void TestServePage::keep(const QString& tab, const QString& name) {
    const QByteArray png = browser_.screenshot(tab);
    QVERIFY(png.startsWith("\x89PNG"));
    const QString folder = qEnvironmentVariable("VX_SERVE_SCREENSHOTS", dir_.path());
    QFile file(QDir(folder).filePath(name));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(png);
}

void TestServePage::oneMeter() {
    vxsim::SimProcess sim;
    QVERIFY2(sim.start({}, vxsim::SimProcess::Recording::Off), qPrintable(sim.errorString()));
    Vxlog vxlog({"--port", sim.devicePath(), "--function", "DC VOLTAGE"});
    QVERIFY2(vxlog.port != 0, vxlog.said.constData());

    // The identity, the state, and the latest reading as it changes.
    const QString tab = browser_.open(url(vxlog.port));
    QVERIFY(!tab.isEmpty());
    QVERIFY(browser_.waitFor(
        tab,
        "document.querySelector('#meter-0 .identity')?.textContent.startsWith('Velmora,VX480,')"));
    QVERIFY(browser_.waitFor(
        tab, "document.querySelector('#meter-0 .state').textContent === 'connected'"));
    QVERIFY(browser_.waitFor(tab, "document.getElementById('link').textContent === 'live'"));
    const QString count =
        QStringLiteral("Number(document.querySelector('#channel-0').cells[5].textContent)");
    QVERIFY(browser_.waitFor(tab, count + " > 0"));
    const int seen = browser_.evaluate(tab, count).toInt();
    QVERIFY(browser_.waitFor(tab, count + QStringLiteral(" >= %1").arg(seen + 3)));
    QVERIFY(
        browser_.evaluate(tab, "/^1\\.50\\d*$/.test(document.getElementById('latest').textContent)")
            .toBool());
    QCOMPARE(
        browser_.evaluate(tab, "document.getElementById('latest-unit').textContent").toString(),
        QStringLiteral("VDC"));

    // Opened mid-run: the readings taken so far are plotted at once.
    QVERIFY(QTest::qWaitFor([&] { return vxlog.last() >= 20; }, 10000));
    const qint64 before = vxlog.last();
    const QString late = browser_.open(url(vxlog.port), 390, 844);
    const QString rows =
        QStringLiteral("Number(document.getElementById('plot').dataset.rows || 0)");
    QVERIFY(browser_.waitFor(late, rows + " > 0"));
    QVERIFY2(browser_.evaluate(late, rows).toInt() >= before,
             qPrintable(QStringLiteral("%1 rows, %2 readings before")
                            .arg(browser_.evaluate(late, rows).toInt())
                            .arg(before)));
    // A phone's width: nothing wider than the screen.
    QVERIFY(browser_.evaluate(late, "document.documentElement.scrollWidth <= window.innerWidth")
                .toBool());
    keep(late, QStringLiteral("page-phone.png"));

    // The meter goes away: vxlog ends with status 6 and the page says so.
    sim.stop();
    QVERIFY(vxlog.process.waitForFinished(10000));
    QCOMPARE(vxlog.process.exitCode(), 6);
    QVERIFY(browser_.waitFor(tab, "document.getElementById('meter-0').dataset.state === 'lost'"));
    QVERIFY(!browser_.evaluate(tab, "document.querySelector('#meter-0 .reason').textContent")
                 .toString()
                 .isEmpty());
    QVERIFY(browser_.waitFor(tab, "document.getElementById('link').textContent === 'run ended'"));
    browser_.close(tab);
    browser_.close(late);
}

void TestServePage::benchWithToken() {
    const QString tokenFile = dir_.filePath(QStringLiteral("token"));
    QFile file(tokenFile);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(kToken) + '\n');
    file.close();
    vxsim::SimProcess v;
    vxsim::SimProcess i;
    QVERIFY(v.start({}, vxsim::SimProcess::Recording::Off));
    QVERIFY(i.start({}, vxsim::SimProcess::Recording::Off));
    Vxlog vxlog({"--meter", "V=" + v.devicePath() + ",function=DC VOLTAGE", "--meter",
                 "I=" + i.devicePath() + ",function=DC CURRENT,range=2 A", "--calc", "P=V*I",
                 "--serve-token", tokenFile});
    QVERIFY2(vxlog.port != 0, vxlog.said.constData());
    vxlog.headers = "Authorization: Bearer " + QByteArray(kToken) + "\r\n";

    // Without the token: nothing, on the page, the JSON and the WebSocket.
    QCOMPARE(get(vxlog.port, "/").status, 401);
    QCOMPARE(get(vxlog.port, "/api/readings").status, 401);
    QVERIFY(exchange(vxlog.port, upgrade(vxlog.port, "/ws")).head.startsWith("HTTP/1.1 401 "));
    const QString refused = browser_.open(url(vxlog.port));
    QVERIFY(browser_.waitFor(
        refused, "document.body && document.body.innerText.includes('needs its token')"));
    QVERIFY(!browser_.evaluate(refused, "document.body.innerText")
                 .toString()
                 .contains(QStringLiteral("Velmora")));
    browser_.close(refused);

    // With it: both meters, the computed channel, the chart library (loaded
    // with the cookie the page was given).
    const QString tab = browser_.open(url(vxlog.port, QStringLiteral("?token=") + kToken));
    QVERIFY(browser_.waitFor(
        tab, "document.querySelector('#meter-1 .identity')?.textContent.startsWith('Velmora,')"));
    QVERIFY(browser_.waitFor(tab,
                             "document.getElementById('channel-2')?.cells[0].textContent === 'P'"));
    QCOMPARE(browser_
                 .evaluate(tab,
                           "[...document.querySelectorAll('#channels tbody td.name')].map(c => "
                           "c.textContent).join('|')")
                 .toString(),
             QStringLiteral("V (VDC)|I (ADC)|P"));
    QVERIFY(browser_.waitFor(
        tab, "typeof Dygraph === 'function' && !!document.querySelector('#plot canvas')"));
    QVERIFY(browser_.waitFor(
        tab, "Number(document.querySelector('#channel-2').cells[5].textContent) >= 10"));
    // Choosing the computed channel plots it.
    browser_.evaluate(tab, "document.getElementById('channel-2').click()");
    QCOMPARE(browser_.evaluate(tab, "document.getElementById('focus-name').textContent").toString(),
             QStringLiteral("P"));
    keep(tab, QStringLiteral("page-bench.png"));

    // One meter goes away: it is shown lost while the other goes on.
    i.stop();
    QVERIFY(browser_.waitFor(tab, "document.getElementById('meter-1').dataset.state === 'lost'"));
    QCOMPARE(browser_.evaluate(tab, "document.getElementById('meter-0').dataset.state").toString(),
             QStringLiteral("connected"));
    const QString count =
        QStringLiteral("Number(document.querySelector('#channel-0').cells[5].textContent)");
    const int seen = browser_.evaluate(tab, count).toInt();
    QVERIFY(browser_.waitFor(tab, count + QStringLiteral(" >= %1").arg(seen + 3)));
    keep(tab, QStringLiteral("page-bench-lost.png"));
    browser_.close(tab);
}

// A port already taken ends the run with status 5 and the reason, before a
// byte reaches the meter.
void TestServePage::portTakenEndsBeforeTheMeter() {
    QTcpServer taken;
    QVERIFY(taken.listen(QHostAddress::LocalHost));
    vxsim::SimProcess sim;
    QVERIFY(sim.start({}));
    Vxlog vxlog({"--port", sim.devicePath(), "--function", "DC VOLTAGE"},
                QString::number(taken.serverPort()));
    QTRY_COMPARE(vxlog.process.state(), QProcess::NotRunning);
    QCOMPARE(vxlog.process.exitCode(), 5);
    QCOMPARE(
        vxlog.said + vxlog.process.readAllStandardError(),
        "vxlog: --serve: cannot listen on 127.0.0.1:" + QByteArray::number(taken.serverPort()) +
            ": The bound address is already in use\n");
    QCOMPARE(sim.recorded(), QByteArray());
}

QTEST_GUILESS_MAIN(TestServePage)
#include "tst_serve_page.moc"
