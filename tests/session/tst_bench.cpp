// Several meters on one time base over fake ports: every meter asked before
// any reply is looked at, one row per tick in meter order, and a meter that
// fails leaves its cell empty while the others go on.
#include <QSignalSpy>
#include <QTest>

#include "bench/Bench.h"
#include "support/FakeClock.h"
#include "support/FakePort.h"

using vx::bench::Bench;
using vx::bench::Cell;
using vx::bench::Row;

namespace {

struct ThreeMeters {
    ThreeMeters() {
        opener.onOpened = [this](FakePort* port) { ports.append(port); };
        std::vector<vx::bench::Meter> meters;
        for (const char* name : {"V", "I", "T"}) {
            meters.push_back({.name = QString::fromLatin1(name),
                              .line = {.device = QStringLiteral("COM%1").arg(meters.size() + 1),
                                       .baud = 9600,
                                       .terminator = QStringLiteral("\n")},
                              .settings = {QStringLiteral(":FUNC VOLT:DC")}});
        }
        bench = std::make_unique<Bench>(opener, clock, std::move(meters));
        QObject::connect(bench.get(), &Bench::row, bench.get(),
                         [this](const Row& row) { rows.push_back(row); });
        QObject::connect(bench.get(), &Bench::failed, bench.get(),
                         [this](int index, const vx::session::Fault&) { failed << index; });
    }
    // Connects meter `index` and answers its *IDN?.
    bool connect(int index) {
        if (!bench->connectMeter(index).ok()) {
            return false;
        }
        ports.last()->deliver("Velmora,VX480," + QByteArray::number(index) + ",1.0\n");
        QCoreApplication::processEvents();
        return bench->isReady(index);
    }
    FakeOpener opener;
    FakeClock clock;
    QList<QPointer<FakePort>> ports;
    std::unique_ptr<Bench> bench;
    std::vector<Row> rows;
    QList<int> failed;
};

}  // namespace

class TestBench : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void everyMeterAskedAtOnce();
    void failedMeterLeavesItsCellEmpty();
};

void TestBench::everyMeterAskedAtOnce() {
    ThreeMeters b;
    for (int i = 0; i < 3; ++i) {
        QVERIFY(b.connect(i));
        QCOMPARE(b.ports[i]->written, QByteArray("\n*IDN?\n:FUNC VOLT:DC\n"));
    }
    QVERIFY(b.bench->tick());
    for (int i = 0; i < 3; ++i) {
        QVERIFY(b.ports[i]->written.endsWith(":FUNC VOLT:DC\nFETC?\n"));
    }
    // No second query while the tick waits.
    QVERIFY(!b.bench->tick());
    // Replies in any order; the row comes with the last, in meter order.
    b.ports[2]->deliver("+3.0E+00\n");
    b.ports[0]->deliver("+1.0E+00\n");
    QCoreApplication::processEvents();
    QCOMPARE(b.rows.size(), std::size_t(0));
    b.ports[1]->deliver("+2.0E+00\n");
    QCoreApplication::processEvents();
    QCOMPARE(b.rows.size(), std::size_t(1));
    const Row& row = b.rows[0];
    QCOMPARE(row.cells.size(), std::size_t(3));
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(row.cells[std::size_t(i)].state, Cell::State::Replied);
        QCOMPARE(row.cells[std::size_t(i)].reply, QStringLiteral("+%1.0E+00").arg(i + 1));
    }
    QCOMPARE(row.when, b.clock.now());
    QVERIFY(b.bench->tick());
    QCOMPARE(b.ports[1]->written.count("FETC?"), 2);
}

// The middle meter does not answer: its cell says why, the row still comes,
// and the next tick asks the others while it is not connected; connected
// again, it is asked again.
void TestBench::failedMeterLeavesItsCellEmpty() {
    ThreeMeters b;
    for (int i = 0; i < 3; ++i) {
        QVERIFY(b.connect(i));
    }
    QVERIFY(b.bench->tick());
    b.ports[0]->deliver("+1.0E+00\n");
    b.ports[2]->deliver("+3.0E+00\n");
    QCoreApplication::processEvents();
    b.bench->session(1).expire();
    QCOMPARE(b.failed, QList<int>{1});
    QCOMPARE(b.rows.size(), std::size_t(1));
    QCOMPARE(b.rows[0].cells[1].state, Cell::State::NoReply);
    QCOMPARE(b.rows[0].cells[1].reason, QStringLiteral("no reply to FETC? within 2 s"));
    QCOMPARE(b.rows[0].cells[2].reply, QStringLiteral("+3.0E+00"));

    QVERIFY(b.bench->tick());
    b.ports[0]->deliver("+1.1E+00\n");
    b.ports[2]->deliver("+3.1E+00\n");
    QCoreApplication::processEvents();
    QCOMPARE(b.rows.size(), std::size_t(2));
    QCOMPARE(b.rows[1].cells[1].state, Cell::State::Lost);
    QCOMPARE(b.rows[1].cells[0].reply, QStringLiteral("+1.1E+00"));

    QVERIFY(b.connect(1));
    QVERIFY(b.bench->tick());
    QVERIFY(b.ports.last()->written.endsWith("FETC?\n"));
}

QTEST_GUILESS_MAIN(TestBench)
#include "tst_bench.moc"
