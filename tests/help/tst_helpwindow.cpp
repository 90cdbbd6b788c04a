#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include "HelpBytes.h"
#include "forms/Help/Help.h"

using vx::forms::Help;

namespace {

// Topic "Meter" with a subtopic whose text holds a CR LF and the byte 0x80,
// and one without text; topic "Second" with one more subtopic.
const QByteArray kBody =
    "{Meter}[Connect]<Line one\r\nLine \x80 two\x93>[Empty]{Second}[Other]<abc>";
const QString kInitial =
    QStringLiteral("HELP MENU\n\nPlease choose contents on the left for detailed help.");

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

}  // namespace

class TestHelpWindow : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void opensWithTreeAndInitialText();
    void clicks_data();
    void clicks();
    void subtopicClickPutsCaretAfterFirstCharacter();
    void missingFile();
    void tooShortFile();
    void closeDeletesAndReopenRereads();
    void defaultPathIsProgramDirectory();
    void locateHelpFile_data();
    void locateHelpFile();

private:
    QTreeWidget* tree() const { return help_->findChild<QTreeWidget*>("TreeView1"); }
    QPlainTextEdit* text() const { return help_->findChild<QPlainTextEdit*>("Text1"); }
    QTreeWidgetItem* node(const QString& path) const;
    void click(QTreeWidgetItem* item) const;

    QTemporaryDir dir_;
    QString path_;
    QPointer<Help> help_;
};

void TestHelpWindow::init() {
    path_ = dir_.filePath("Help.mhf");
    QVERIFY(writeFile(path_, helptest::helpFile(kBody)));
    help_ = new Help(path_);
    help_->show();
    QVERIFY(QTest::qWaitForWindowExposed(help_));
}

void TestHelpWindow::cleanup() {
    delete help_;
}

// "Topic/Subtopic" or "Topic".
QTreeWidgetItem* TestHelpWindow::node(const QString& path) const {
    const QStringList parts = path.split('/');
    const auto found = tree()->findItems(parts.last(), Qt::MatchExactly | Qt::MatchRecursive);
    for (auto* item : found) {
        if (parts.size() == 1 ? item->parent() == nullptr
                              : item->parent() && item->parent()->text(0) == parts.first()) {
            return item;
        }
    }
    return nullptr;
}

// Clicks a node as the operator does, expanding its topic first so that it is visible.
void TestHelpWindow::click(QTreeWidgetItem* item) const {
    QVERIFY(item);
    if (item->parent()) {
        item->parent()->setExpanded(true);
    }
    const QRect rect = tree()->visualItemRect(item);
    QVERIFY(rect.isValid());
    QTest::mouseClick(tree()->viewport(), Qt::LeftButton, {}, rect.center());
}

