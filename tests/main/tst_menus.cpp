#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "forms/About/About.h"
#include "forms/Help/Help.h"
#include "forms/Main/Main.h"
#include "forms/Trend/Trend.h"
#include "shell/PromptComboBox.h"
#include "shell/StatusLamp.h"
#include "support/MainHarness.h"
#include "support/MainState.h"
#include "trend/TrendData.h"

using vx::forms::About;
using vx::forms::Help;

namespace {

int topLevelCount(const QString& objectName) {
    int n = 0;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->objectName() == objectName && w->isVisible()) {
            ++n;
        }
    }
    return n;
}

}  // namespace

class TestMenus : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void oneWindowEach_data();
    void oneWindowEach();
    void shortcutsOpenWindows_data();
    void shortcutsOpenWindows();
    void closedWindowComesBackNew();
    void trendFollowsRunReadings();
    void trendTakesSingleReadAndSecondary();
    void exitClosesEveryWindow();
    void portTipsFollowThePopup();
};

void TestMenus::oneWindowEach_data() {
    QTest::addColumn<QString>("menu");
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("caption");
    QTest::newRow("About") << "mnuAbout"
                           << "About"
                           << "About";
    QTest::newRow("See Help") << "mnuSeeHelp"
                              << "Help"
                              << "Help";
    QTest::newRow("Trend") << "mnuTrend"
                           << "Trend"
                           << "Trend";
}

void TestMenus::oneWindowEach() {
    QFETCH(QString, menu);
    QFETCH(QString, window);
    QFETCH(QString, caption);
    MainHarness h;
    h.w().show();
    auto* action = h.w().findChild<QAction*>(menu);
    QVERIFY(action != nullptr);
    action->trigger();
    action->trigger();
    QCOMPARE(topLevelCount(window), 1);
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->objectName() == window && w->isVisible()) {
            QCOMPARE(w->windowTitle(), caption);
            // Modeless: the main window stays usable beside it.
            QVERIFY(!w->isModal());
            QVERIFY(h.w().isEnabled());
            w->close();
        }
    }
}

void TestMenus::shortcutsOpenWindows_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("window");
    QTest::newRow("Ctrl+A") << int(Qt::Key_A) << "About";
    QTest::newRow("Ctrl+S") << int(Qt::Key_S) << "Help";
    QTest::newRow("Ctrl+T") << int(Qt::Key_T) << "Trend";
}

void TestMenus::shortcutsOpenWindows() {
    QFETCH(int, key);
    QFETCH(QString, window);
    MainHarness h;
    h.w().show();
    QApplication::setActiveWindow(&h.w());
    QVERIFY(QTest::qWaitForWindowActive(&h.w()));
    const auto closeIt = [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->objectName() == window) {
                w->close();
            }
        }
        QCOMPARE(topLevelCount(window), 0);
        QApplication::setActiveWindow(&h.w());
    };
    // From a button, and from text boxes that would keep Ctrl+A for
    // themselves: each press opens the window.
    button(h.w(), "ConnectBtn")->setFocus();
    QTest::keyClick(&h.w(), Qt::Key(key), Qt::ControlModifier);
    QCOMPARE(topLevelCount(window), 1);
    QTest::keyClick(&h.w(), Qt::Key(key), Qt::ControlModifier);
    QCOMPARE(topLevelCount(window), 1);
    closeIt();
    lineEdit(h.w(), "SendMsg")->setText(QStringLiteral("*IDN?"));
    lineEdit(h.w(), "SendMsg")->setFocus();
    QTest::keyClick(lineEdit(h.w(), "SendMsg"), Qt::Key(key), Qt::ControlModifier);
    QCOMPARE(topLevelCount(window), 1);
    QVERIFY(!lineEdit(h.w(), "SendMsg")->hasSelectedText());
    closeIt();
    combo(h.w(), "ComPort")->setFocus();
    QTest::keyClick(combo(h.w(), "ComPort")->lineEdit(), Qt::Key(key), Qt::ControlModifier);
    QCOMPARE(topLevelCount(window), 1);
    closeIt();
}

void TestMenus::closedWindowComesBackNew() {
    MainHarness h;
    child<QAction>(h.w(), "mnuAbout")->trigger();
    QPointer<About> first = MainState(h.w()).aboutWindow();
    QVERIFY(first);
    first->findChild<QPushButton*>(QStringLiteral("CloseBtn"))->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(first.isNull());
    child<QAction>(h.w(), "mnuAbout")->trigger();
    QVERIFY(MainState(h.w()).aboutWindow() != nullptr);
    QCOMPARE(topLevelCount(QStringLiteral("About")), 1);
    MainState(h.w()).aboutWindow()->close();

    child<QAction>(h.w(), "mnuSeeHelp")->trigger();
    QPointer<Help> help = MainState(h.w()).helpWindow();
    QVERIFY(help);
    help->findChild<QPushButton*>(QStringLiteral("CloseBtn"))->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(help.isNull());
}

