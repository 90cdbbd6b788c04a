// vxlog publishing to a real mosquitto broker: every reading once and in
// order, a broker stopped mid-run, vxlog killed and started again, refused
// credentials, a broker that accepts and drops, SIGTERM while the backlog
// goes out.
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>

#include <csignal>
#include <ctime>
#include <functional>

#include "publish/Broker.h"
#include "publish/Journal.h"
#include "support/Files.h"
#include "vxlog/VxlogRun.h"
#include "vxsim/client/SimProcess.h"

namespace {

using vx::publish::Config;

QString vxlogProgram() {
    return QDir(qEnvironmentVariable("VX_BIN_DIR")).filePath(QStringLiteral("vxlog"));
}

// Short waits for the client: a second between attempts, two to finish.
void shortWaits(Config& c) {
    c.reconnectMinS = 1;
    c.reconnectMaxS = 1;
    c.stopMs = 2000;
}

// vxlog's run in the test's process with the broker module loaded, on the
// clock `C`.
template <typename C>
struct MqttRun {
    explicit MqttRun(const QStringList& args) {
        vx::cli::Parsed parsed = vx::cli::parseOptions(args);
        error = parsed.error;
        out.open(QIODevice::ReadWrite);
        err.open(QIODevice::ReadWrite);
        if (parsed.options.mqtt) {
            shortWaits(*parsed.options.mqtt);
        }
        runner = std::make_unique<vx::cli::Runner>(
            parsed.options, opener, clock,
            vx::cli::Streams{
                .out = out, .err = err, .errIsTerminal = false, .columns = {}, .stopping = {}},
            kShortTiming);
        if (parsed.options.mqtt && !vx::cli::addPublisher(*runner, *parsed.options.mqtt, &error)) {
            runner.reset();
        }
    }
    int finish(int ms = 20000) {
        QSignalSpy spy(runner.get(), &vx::cli::Runner::finished);
        runner->start();
        if (spy.isEmpty() && !spy.wait(ms)) {
            return -1;
        }
        return spy.takeFirst().at(0).toInt();
    }
    QString error;
    C clock;
    vx::link::SerialPortOpener opener;
    QBuffer out;
    QBuffer err;
    std::unique_ptr<vx::cli::Runner> runner;
};

// The sequence numbers of the readings as they came, and as a consumer
// keeps them (the first of each).
QList<qint64> sequences(const QList<Message>& messages, const QString& topic, bool unique) {
    QList<qint64> out;
    QSet<qint64> seen;
    for (const Message& m : messages) {
        if (m.topic != topic) {
            continue;
        }
        const qint64 seq = QJsonDocument::fromJson(m.payload).object().value("seq").toInteger();
        if (!unique || !seen.contains(seq)) {
            out << seq;
            seen.insert(seq);
        }
    }
    return out;
}

QList<qint64> oneTo(qint64 n) {
    QList<qint64> out;
    for (qint64 i = 1; i <= n; ++i) {
        out << i;
    }
    return out;
}

QStringList payloads(const QList<Message>& messages, const QString& topic) {
    QStringList out;
    for (const Message& m : messages) {
        if (m.topic == topic) {
            out << QString::fromUtf8(m.payload);
        }
    }
    return out;
}

QStringList meterArgs(const QString& device, const QString& url, const QString& journal) {
    return {"--port", device, "--function", "DC VOLTAGE", "--quiet",
            "--mqtt", url,    "--journal",  journal};
}

}  // namespace

class TestMqttE2e : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void influxWithoutBroker();
    void everyReadingOnceInOrder_data();
    void everyReadingOnceInOrder();
    void brokerStoppedMidRun();
    void brokerNotThereAtStart();
    void killedAndStartedAgain();
    void refusedCredentials_data();
    void refusedCredentials();
    void hostileBroker_data();
    void hostileBroker();
    void tls_data();
    void tls();
    void journalThatCannotGrow();
    void sigtermWhileBacklogGoesOut();

private:
    QTemporaryDir dir_;
};

void TestMqttE2e::initTestCase() {
    // Central European time, so the offset in the time stamps is not zero.
    qputenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3");
    ::tzset();
    QVERIFY(dir_.isValid());
}