void TestHelpWindow::opensWithTreeAndInitialText() {
    QCOMPARE(help_->objectName(), QStringLiteral("Help"));
    QCOMPARE(help_->windowTitle(), QStringLiteral("Help"));
    QCOMPARE(text()->toPlainText(), kInitial);
    QCOMPARE(tree()->topLevelItemCount(), 2);
    QCOMPARE(tree()->topLevelItem(0)->text(0), QStringLiteral("Meter"));
    QCOMPARE(tree()->topLevelItem(1)->text(0), QStringLiteral("Second"));
    QCOMPARE(tree()->topLevelItem(0)->childCount(), 2);
    QCOMPARE(tree()->topLevelItem(1)->childCount(), 1);
    QCOMPARE(node("Meter/Connect")->data(0, Help::kTagRole).toString(), QStringLiteral("306,326"));
    QCOMPARE(node("Meter/Empty")->data(0, Help::kTagRole).toString(), QString());
    QCOMPARE(node("Meter")->data(0, Help::kTagRole).toString(), QString());
    for (int i = 0; i < 2; ++i) {
        QVERIFY(!tree()->topLevelItem(i)->isExpanded());
    }
    const auto topicIcon = node("Meter")->icon(0).pixmap(24, 24).toImage();
    const auto subtopicIcon = node("Meter/Connect")->icon(0).pixmap(24, 24).toImage();
    QCOMPARE(topicIcon.size(), QSize(24, 24));
    QVERIFY(topicIcon != subtopicIcon);
    QCOMPARE(node("Second/Other")->icon(0).pixmap(24, 24).toImage(), subtopicIcon);
    QCOMPARE(text()->font().family(), QStringLiteral("MS Sans Serif"));
    QCOMPARE(text()->font().pointSize(), 12);
    QCOMPARE(text()->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
}

void TestHelpWindow::clicks_data() {
    QTest::addColumn<QStringList>("nodes");
    QTest::addColumn<QString>("shown");
    const QString connectText = QStringLiteral("Line one\nLine \u20AC two\u201C");
    QTest::newRow("topic empties the box") << QStringList{"Meter"} << QString();
    QTest::newRow("subtopic shows its bytes") << QStringList{"Meter/Connect"} << connectText;
    QTest::newRow("same subtopic twice")
        << QStringList{"Meter/Connect", "Meter/Connect"} << connectText;
    QTest::newRow("subtopic without text")
        << QStringList{"Meter/Connect", "Meter/Empty"} << QString();
    QTest::newRow("topic after subtopic") << QStringList{"Meter/Connect", "Second"} << QString();
    QTest::newRow("other topic's subtopic")
        << QStringList{"Meter/Connect", "Second/Other"} << QStringLiteral("abc");
}

void TestHelpWindow::clicks() {
    QFETCH(QStringList, nodes);
    QFETCH(QString, shown);
    for (const QString& name : nodes) {
        click(node(name));
    }
    QCOMPARE(text()->toPlainText(), shown);
}

void TestHelpWindow::subtopicClickPutsCaretAfterFirstCharacter() {
    click(node("Second/Other"));
    QCOMPARE(text()->textCursor().position(), 1);
}

void TestHelpWindow::missingFile() {
    QVERIFY(QFile::remove(path_));
    Help missing(path_);
    auto* box = missing.findChild<QPlainTextEdit*>("Text1");
    QCOMPARE(missing.findChild<QTreeWidget*>("TreeView1")->topLevelItemCount(), 0);
    QVERIFY2(box->toPlainText().contains(path_), qPrintable(box->toPlainText()));
    QVERIFY2(box->toPlainText().contains("No such file or directory"),
             qPrintable(box->toPlainText()));
}

void TestHelpWindow::tooShortFile() {
    QVERIFY(writeFile(path_, QByteArray(100, '\x01')));
    Help shortFile(path_);
    auto* box = shortFile.findChild<QPlainTextEdit*>("Text1");
    QCOMPARE(shortFile.findChild<QTreeWidget*>("TreeView1")->topLevelItemCount(), 0);
    QVERIFY2(box->toPlainText().contains(path_), qPrintable(box->toPlainText()));
    QVERIFY2(box->toPlainText().contains("100 bytes long"), qPrintable(box->toPlainText()));
}

void TestHelpWindow::closeDeletesAndReopenRereads() {
    click(node("Meter/Connect"));
    QTest::mouseClick(help_->findChild<QPushButton*>("CloseBtn"), Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(help_.isNull());

    QVERIFY(writeFile(path_, helptest::helpFile("{Edited}[New]<fresh text>")));
    help_ = new Help(path_);
    help_->show();
    QCOMPARE(text()->toPlainText(), kInitial);
    QCOMPARE(tree()->topLevelItemCount(), 1);
    click(node("Edited/New"));
    QCOMPARE(text()->toPlainText(), QStringLiteral("fresh text"));
}

void TestHelpWindow::defaultPathIsProgramDirectory() {
    Help programHelp;
    QCOMPARE(programHelp.helpPath(), QCoreApplication::applicationDirPath() + "/Help.mhf");
}

void TestHelpWindow::locateHelpFile_data() {
    QTest::addColumn<bool>("beside");
    QTest::addColumn<bool>("installed");
    QTest::addColumn<QString>("found");
    // The program lies in <root>/bin; a package install keeps the file in
    // <root>/share/vxmeter.
    QTest::newRow("build tree or prefix install") << true << false << "bin/Help.mhf";
    QTest::newRow("package install") << false << true << "share/vxmeter/Help.mhf";
    QTest::newRow("both: beside the program wins") << true << true << "bin/Help.mhf";
    QTest::newRow("neither: the error names beside") << false << false << "bin/Help.mhf";
}

void TestHelpWindow::locateHelpFile() {
    QFETCH(bool, beside);
    QFETCH(bool, installed);
    QFETCH(QString, found);
    QTemporaryDir root;
    QVERIFY(QDir(root.path()).mkpath("bin") && QDir(root.path()).mkpath("share/vxmeter"));
    if (beside) {
        QVERIFY(writeFile(root.filePath("bin/Help.mhf"), "x"));
    }
    if (installed) {
        QVERIFY(writeFile(root.filePath("share/vxmeter/Help.mhf"), "x"));
    }
    QCOMPARE(Help::locateHelpFile(root.filePath("bin")), root.filePath(found));
}

QTEST_MAIN(TestHelpWindow)
#include "tst_helpwindow.moc"