void TestMenus::trendFollowsRunReadings() {
    MainHarness h;
    QVERIFY(h.connect());
    combo(h.w(), "FuncBox")->setCurrentIndex(8);
    button(h.w(), "SetFunc")->click();
    const QList<QByteArray> replies{"+1.50000E+00\n", "+9.90000E+37\n", "+1.70000E+00\n"};
    int pass = 0;
    h.clock.onWait = [&](qint64) {
        if (pass < replies.size()) {
            h.port()->deliver(replies[pass]);
        } else {
            button(h.w(), "StopBtn")->click();
        }
        ++pass;
    };
    button(h.w(), "Run")->click();
    const auto& points = MainState(h.w()).trendWindow()->points().points();
    QCOMPARE(points.size(), std::size_t(3));
    QCOMPARE(points[0].primary, 1.5);
    QVERIFY(std::isnan(points[1].primary));  // overload: a gap
    QCOMPARE(points[2].primary, 1.7);
    QCOMPARE(MainState(h.w()).trendWindow()->primaryStats().count(), 2);
    QCOMPARE(MainState(h.w()).trendWindow()->primaryStats().gaps(), 1);
    // Nothing was sent for the plot: the wire holds the function and the queries.
    QCOMPARE(h.takeWire(), QByteArray(":FUNC VOLT:DC\nFETC?\nFETC?\nFETC?\nFETC?\n"));

    // A new primary function starts a new series.
    combo(h.w(), "FuncBox")->setCurrentIndex(4);
    button(h.w(), "SetFunc")->click();
    pass = 0;
    button(h.w(), "Run")->click();
    QCOMPARE(MainState(h.w()).trendWindow()->points().points().size(), std::size_t(3));
    QCOMPARE(MainState(h.w()).trendWindow()->primaryStats().count(), 2);
}

void TestMenus::trendTakesSingleReadAndSecondary() {
    MainHarness h;
    QVERIFY(h.connect());
    combo(h.w(), "FuncBox")->setCurrentIndex(8);
    button(h.w(), "SetFunc")->click();
    lamp(h.w(), "FuncTwoStat")->setFillColor(vx::shell::kLampGreen);
    h.clock.onWait = [&](qint64) {
        if (MainState(h.w()).single_read == 1) {
            h.port()->deliver("+2.00000E+00,+1.00000E+03\n");
        }
    };
    button(h.w(), "SingleRead")->click();
    const auto& points = MainState(h.w()).trendWindow()->points().points();
    QCOMPARE(points.size(), std::size_t(1));
    QCOMPARE(points[0].primary, 2.0);
    QCOMPARE(points[0].secondary, 1000.0);
}

void TestMenus::exitClosesEveryWindow() {
    MainHarness h;
    h.w().show();
    child<QAction>(h.w(), "mnuAbout")->trigger();
    child<QAction>(h.w(), "mnuSeeHelp")->trigger();
    child<QAction>(h.w(), "mnuTrend")->trigger();
    QCOMPARE(topLevelCount(QStringLiteral("About")) + topLevelCount(QStringLiteral("Help")) +
                 topLevelCount(QStringLiteral("Trend")),
             3);
    button(h.w(), "Exit")->click();
    QCOMPARE(topLevelCount(QStringLiteral("About")), 0);
    QCOMPARE(topLevelCount(QStringLiteral("Help")), 0);
    QCOMPARE(topLevelCount(QStringLiteral("Trend")), 0);
    QCOMPARE(topLevelCount(QStringLiteral("Main")), 0);
}

void TestMenus::portTipsFollowThePopup() {
    MainHarness h;
    // The tool tips are taken again each time the list drops down.
    combo(h.w(), "ComPort")->setItemData(0, QStringLiteral("stale"), Qt::ToolTipRole);
    h.w().show();
    combo(h.w(), "ComPort")->showPopup();
    QCOMPARE(combo(h.w(), "ComPort")->itemData(0, Qt::ToolTipRole).toString(),
             QStringLiteral("COM1: /dev/fake1"));
    combo(h.w(), "ComPort")->hidePopup();
}

QTEST_MAIN(TestMenus)
#include "tst_menus.moc"