// --format influx without a broker: the same lines on standard output and
// in --output (LF line ends, no header block), one per channel, numbered
// as the run counts.
void TestMqttE2e::influxWithoutBroker() {
    vxsim::SimProcess sim;
    QVERIFY(sim.start({}));
    const QString file = dir_.filePath("influx.txt");
    MqttRun<JumpClock> run({"--port", sim.devicePath(), "--function", "AC VOLTAGE", "--secondary",
                            "FREQUENCY", "--count", "2", "--format", "influx", "--output", file});
    QVERIFY2(run.runner && run.error.isEmpty(), qPrintable(run.error));
    QCOMPARE(run.finish(), 0);
    const QRegularExpression lines(
        R"x(^vxlog,channel=meter,unit=V,current=AC,function=AC\\ VOLTAGE,meter=meter )x"
        R"x(value=[-+.\de]+,seq=1i 1474545909\d{3}000000\n)x"
        R"x(vxlog,channel=secondary,unit=Hz,function=Frequency\(Hz\),meter=meter )x"
        R"x(value=[-+.\de]+,seq=1i 1474545909\d{3}000000\n)x"
        R"x(vxlog,channel=meter,[^\n]*,seq=2i \d+\n)x"
        R"x(vxlog,channel=secondary,[^\n]*,seq=2i \d+\n$)x");
    const QString out = QString::fromUtf8(run.out.data());
    QVERIFY2(lines.match(out).hasMatch(), qPrintable(out));
    QCOMPARE(QString::fromUtf8(readFile(file)), out);
}

void TestMqttE2e::everyReadingOnceInOrder_data() {
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("first");
    QTest::newRow("json") << "json"
                          << R"x({"channels":{"meter":{"current":"DC","function":"DC VOLTAGE",)x"
                             R"x("identity":"Velmora,VX480,480K52106,2.14","meter":"meter",)x"
                             R"x("text":"(\+1\.501\d\dE\+00)","unit":"V","value":1\.501\d+}},)x"
                             R"x("seq":1,"time":"2016-09-22T14:05:09\.\d{3}\+02:00"})x";
    QTest::newRow("influx") << "influx"
                            << R"x(vxlog,channel=meter,unit=V,current=DC,function=DC\\ VOLTAGE,)x"
                               R"x(meter=meter value=1\.501\d+,seq=1i 1474545909\d{3}000000)x";
}

// With a single meter, every reading in order, each once, the payload as
// documented, the availability online during the run and offline after.
void TestMqttE2e::everyReadingOnceInOrder() {
    QFETCH(QString, format);
    QFETCH(QString, first);
    Broker broker;
    QVERIFY(broker.start());
    Subscriber sub;
    QVERIFY(sub.start(broker.port(), "lab/#", "lab/probe"));
    vxsim::SimProcess sim;
    QVERIFY(sim.start({}));
    const QString journal = dir_.filePath(format + ".journal");
    MqttRun<JumpClock> run(meterArgs(sim.devicePath(), broker.url("lab/bench1"), journal) +
                           QStringList{"--count", "12", "--mqtt-format", format});
    QVERIFY2(run.runner, qPrintable(run.error));
    QCOMPARE(run.finish(), 0);
    QVERIFY(QTest::qWaitFor([&] { return sub.count("lab/bench1/readings") >= 12; }, 5000));
    QVERIFY(QTest::qWaitFor([&] { return sub.count("lab/bench1/status") >= 2; }, 5000));
    const QList<Message> got = sub.messages();
    const QStringList readings = payloads(got, "lab/bench1/readings");
    QCOMPARE(readings.size(), 12);
    QVERIFY2(QRegularExpression("^" + first + "$").match(readings.front()).hasMatch(),
             qPrintable(readings.front()));
    for (int i = 0; i < readings.size(); ++i) {
        const QString seq = format == "json" ? QStringLiteral("\"seq\":%1,").arg(i + 1)
                                             : QStringLiteral(",seq=%1i ").arg(i + 1);
        QVERIFY2(readings[i].contains(seq), qPrintable(readings[i]));
    }
    QCOMPARE(payloads(got, "lab/bench1/status"), QStringList({"online", "offline"}));
    // All acknowledged: a next run sends nothing again.
    vx::publish::Journal j;
    QString error;
    QVERIFY(j.open(journal, 1 << 20, &error, nullptr));
    QCOMPARE(j.pending(), 0);
    QCOMPARE(j.last(), 12);
}

