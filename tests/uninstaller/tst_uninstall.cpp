#include "RecordingPlatform.h"
#include "support/DataRows.h"
#include "uninstaller/Platform.h"
#include "uninstaller/Uninstall.h"
#include "uninstaller/UninstallCommand.h"

#include <QApplication>
#include <QDir>
#include <QFontMetrics>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using uninstaller::Uninstall;

namespace {

constexpr auto kCaption = "Uninstall DMM Software";

// One window with recording layers, shown, as the operator sees it.
struct Fixture {
    explicit Fixture(const QString& windows = QStringLiteral("/opt/tool"),
                     const QString& program = QStringLiteral("/opt/vx/lib/vxmeter"),
                     const uninstaller::Installation& installation = {})
        : directories(windows, program), window(starter, directories, messages, installation) {
        window.show();
    }

    QPushButton* button(const char* name) {
        return window.findChild<QPushButton*>(QString::fromLatin1(name));
    }

    RecordingStarter starter;
    FixedDirectories directories;
    RecordingMessages messages;
    Uninstall window;
};

}  // namespace

class TestUninstall : public QObject {
    Q_OBJECT

private slots:
    void windowTexts();
    void layout_data();
    void layout();
    void tabOrder();
    void commandLine_data();
    void commandLine();
    void commandLineText();
    void endsWithoutStarting_data();
    void endsWithoutStarting();
    void unknownToolFolder();
    void toolNotStarted();
    void packageInstallStartsNothing();
    void systemDirectoriesFollowTheProgram();
    void realStarterReportsMissingProgram();
};

void TestUninstall::windowTexts() {
    Fixture f;
    QCOMPARE(f.window.objectName(), QStringLiteral("Uninstall"));
    QCOMPARE(f.window.windowTitle(), QString::fromLatin1(kCaption));
    auto* text = f.window.findChild<QPlainTextEdit*>(QStringLiteral("Text1"));
    QVERIFY(text);
    const QString question = QStringLiteral("Do you want to uninstall VX260 VX480 DMM Software?");
    QCOMPARE(text->toPlainText(), question);
    QCOMPARE(text->viewport()->palette().color(QPalette::Base), QColor(224, 224, 224));
    QVERIFY(text->isReadOnly());
    // The whole question is readable in the small box: wrapped, nothing cut.
    const QRect area = text->viewport()->rect().adjusted(1, 1, -1, -1);
    const QRect needed = QFontMetrics(text->font()).boundingRect(area, Qt::TextWordWrap, question);
    QVERIFY2(area.contains(needed), qPrintable(QStringLiteral("%1x%2 in %3x%4")
                                                   .arg(needed.width())
                                                   .arg(needed.height())
                                                   .arg(area.width())
                                                   .arg(area.height())));
    QCOMPARE(f.button("UninstallYes")->text(), QStringLiteral("Uninstall"));
    QCOMPARE(f.button("Cancel")->text(), QStringLiteral("Cancel"));
}

void TestUninstall::layout_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("geometry");
    QTest::newRow("Text1") << "Text1" << QRect(24, 16, 265, 33);
    QTest::newRow("UninstallYes") << "UninstallYes" << QRect(64, 64, 81, 33);
    QTest::newRow("Cancel") << "Cancel" << QRect(160, 64, 81, 33);
}

void TestUninstall::layout() {
    QFETCH(QString, name);
    QFETCH(QRect, geometry);
    Fixture f;
    QCOMPARE(f.window.size(), QSize(317, 107));
    auto* control = f.window.findChild<QWidget*>(name);
    QVERIFY(control);
    QCOMPARE(control->geometry(), geometry);
}

