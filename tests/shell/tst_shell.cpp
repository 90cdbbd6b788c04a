#include <QApplication>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "shell/Busy.h"
#include "shell/ConsoleHistory.h"
#include "shell/Dialogs.h"
#include "shell/PromptComboBox.h"
#include "shell/StatusLamp.h"
#include "shell/Wait.h"
#include "support/FakeClock.h"

class TestShell : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void waitZeroRunsNoEvent_data();
    void waitZeroRunsNoEvent();
    void waitReturnsOnlyAfterEndTime();
    void waitRunsPendingEventsInside();
    void waitFollowsWallClockChanges();
    void waitAbandonEndsEarly();
    void systemClockWaitDoesNotSpin();
    void busyHasNoCount();
    void promptShownUntilChosen();
    void typedTextChoosesNoEntry();
    void fillingEmptyListChoosesNothing();
    void removeFromEndLeavesPrompt_data();
    void removeFromEndLeavesPrompt();
    void fileFilterPairs_data();
    void fileFilterPairs();
    void lampColourValues_data();
    void lampColourValues();
    void consoleHistoryWalk_data();
    void consoleHistoryWalk();
};

void TestShell::waitZeroRunsNoEvent_data() {
    QTest::addColumn<double>("seconds");
    QTest::newRow("zero") << 0.0;
    QTest::newRow("negative") << -1.0;
}

void TestShell::waitZeroRunsNoEvent() {
    QFETCH(double, seconds);
    FakeClock clock;
    bool ran = false;
    QTimer::singleShot(0, qApp, [&] { ran = true; });
    vx::shell::waitSeconds(clock, seconds);
    QCOMPARE(clock.passes, 0);
    QVERIFY(!ran);
    QCoreApplication::processEvents();
    QVERIFY(ran);
}

void TestShell::waitReturnsOnlyAfterEndTime() {
    FakeClock clock;
    const QDateTime start = clock.now();
    vx::shell::waitSeconds(clock, 1);
    QVERIFY(clock.now() >= start.addSecs(1));
    const QDateTime second = clock.now();
    vx::shell::waitSeconds(clock, 1);
    QVERIFY(clock.now() >= second.addSecs(1));
    QCOMPARE(clock.waitedMs, 2000);
    vx::shell::waitSeconds(clock, 0.5);
    QCOMPARE(clock.waitedMs, 2500);
}

void TestShell::waitRunsPendingEventsInside() {
    FakeClock clock;
    int seen = 0;
    clock.onWait = [&](qint64) { QTimer::singleShot(0, qApp, [&] { ++seen; }); };
    vx::shell::waitSeconds(clock, 2);
    QVERIFY(seen >= 2);
}

void TestShell::waitFollowsWallClockChanges() {
    FakeClock clock;
    // Set back by an hour in the first pass: the wait goes on until the
    // clock has caught up with the end time again.
    bool setBack = false;
    clock.onWait = [&](qint64) {
        if (!setBack) {
            setBack = true;
            clock.advance(-3600 * 1000);
        }
    };
    vx::shell::waitSeconds(clock, 1);
    QCOMPARE(clock.waitedMs, 3600 * 1000 + 1000);

    // Set forward: the wait ends at the next look at the clock.
    FakeClock forward;
    forward.onWait = [&](qint64) { forward.advance(3600 * 1000); };
    vx::shell::waitSeconds(forward, 10);
    QCOMPARE(forward.passes, 1);
}

void TestShell::waitAbandonEndsEarly() {
    FakeClock clock;
    vx::shell::waitSeconds(clock, 10, [&] { return clock.waitedMs >= 2000; });
    QCOMPARE(clock.waitedMs, 2000);
}