// The broker stopped mid-run and started again: the readings taken
// meanwhile wait in the journal and follow in order; the availability says
// offline (the broker's last will of vxlog) and then online; one message
// when the broker goes, one when it is back.
void TestMqttE2e::brokerStoppedMidRun() {
    Broker broker;
    QVERIFY(broker.start());
    Subscriber sub;
    QVERIFY(sub.start(broker.port(), "lab/#", "lab/probe"));
    vxsim::SimProcess sim;
    QVERIFY(sim.start({}));
    MqttRun<vx::timing::SystemClock> run(
        meterArgs(sim.devicePath(), broker.url("lab"), dir_.filePath("outage.journal")) +
        QStringList{"--count", "40", "--interval", "0.1", "--journal-sync", "0.3"});
    QVERIFY2(run.runner, qPrintable(run.error));
    QSignalSpy finished(run.runner.get(), &vx::cli::Runner::finished);
    run.runner->start();
    QVERIFY(QTest::qWaitFor([&] { return sub.count("lab/readings") >= 5; }, 5000));
    broker.stop();
    const qint64 before = run.runner->readings();
    // Readings go on while the broker is away.
    QVERIFY(QTest::qWaitFor([&] { return run.runner->readings() >= before + 10; }, 5000));
    QVERIFY(broker.start());
    QVERIFY(finished.wait(10000) || !finished.isEmpty());
    QCOMPARE(finished.takeFirst().at(0).toInt(), 0);
    QVERIFY(QTest::qWaitFor(
        [&] { return sequences(sub.messages(), "lab/readings", true).size() >= 40; }, 5000));
    const QList<Message> got = sub.messages();
    QCOMPARE(sequences(got, "lab/readings", true), oneTo(40));
    const QStringList status = payloads(got, "lab/status");
    const qsizetype offline = status.indexOf("offline");
    QVERIFY2(offline > 0 && status.indexOf("online", offline) > offline,
             qPrintable(status.join(' ')));
    const QString err = QString::fromUtf8(run.err.data());
    QCOMPARE(err.count("went away"), 1);
    QCOMPARE(err.count("answers again"), 1);
}

// No broker when the run starts: it measures on, and when the broker comes
// every reading follows in order.
void TestMqttE2e::brokerNotThereAtStart() {
    // The subscriber's session is kept by the broker across its restart, so
    // it misses nothing however soon vxlog connects.
    Broker broker;
    QVERIFY(broker.start());
    Subscriber sub;
    QVERIFY(sub.start(broker.port(), "late/#", "late/probe"));
    broker.stop();
    vxsim::SimProcess sim;
    QVERIFY(sim.start({}));
    MqttRun<vx::timing::SystemClock> run(
        meterArgs(sim.devicePath(), broker.url("late"), dir_.filePath("late.journal")) +
        QStringList{"--count", "20", "--interval", "0.1"});
    QVERIFY2(run.runner, qPrintable(run.error));
    QSignalSpy finished(run.runner.get(), &vx::cli::Runner::finished);
    run.runner->start();
    QVERIFY(QTest::qWaitFor([&] { return run.runner->readings() >= 5; }, 5000));
    QVERIFY(broker.start());
    QVERIFY(finished.wait(10000) || !finished.isEmpty());
    QCOMPARE(finished.takeFirst().at(0).toInt(), 0);
    QVERIFY(QTest::qWaitFor(
        [&] { return sequences(sub.messages(), "late/readings", true).size() >= 20; }, 5000));
    QCOMPARE(sequences(sub.messages(), "late/readings", false), oneTo(20));
    const QString err = QString::fromUtf8(run.err.data());
    QCOMPARE(err.count("does not answer"), 1);
    QCOMPARE(err.count("answers; sending the"), 1);
}

