#include <QFrame>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include "forms/About/About.h"

using vx::forms::About;

class TestAbout : public QObject {
    Q_OBJECT

private slots:
    void texts();
    void okClosesAndDeletes();
};

void TestAbout::texts() {
    About about;
    QCOMPARE(about.objectName(), QStringLiteral("About"));
    QCOMPARE(about.windowTitle(), QStringLiteral("About"));
    QCOMPARE(about.findChild<QLabel*>("Label1")->text(),
             QStringLiteral("Version: 1.0.3   9/22/2016"));
    auto* text = about.findChild<QPlainTextEdit*>("Text1");
    const QStringList lines = text->toPlainText().split('\n');
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines.at(0), QStringLiteral("Velmora Corporation."));
    QVERIFY(lines.at(1).contains("rights"));
    QCOMPARE(text->palette().color(QPalette::Base), QColor(224, 224, 224));
    QCOMPARE(about.findChild<QPushButton*>("CloseBtn")->text(), QStringLiteral("OK"));
    const auto* logo = about.findChild<QLabel*>("Image1");
    QCOMPARE(logo->pixmap().size(), QSize(200, 38));
    // The frame holds the version label and the text box.
    auto* shape = about.findChild<QFrame*>("Shape1");
    QCOMPARE(about.findChild<QLabel*>("Label1")->parentWidget(), shape);
    QCOMPARE(text->parentWidget(), shape);
}

void TestAbout::okClosesAndDeletes() {
    QPointer<About> about = new About;
    about->show();
    QTest::mouseClick(about->findChild<QPushButton*>("CloseBtn"), Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(about.isNull());
}

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