void TestShell::systemClockWaitDoesNotSpin() {
    // A real half-second wait: blocks on the event loop, so it makes only a
    // handful of passes and uses little CPU time.
    vx::timing::SystemClock clock;
    int passes = 0;
    struct Counting : vx::timing::Clock {
        vx::timing::Clock& inner;
        int& passes;
        Counting(vx::timing::Clock& c, int& p) : inner(c), passes(p) {}
        QDateTime now() const override { return inner.now(); }
        qint64 elapsedNs() const override { return inner.elapsedNs(); }
        void callAt(qint64 due, const QObject* context, std::function<void()> fn) override {
            inner.callAt(due, context, std::move(fn));
        }
        void runEventsFor(qint64 ms) override {
            ++passes;
            inner.runEventsFor(ms);
        }
    } counting(clock, passes);
    const QDateTime start = QDateTime::currentDateTime();
    std::clock_t cpu = std::clock();
    vx::shell::waitSeconds(counting, 0.5);
    cpu = std::clock() - cpu;
    QVERIFY(QDateTime::currentDateTime() >= start.addMSecs(500));
    QVERIFY2(passes <= 3, qPrintable(QString::number(passes)));
    QVERIFY2(double(cpu) / CLOCKS_PER_SEC < 0.1, "the wait used CPU time");
}

void TestShell::busyHasNoCount() {
    QWidget window;
    auto* child = new QLineEdit(&window);
    vx::shell::beginBusy(&window);
    vx::shell::beginBusy(&window);
    QVERIFY(!window.isEnabled());
    QVERIFY(!child->isEnabled());
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    vx::shell::endBusy(&window);
    QVERIFY(window.isEnabled());
    QVERIFY(child->isEnabled());
    QCOMPARE(QApplication::overrideCursor(), nullptr);
}

void TestShell::promptShownUntilChosen() {
    vx::shell::PromptComboBox box;
    box.showPrompt(QStringLiteral("Select Port"));
    std::array<std::string_view, 2> items{"1", "2"};
    box.appendEntries(items);
    QCOMPARE(box.currentIndex(), -1);
    QCOMPARE(box.fieldText(), QStringLiteral("Select Port"));
    box.setCurrentIndex(1);
    QCOMPARE(box.fieldText(), QStringLiteral("2"));
}

void TestShell::typedTextChoosesNoEntry() {
    vx::shell::PromptComboBox box;
    std::array<std::string_view, 2> items{"CR", "LF"};
    box.appendEntries(items);
    box.setCurrentIndex(1);
    box.show();
    box.lineEdit()->selectAll();
    QTest::keyClicks(box.lineEdit(), QStringLiteral("CR"));
    QCOMPARE(box.currentIndex(), -1);
    QCOMPARE(box.currentText(), QStringLiteral("CR"));
    QTest::keyClick(box.lineEdit(), Qt::Key_Return);
    QCOMPARE(box.currentIndex(), -1);
    QCOMPARE(box.count(), 2);
}

void TestShell::fillingEmptyListChoosesNothing() {
    vx::shell::PromptComboBox box;
    box.showPrompt(QStringLiteral("Select Range"));
    std::array<std::string_view, 3> items{"200 mV", "2 V", "20 V"};
    box.appendEntries(items);
    QCOMPARE(box.currentIndex(), -1);
    QCOMPARE(box.entries(), QStringList({"200 mV", "2 V", "20 V"}));
}

void TestShell::removeFromEndLeavesPrompt_data() {
    QTest::addColumn<int>("entries");
    QTest::addColumn<int>("count");
    QTest::addColumn<QStringList>("left");
    QTest::newRow("all of five") << 5 << 5 << QStringList();
    QTest::newRow("zero only sets the text") << 3 << 0 << QStringList({"0", "1", "2"});
    QTest::newRow("empty list") << 0 << 0 << QStringList();
}

void TestShell::removeFromEndLeavesPrompt() {
    QFETCH(int, entries);
    QFETCH(int, count);
    QFETCH(QStringList, left);
    vx::shell::PromptComboBox box;
    for (int i = 0; i < entries; ++i) {
        box.addItem(QString::number(i));
    }
    box.setCurrentIndex(entries - 1);
    box.removeFromEnd(count, QStringLiteral("Select Range"));
    QCOMPARE(box.entries(), left);
    QCOMPARE(box.currentIndex(), -1);
    QCOMPARE(box.fieldText(), QStringLiteral("Select Range"));
}