// SIGKILL while the broker is away: a new run sends what the journal holds
// before its own readings, numbered on from the last.
void TestMqttE2e::killedAndStartedAgain() {
    Broker broker;  // not started yet
    vxsim::SimProcess sim;
    QVERIFY(sim.start({}));
    const QString journal = dir_.filePath("killed.journal");
    QStringList args = meterArgs(sim.devicePath(), broker.url("k"), journal);
    args.removeAll("--quiet");
    QProcess first;
    first.start(vxlogProgram(), args + QStringList{"--interval", "0.1", "--format", "json"});
    QVERIFY(QTest::qWaitFor([&] { return first.peek(1 << 20).count('\n') >= 8; }, 10000));
    ::kill(pid_t(first.processId()), SIGKILL);
    QVERIFY(first.waitForFinished());
    const QList<QByteArray> printed = first.readAllStandardOutput().trimmed().split('\n');
    sim.stop();

    QVERIFY(broker.start());
    Subscriber sub;
    QVERIFY(sub.start(broker.port(), "k/#", "k/probe"));
    vxsim::SimProcess sim2;
    QVERIFY(sim2.start({}));
    QProcess second;
    second.start(vxlogProgram(), meterArgs(sim2.devicePath(), broker.url("k"), journal) +
                                     QStringList{"--count", "2", "--interval", "0.1"});
    QVERIFY(second.waitForFinished(10000));
    QCOMPARE(second.exitCode(), 0);
    QVERIFY(QTest::qWaitFor(
        [&] { return sequences(sub.messages(), "k/readings", true).size() >= printed.size() + 1; },
        5000));
    const QList<Message> got = sub.messages();
    const QList<qint64> seqs = sequences(got, "k/readings", true);
    QCOMPARE(seqs, oneTo(seqs.size()));
    // Every reading the first run showed was journaled (but perhaps the
    // last, killed between showing and journaling it), then the two new.
    QVERIFY(seqs.size() >= printed.size() + 1);
    const QStringList sent = payloads(got, "k/readings");
    for (qsizetype i = 0; i + 1 < printed.size(); ++i) {
        const QString time = QJsonDocument::fromJson(printed[i]).object().value("time").toString();
        QVERIFY2(sent[i].contains(time), qPrintable(time + " not in " + sent[i]));
    }
}

void TestMqttE2e::refusedCredentials_data() {
    QTest::addColumn<QString>("auth");
    QTest::addColumn<QString>("reason");
    QTest::newRow("wrong password") << "username=lab\npassword=wrong\n"
                                    << "Connection Refused: not authorised.";
    QTest::newRow("no credentials") << ""
                                    << "Connection Refused: not authorised.";
}

