// One meter's exchange over the fake port: which line is taken for a
// query's reply, and how each failure ends it.
#include <QSignalSpy>
#include <QTest>

#include "session/Session.h"
#include "support/FakeClock.h"
#include "support/FakePort.h"

using vx::session::Expect;
using vx::session::Failure;
using vx::session::Fault;
using vx::session::Session;

Q_DECLARE_METATYPE(Expect)

namespace {

struct Exchange {
    explicit Exchange(const QString& terminator = QStringLiteral("\n"))
        : term(terminator.toLatin1()),
          session(opener, clock,
                  {.device = QStringLiteral("COM1"), .baud = 9600, .terminator = terminator}) {
        QObject::connect(&session, &Session::replied, &session,
                         [this](const QString& r) { replies << r; });
        QObject::connect(&session, &Session::skipped, &session,
                         [this](const QString& s) { skipped << s; });
        QObject::connect(&session, &Session::failed, &session,
                         [this](const Fault& f) { faults << f; });
    }
    // Opens and asks *IDN?, answered.
    bool identified() {
        if (!session.open().ok() || !session.ask(QStringLiteral("*IDN?"), Expect::Identity).ok()) {
            return false;
        }
        opener.port->deliver("Velmora,VX480,1,1.0" + term);
        QCoreApplication::processEvents();
        replies.clear();
        return session.identity() == QStringLiteral("Velmora,VX480,1,1.0");
    }
    QByteArray term;
    FakeOpener opener;
    FakeClock clock;
    Session session;
    QStringList replies;
    QStringList skipped;
    QList<Fault> faults;
};

}  // namespace

class TestMeterExchange : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void replyMatchedToQuery_data();
    void replyMatchedToQuery();
    void openEndsHalfCommandAndDropsWaiting();
    void failuresCloseThePort_data();
    void failuresCloseThePort();
    void commandBeyondLatin1NotSent();
};

void TestMeterExchange::replyMatchedToQuery_data() {
    QTest::addColumn<QString>("terminator");
    QTest::addColumn<QByteArray>("waiting");  // on the line when the query leaves
    QTest::addColumn<Expect>("expect");
    QTest::addColumn<QList<QByteArray>>("arrivals");
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QStringList>("skipped");
    const QString lf = QStringLiteral("\n");
    QTest::newRow("in pieces") << lf << QByteArray() << Expect::Reading
                               << QList<QByteArray>{"+1.0", "E+00\n"} << "+1.0E+00"
                               << QStringList{};
    QTest::newRow("line begun before the query")
        << lf << QByteArray("+9.9") << Expect::Reading << QList<QByteArray>{"9E+00\n+1.0E+00\n"}
        << "+1.0E+00" << QStringList{"9E+00"};
    QTest::newRow("whole line waiting before the query")
        << lf << QByteArray("+7.0E+00\n") << Expect::Reading << QList<QByteArray>{"+1.0E+00\n"}
        << "+1.0E+00" << QStringList{};
    QTest::newRow("late reading is no identity")
        << lf << QByteArray() << Expect::Identity
        << QList<QByteArray>{"+1.5E+00\n", "Velmora,VX260,2,1.1\n"} << "Velmora,VX260,2,1.1"
        << QStringList{"+1.5E+00"};
    QTest::newRow("overload is no identity")
        << lf << QByteArray() << Expect::Identity
        << QList<QByteArray>{"-9.90000E+37,+1.0E+03\n", "Velmora,VX260,2,1.1\n"}
        << "Velmora,VX260,2,1.1" << QStringList{"-9.90000E+37,+1.0E+03"};
    QTest::newRow("late identity is no reading")
        << lf << QByteArray() << Expect::Reading
        << QList<QByteArray>{"Velmora,VX480,1,1.0\n", "+1.0E+00\n"} << "+1.0E+00"
        << QStringList{"Velmora,VX480,1,1.0"};
    QTest::newRow("empty line is no reading")
        << lf << QByteArray() << Expect::Reading << QList<QByteArray>{"\n+1.0E+00\n"} << "+1.0E+00"
        << QStringList{""};
    QTest::newRow("CR LF split at LF")
        << lf << QByteArray() << Expect::Reading << QList<QByteArray>{"+1.0E+00\r\n"} << "+1.0E+00"
        << QStringList{};
    QTest::newRow("CR LF split at CR, LF of the last reply waiting")
        << QStringLiteral("\r") << QByteArray("\n") << Expect::Reading
        << QList<QByteArray>{"+1.0E+00\r\n"} << "+1.0E+00" << QStringList{};
    QTest::newRow("any line for a typed query")
        << lf << QByteArray() << Expect::Any << QList<QByteArray>{"\n"} << "" << QStringList{};
}