void TestShell::fileFilterPairs_data() {
    QTest::addColumn<QString>("pairs");
    QTest::addColumn<QString>("qt");
    QTest::newRow("log dialog") << "CSV(*.csv)|*.csv|Text Files(*.txt)|*.txt|All Files(*.*)|*.*"
                                << "CSV(*.csv);;Text Files(*.txt);;All Files(*.*)";
    QTest::newRow("bare description") << "Pictures|*.png;*.jpg"
                                      << "Pictures (*.png *.jpg)";
    QTest::newRow("odd count drops the dangling part") << "Logs|*.log|Broken"
                                                       << "Logs (*.log)";
}

void TestShell::fileFilterPairs() {
    QFETCH(QString, pairs);
    QFETCH(QString, qt);
    QCOMPARE(vx::shell::qtFileFilter(pairs), qt);
}

void TestShell::lampColourValues_data() {
    QTest::addColumn<int>("value");
    QTest::addColumn<QColor>("colour");
    QTest::newRow("green") << vx::shell::kLampGreen << QColor(0, 255, 0);
    QTest::newRow("red") << vx::shell::kLampRed << QColor(255, 0, 0);
    QTest::newRow("window grey") << 14737632 << QColor(0xE0, 0xE0, 0xE0);
    QTest::newRow("blue") << 0xFF0000 << QColor(0, 0, 255);
}

void TestShell::lampColourValues() {
    QFETCH(int, value);
    QFETCH(QColor, colour);
    QCOMPARE(vx::shell::colorFromValue(value), colour);
    vx::shell::StatusLamp lamp(vx::shell::StatusLamp::Shape::Circle);
    QCOMPARE(lamp.fillColor(), vx::shell::kLampRed);
    lamp.setFillColor(value);
    QCOMPARE(lamp.fillColor(), value);
    QCOMPARE(lamp.isGreen(), value == vx::shell::kLampGreen);
    lamp.resize(20, 20);
    const QImage img = lamp.grab().toImage();
    QCOMPARE(img.pixelColor(10, 10), colour);
}

// Commands are added in order, then the steps are taken (-1 Up, +1 Down);
// each step shows a text or, at an end of the walk, none.
void TestShell::consoleHistoryWalk_data() {
    QTest::addColumn<int>("limit");
    QTest::addColumn<QStringList>("added");
    QTest::addColumn<QList<int>>("steps");
    QTest::addColumn<QStringList>("shown");
    struct Row {
        const char* name;
        int limit;
        QStringList added;
        QList<int> steps;
        QStringList shown;  // "(none)": the box keeps its text
    };
    const Row rows[] = {
        {"no commands yet", 200, {}, {-1, +1}, {"(none)", "(none)"}},
        {"an empty command is not kept", 200, {"A", ""}, {-1, -1}, {"A", "(none)"}},
        {"past the newest the box is empty, then stays",
         200,
         {"A"},
         {+1, -1, +1, +1},
         {"(none)", "A", "", "(none)"}},
        {"the oldest goes past the limit", 2, {"A", "B", "C"}, {-1, -1, -1}, {"C", "B", "(none)"}},
    };
    for (const Row& r : rows) {
        QTest::newRow(r.name) << r.limit << r.added << r.steps << r.shown;
    }
}

void TestShell::consoleHistoryWalk() {
    QFETCH(int, limit);
    QFETCH(QStringList, added);
    QFETCH(QList<int>, steps);
    QFETCH(QStringList, shown);
    vx::shell::ConsoleHistory history(limit);
    for (const QString& command : added) {
        history.add(command);
    }
    QStringList got;
    for (const int step : steps) {
        got << history.step(step).value_or(QStringLiteral("(none)"));
    }
    QCOMPARE(got, shown);
}

QTEST_MAIN(TestShell)
#include "tst_shell.moc"