void TestUninstall::tabOrder() {
    Fixture f;
    QApplication::setActiveWindow(&f.window);
    QVERIFY(QTest::qWaitForWindowActive(&f.window));
    QCOMPARE(QApplication::focusWidget(), f.button("UninstallYes"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), f.button("Cancel"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), f.button("UninstallYes"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    QCOMPARE(QApplication::focusWidget(), f.button("Cancel"));
}

void TestUninstall::commandLine_data() {
    QTest::addColumn<QString>("windows");
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("tool");
    QTest::addColumn<QString>("log");
    QTest::addColumn<QString>("line");  // the one line, only the log path quoted

#ifdef Q_OS_WIN
    QTest::newRow("plain") << "C:\\WINDOWS"
                           << "C:\\Tools\\Meter"
                           << "C:\\WINDOWS\\st6unst.exe"
                           << "C:\\Tools\\Meter\\ST6UNST.LOG"
                           << "C:\\WINDOWS\\st6unst.exe -n \"C:\\Tools\\Meter\\ST6UNST.LOG\"";
    QTest::newRow("spaces") << "C:\\My Windows"
                            << "C:\\Program Files\\VX Meter"
                            << "C:\\My Windows\\st6unst.exe"
                            << "C:\\Program Files\\VX Meter\\ST6UNST.LOG"
                            << "C:\\My Windows\\st6unst.exe -n \"C:\\Program Files\\VX "
                               "Meter\\ST6UNST.LOG\"";
#else
    QTest::newRow("plain") << "/usr/lib/vxmeter"
                           << "/usr/lib/vxmeter"
                           << "/usr/lib/vxmeter/st6unst"
                           << "/usr/lib/vxmeter/ST6UNST.LOG"
                           << "/usr/lib/vxmeter/st6unst -n \"/usr/lib/vxmeter/ST6UNST.LOG\"";
    QTest::newRow("spaces") << "/opt/my tools"
                            << "/home/op/Bench Meter/lib/vxmeter"
                            << "/opt/my tools/st6unst"
                            << "/home/op/Bench Meter/lib/vxmeter/ST6UNST.LOG"
                            << "/opt/my tools/st6unst -n \"/home/op/Bench "
                               "Meter/lib/vxmeter/ST6UNST.LOG\"";
    QTest::newRow("double quotes") << "/opt/t"
                                   << "/home/op/\"quoted\" dir"
                                   << "/opt/t/st6unst"
                                   << "/home/op/\"quoted\" dir/ST6UNST.LOG"
                                   << "/opt/t/st6unst -n \"/home/op/\"quoted\" dir/ST6UNST.LOG\"";
    QTest::newRow("shell characters") << "/opt/a;b"
                                      << "/home/op/it's $HOME `id` & | > x"
                                      << "/opt/a;b/st6unst"
                                      << "/home/op/it's $HOME `id` & | > x/ST6UNST.LOG"
                                      << "/opt/a;b/st6unst -n \"/home/op/it's $HOME `id` & | > "
                                         "x/ST6UNST.LOG\"";
    QTest::newRow("backslash stays a name character")
        << "/opt/t"
        << "/home/op/a\\b"
        << "/opt/t/st6unst"
        << "/home/op/a\\b/ST6UNST.LOG"
        << "/opt/t/st6unst -n \"/home/op/a\\b/ST6UNST.LOG\"";
    QTest::newRow("non-ASCII") << "/opt/t" << QStringLiteral("/home/op/Messgerät Ω")
                               << "/opt/t/st6unst"
                               << QStringLiteral("/home/op/Messgerät Ω/ST6UNST.LOG")
                               << QStringLiteral(
                                      "/opt/t/st6unst -n \"/home/op/Messgerät "
                                      "Ω/ST6UNST.LOG\"");
#endif
}

void TestUninstall::commandLine() {
    QFETCH(QString, windows);
    QFETCH(QString, program);
    QFETCH(QString, tool);
    QFETCH(QString, log);
    QFETCH(QString, line);

    Fixture f(windows, program);
    QTest::mouseClick(f.button("UninstallYes"), Qt::LeftButton);

    QCOMPARE(f.starter.calls.size(), 1);
    QCOMPARE(f.starter.calls[0].program, tool);
    QCOMPARE(f.starter.calls[0].arguments, QStringList({QStringLiteral("-n"), log}));
    QCOMPARE(f.starter.calls[0].line, line);
    QVERIFY(f.messages.shown.isEmpty());
    QVERIFY(!f.window.isVisible());
}

void TestUninstall::commandLineText() {
    const auto command = uninstaller::buildUninstallCommand(QStringLiteral("/opt/t"),
                                                            QStringLiteral("/srv/Bench Meter"));
    QCOMPARE(command.commandLine(),
             QStringLiteral("/opt/t/st6unst -n \"/srv/Bench Meter/ST6UNST.LOG\""));
}

void TestUninstall::endsWithoutStarting_data() {
    addSwitch("viaCancel", {.whenTrue = "Cancel", .whenFalse = "window closed"});
}

void TestUninstall::endsWithoutStarting() {
    QFETCH(bool, viaCancel);
    Fixture f;
    if (viaCancel) {
        QTest::mouseClick(f.button("Cancel"), Qt::LeftButton);
    } else {
        QVERIFY(f.window.close());
    }
    QVERIFY(!f.window.isVisible());
    QVERIFY(f.starter.calls.isEmpty());
    QVERIFY(f.messages.shown.isEmpty());
}

void TestUninstall::unknownToolFolder() {
    Fixture f(QString(), QStringLiteral("/opt/vx/lib/vxmeter"));
    QTest::mouseClick(f.button("UninstallYes"), Qt::LeftButton);

    QVERIFY(f.starter.calls.isEmpty());
    QCOMPARE(f.messages.shown.size(), 1);
    QCOMPARE(f.messages.shown[0].title, QString::fromLatin1(kCaption));
    QCOMPARE(f.messages.shown[0].text,
             QStringLiteral("The folder of the uninstall tool could not be determined.\n"
                            "Nothing has been uninstalled."));
    QVERIFY(!f.window.isVisible());
}

void TestUninstall::toolNotStarted() {
    Fixture f(QStringLiteral("/opt/t"), QStringLiteral("/srv/Bench Meter"));
    f.starter.answer = {.started = false, .error = QStringLiteral("No such file or directory")};
    QTest::mouseClick(f.button("UninstallYes"), Qt::LeftButton);

    QCOMPARE(f.starter.calls.size(), 1);
    QCOMPARE(f.messages.shown.size(), 1);
    QCOMPARE(f.messages.shown[0].title, QString::fromLatin1(kCaption));
    QCOMPARE(f.messages.shown[0].text,
             QStringLiteral("The uninstall tool could not be started:\n"
                            "/opt/t/st6unst -n \"/srv/Bench Meter/ST6UNST.LOG\"\n"
                            "No such file or directory\n"
                            "Nothing has been uninstalled."));
    QVERIFY(!f.window.isVisible());
}

void TestUninstall::packageInstallStartsNothing() {
    // The package manager's files are never handed to the uninstall tool,
    // even where a tool and a log would be found.
    Fixture f(QStringLiteral("/usr/lib/vxmeter"), QStringLiteral("/usr/lib/vxmeter"),
              {.packageName = QStringLiteral("vxmeter")});
    QCOMPARE(f.window.findChild<QPlainTextEdit*>(QStringLiteral("Text1"))->toPlainText(),
             QStringLiteral("Do you want to uninstall VX260 VX480 DMM Software?"));
    QTest::mouseClick(f.button("UninstallYes"), Qt::LeftButton);

    QVERIFY(f.starter.calls.isEmpty());
    QCOMPARE(f.messages.shown.size(), 1);
    QVERIFY(!f.messages.shown[0].isError);
    QCOMPARE(f.messages.shown[0].title, QString::fromLatin1(kCaption));
    QCOMPARE(f.messages.shown[0].text,
             QStringLiteral("VX260 VX480 DMM Software was installed as the package \"vxmeter\" "
                            "and is removed\nwith the package manager, for example:\n\n"
                            "    sudo apt remove vxmeter\n\n"
                            "Nothing has been uninstalled."));
    QVERIFY(!f.window.isVisible());
}

void TestUninstall::systemDirectoriesFollowTheProgram() {
    // The log is looked for beside the uninstaller, wherever it is started from.
    QTemporaryDir elsewhere;
    QVERIFY(elsewhere.isValid());
    const QString before = QDir::currentPath();
    QVERIFY(QDir::setCurrent(elsewhere.path()));
    const uninstaller::SystemDirectories directories;
    const QString program = directories.programDirectory();
    const QString tool = directories.windowsDirectory();
    QVERIFY(QDir::setCurrent(before));

    const QString ownFolder = QFileInfo(QCoreApplication::applicationFilePath()).path();
    QCOMPARE(program, ownFolder);
    QVERIFY(program != QFileInfo(elsewhere.path()).canonicalFilePath());
    // Elsewhere than Windows the stand-in tool is installed beside the uninstaller.
    QCOMPARE(tool, ownFolder);
}

void TestUninstall::realStarterReportsMissingProgram() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    uninstaller::DetachedProcessStarter starter;
    const auto result =
        starter.startDetached({.program = dir.path() + QStringLiteral("/st6unst"),
                               .arguments = {QStringLiteral("-n"), QStringLiteral("x")}});
    QVERIFY(!result.started);
    QVERIFY(!result.error.isEmpty());
}

QTEST_MAIN(TestUninstall)
#include "tst_uninstall.moc"