// A broker that refuses the credentials: status 8 and why, at once.
void TestMqttE2e::refusedCredentials() {
    QFETCH(QString, auth);
    QFETCH(QString, reason);
    Broker broker;
    const QString passwords = broker.path("passwords");
    QCOMPARE(QProcess::execute("mosquitto_passwd", {"-c", "-b", passwords, "lab", "secret"}), 0);
    QVERIFY(broker.start("allow_anonymous false\npassword_file " + passwords));
    vxsim::SimProcess sim;
    QVERIFY(sim.start({}));
    QStringList args = meterArgs(sim.devicePath(), broker.url("r"), dir_.filePath("r.journal"));
    if (!auth.isEmpty()) {
        QFile file(dir_.filePath("auth"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(auth.toUtf8());
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        args << "--mqtt-auth" << file.fileName();
    }
    QProcess p;
    p.start(vxlogProgram(), args);
    QVERIFY(p.waitForFinished(10000));
    QCOMPARE(p.exitCode(), 8);
    QCOMPARE(QString::fromUtf8(p.readAllStandardError())
                 .count(QStringLiteral("vxlog: the broker at %1 refused the connection: %2\n")
                            .arg(broker.url("r"), reason)),
             1);
}

void TestMqttE2e::hostileBroker_data() {
    QTest::addColumn<bool>("closes");
    QTest::newRow("closes at once") << true;
    QTest::newRow("never answers") << false;
}

// A server that takes the connection and closes it at once, or never
// answers the MQTT handshake: the run goes on and ends on time, says once
// that the broker does not answer, and keeps every reading in the journal.
void TestMqttE2e::hostileBroker() {
    QFETCH(bool, closes);
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    QObject::connect(&server, &QTcpServer::newConnection, &server, [&] {
        while (QTcpSocket* s = server.nextPendingConnection()) {
            if (closes) {
                s->close();
            }
        }
    });
    vxsim::SimProcess sim;
    QVERIFY(sim.start({}));
    const QString journal = dir_.filePath(QStringLiteral("hostile-%1.journal").arg(closes));
    MqttRun<vx::timing::SystemClock> run(
        meterArgs(sim.devicePath(),
                  QStringLiteral("mqtt://127.0.0.1:%1/d").arg(server.serverPort()), journal) +
        QStringList{"--count", "15", "--interval", "0.1"});
    QVERIFY2(run.runner, qPrintable(run.error));
    QElapsedTimer took;
    took.start();
    QCOMPARE(run.finish(), 0);
    QVERIFY2(took.elapsed() < 4000, qPrintable(QString::number(took.elapsed())));
    const QString err = QString::fromUtf8(run.err.data());
    QCOMPARE(err.count("does not answer"), 1);
    QVERIFY2(err.contains("15 readings wait in the journal " + journal), qPrintable(err));
    vx::publish::Journal j;
    QString error;
    QVERIFY(j.open(journal, 1 << 20, &error, nullptr));
    QCOMPARE(j.pending(), 15);
    QCOMPARE(j.next(0, 100)->sequence, 1);
}

void TestMqttE2e::tls_data() {
    QTest::addColumn<QString>("ca");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("said");
    QTest::newRow("its authority") << "ca" << 0 << "";
    QTest::newRow("another authority")
        << "other" << 8
        << "the TLS handshake failed (OpenSSL Error[0]: error:0A000086:SSL "
           "routines::certificate verify failed)";
}

// mqtts:// with --mqtt-ca: a broker whose certificate the authority signed
// gets the readings; one it did not sign ends the run with status 8 and the
// reason, since trying again cannot mend it.
void TestMqttE2e::tls() {
    QFETCH(QString, ca);
    QFETCH(int, status);
    QFETCH(QString, said);
    QTemporaryDir keys;
    const auto openssl = [&](const QStringList& args) {
        QProcess p;
        p.setWorkingDirectory(keys.path());
        p.start("openssl", args);
        return p.waitForFinished(20000) && p.exitCode() == 0;
    };
    for (const QString& name : QStringList{"ca", "other"}) {
        QVERIFY(openssl({"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", name + ".key",
                         "-out", name + ".crt", "-days", "2", "-subj", "/CN=" + name}));
    }
    QVERIFY(openssl({"req", "-newkey", "rsa:2048", "-nodes", "-keyout", "server.key", "-out",
                     "server.csr", "-subj", "/CN=localhost"}));
    QFile ext(keys.filePath("ext"));
    QVERIFY(ext.open(QIODevice::WriteOnly));
    ext.write("subjectAltName=DNS:localhost,IP:127.0.0.1\n");
    ext.close();
    QVERIFY(openssl({"x509", "-req", "-in", "server.csr", "-CA", "ca.crt", "-CAkey", "ca.key",
                     "-CAcreateserial", "-out", "server.crt", "-days", "2", "-extfile", "ext"}));
    for (const QString& file : QDir(keys.path()).entryList(QDir::Files)) {
        QFile(keys.filePath(file)).setPermissions(QFile::ReadOwner | QFile::ReadOther);
    }
    Broker broker;
    QVERIFY(broker.start(QStringLiteral("allow_anonymous true\ncafile %1\ncertfile %2\nkeyfile %3")
                             .arg(keys.filePath("ca.crt"), keys.filePath("server.crt"),
                                  keys.filePath("server.key"))));
    vxsim::SimProcess sim;
    QVERIFY(sim.start({}));
    const QString url = QStringLiteral("mqtts://localhost:%1/t").arg(broker.port());
    QProcess p;
    p.start(vxlogProgram(), meterArgs(sim.devicePath(), url, dir_.filePath(ca + ".tls.journal")) +
                                QStringList{"--count", "2", "--interval", "0.1", "--mqtt-ca",
                                            keys.filePath(ca + ".crt")});
    QVERIFY(p.waitForFinished(10000));
    QCOMPARE(p.exitCode(), status);
    const QString err = QString::fromUtf8(p.readAllStandardError());
    if (status == 0) {
        QVERIFY2(!err.contains("wait in the journal"), qPrintable(err));
    } else {
        QVERIFY2(err.contains(QStringLiteral("vxlog: the broker at %1: %2\n").arg(url, said)),
                 qPrintable(err));
    }
}

// A journal that cannot grow (a file size limit, as a full disk): status 5
// with the reason, and the journal stays whole for the next run.
void TestMqttE2e::journalThatCannotGrow() {
    vxsim::SimProcess sim;
    QVERIFY(sim.start({}));
    const QString journal = dir_.filePath("limited.journal");
    QStringList args = meterArgs(sim.devicePath(), "mqtt://127.0.0.1:9/f", journal);
    args << "--interval"
         << "0.1";
    QProcess p;
    p.start("bash", QStringList{"-c", "ulimit -f 2; exec \"$0\" \"$@\"", vxlogProgram()} + args);
    QVERIFY(p.waitForFinished(10000));
    QCOMPARE(p.exitCode(), 5);
    const QString err = QString::fromUtf8(p.readAllStandardError());
    QVERIFY2(err.contains("vxlog: cannot write to the journal " + journal +
                          ": File too large; the readings before are kept\n"),
             qPrintable(err));
    vx::publish::Journal j;
    QString error;
    QStringList notes;
    QVERIFY(j.open(journal, 1 << 20, &error, &notes));
    QCOMPARE(notes, QStringList());
    QVERIFY(j.pending() > 3);
    QCOMPARE(j.next(0, 1000)->sequence, 1);
}

// SIGTERM while a long backlog goes out: the run ends within its bounded
// time with status 0, and what the broker did not acknowledge goes out with
// the next run, so nothing is lost.
void TestMqttE2e::sigtermWhileBacklogGoesOut() {
    const QString journal = dir_.filePath("backlog.journal");
    constexpr int kBacklog = 20000;
    {
        vx::publish::Journal j;
        QString error;
        QVERIFY(j.open(journal, qint64(64) << 20, &error, nullptr));
        for (int i = 1; i <= kBacklog; ++i) {
            QCOMPARE(j.append(QStringLiteral(R"({"seq":%1,"pad":"%2"})")
                                  .arg(i)
                                  .arg(QString(50, u'x'))
                                  .toUtf8()),
                     i);
        }
        QVERIFY(j.sync());
    }
    Broker broker;
    QVERIFY(broker.start());
    Subscriber sub;
    QVERIFY(sub.start(broker.port(), "b/#", "b/probe"));
    vxsim::SimProcess sim;
    QVERIFY(sim.start({}));
    const QStringList args = meterArgs(sim.devicePath(), broker.url("b"), journal);
    QProcess p;
    p.start(vxlogProgram(), args + QStringList{"--interval", "0.1"});
    QVERIFY(QTest::qWaitFor([&] { return sub.count("b/readings") >= 100; }, 10000));
    QElapsedTimer stopping;
    stopping.start();
    ::kill(pid_t(p.processId()), SIGTERM);
    QVERIFY(p.waitForFinished(10000));
    QVERIFY2(stopping.elapsed() < 5000, qPrintable(QString::number(stopping.elapsed())));
    QCOMPARE(p.exitCode(), 0);
    QProcess again;
    again.start(vxlogProgram(), args + QStringList{"--count", "1"});
    QVERIFY(again.waitForFinished(60000));
    QCOMPARE(again.exitCode(), 0);
    QVERIFY2(
        QTest::qWaitFor(
            [&] { return sequences(sub.messages(), "b/readings", true).size() > kBacklog; }, 5000),
        qPrintable(QString::number(sequences(sub.messages(), "b/readings", true).size())));
    const QList<qint64> seqs = sequences(sub.messages(), "b/readings", true);
    QCOMPARE(seqs.size(), kBacklog + 1);
    QCOMPARE(seqs.mid(0, kBacklog), oneTo(kBacklog));
}

QTEST_GUILESS_MAIN(TestMqttE2e)
#include "tst_mqtt_e2e.moc"