void TestMeterExchange::replyMatchedToQuery() {
    QFETCH(QString, terminator);
    QFETCH(QByteArray, waiting);
    QFETCH(Expect, expect);
    QFETCH(QList<QByteArray>, arrivals);
    QFETCH(QString, reply);
    QFETCH(QStringList, skipped);
    Exchange x(terminator);
    QVERIFY(x.identified());
    x.opener.port->deliver(waiting);
    QCoreApplication::processEvents();
    x.skipped.clear();
    QVERIFY(x.session.ask(QStringLiteral("FETC?"), expect).ok());
    for (const QByteArray& bytes : arrivals) {
        x.opener.port->deliver(bytes);
        QCoreApplication::processEvents();
    }
    QCOMPARE(x.replies, QStringList{reply});
    QCOMPARE(x.skipped, skipped);
    QVERIFY(!x.session.asking());
    QVERIFY(x.faults.isEmpty());
}

// Opening sends a lone terminator (ending what a stopped program left
// half-sent) and drops whatever arrives while the line settles.
void TestMeterExchange::openEndsHalfCommandAndDropsWaiting() {
    Exchange x;
    x.opener.onOpened = [](FakePort* port) { port->deliver("+1.5E+00\nVelmora,VX"); };
    x.clock.onWait = [&](qint64) { x.opener.port->deliver("480,1,1.0\n+1.6E+00\n"); };
    QVERIFY(x.session.open().ok());
    QCOMPARE(x.opener.port->written, QByteArray("\n"));
    QVERIFY(x.session.ask(QStringLiteral("*IDN?"), Expect::Identity).ok());
    x.opener.port->deliver("Velmora,VX480,9,2.0\n");
    QCoreApplication::processEvents();
    QCOMPARE(x.replies, QStringList{"Velmora,VX480,9,2.0"});
    QCOMPARE(x.opener.port->written, QByteArray("\n*IDN?\n"));
}

void TestMeterExchange::failuresCloseThePort_data() {
    QTest::addColumn<QByteArray>("arrives");
    QTest::addColumn<bool>("hangUp");
    QTest::addColumn<bool>("asking");
    QTest::addColumn<int>("failure");
    QTest::addColumn<QString>("reason");
    QTest::newRow("no reply") << QByteArray() << false << true << int(Failure::NoReply)
                              << "no reply to FETC? within 2 s";
    QTest::newRow("no terminator")
        << QByteArray("+1.0E+00") << false << true << int(Failure::NoReply)
        << "the reply to FETC? has no termination character within 2 s";
    QTest::newRow("flood") << QByteArray(70'000, 'x') << false << true << int(Failure::Overlong)
                           << "the reply to FETC? ran past 65536 bytes without a terminator";
    QTest::newRow("hang-up while asking")
        << QByteArray() << true << true << int(Failure::Lost) << "the far end closed the line";
    QTest::newRow("hang-up between queries")
        << QByteArray() << true << false << int(Failure::Lost) << "the far end closed the line";
}

void TestMeterExchange::failuresCloseThePort() {
    QFETCH(QByteArray, arrives);
    QFETCH(bool, hangUp);
    QFETCH(bool, asking);
    QFETCH(int, failure);
    QFETCH(QString, reason);
    Exchange x;
    QVERIFY(x.identified());
    if (asking) {
        QVERIFY(x.session.ask(QStringLiteral("FETC?"), Expect::Reading).ok());
    }
    x.opener.port->deliver(arrives);
    QCoreApplication::processEvents();
    if (hangUp) {
        x.opener.port->hangUp();
    }
    x.session.expire();
    QCOMPARE(x.faults.size(), 1);
    QCOMPARE(int(x.faults[0].failure), failure);
    QCOMPARE(x.faults[0].reason, reason);
    QVERIFY(!x.session.isOpen());
    QVERIFY(!x.session.asking());
    // A reply coming after the failure reaches no one.
    QVERIFY(x.replies.isEmpty());
}

void TestMeterExchange::commandBeyondLatin1NotSent() {
    Exchange x;
    QVERIFY(x.identified());
    const Fault fault = x.session.ask(QStringLiteral("REF 5 \u03a9?"));
    QCOMPARE(fault.failure, Failure::NotSent);
    QVERIFY2(fault.reason.contains(QStringLiteral("\u03a9")), qPrintable(fault.reason));
    QCOMPARE(x.opener.port->written, QByteArray("\n*IDN?\n"));
    QVERIFY(x.session.isOpen());
}

QTEST_GUILESS_MAIN(TestMeterExchange)
#include "tst_meterexchange.moc"
