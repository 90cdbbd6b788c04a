#include "RecordingPlatform.h"
#include "uninstaller/Platform.h"
#include "uninstaller/Uninstall.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <filesystem>

namespace {

// A prefix with a space, both quote characters and a dollar sign: each must
// reach the desktop entry escaped and the uninstall tool intact.
const QString kPrefixName = QStringLiteral("pre fix 'q\"d$x");

struct Expected {
    const char* path;
    bool present;
};

// What an installation puts under the prefix, ST6UNST.LOG aside.
const Expected kInstalled[] = {
    {"lib/vxmeter/uninstaller", true},
    {"lib/vxmeter/st6unst", true},
    {"lib/vxmeter/vxmeter", true},
    {"lib/vxmeter/Help.mhf", true},
    {"bin/vxmeter", true},
    {"share/applications/vxmeter.desktop", true},
    {"share/icons/hicolor/scalable/apps/vxmeter.svg", true},
    {"bin/vxlog", true},
    {"share/man/man1/vxlog.1", true},
    {"lib/vxmeter/vxlog-serve.so", true},  // vxlog's live page, found from bin/ as ../lib/vxmeter
    {"lib/vxmeter/vxlog-mqtt.so", true},  // the broker module, beside the programs
    // Loaded by vxlog for network ports.
    {"lib/vxmeter/vxlog-network.so", true},
};

QStringList filesUnder(const QString& folder) {
    QStringList found;
    QDirIterator it(folder, QDir::Files | QDir::System | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        found << it.next();
    }
    found.sort();
    return found;
}

bool isEmptyFolder(const QString& folder) {
    return QFileInfo(folder).isDir() &&
           QDir(folder).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden |
                                QDir::System);
}

QString readText(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

class Installation {
public:
    Installation() {
        prefix = QFileInfo(dir.path()).canonicalFilePath() + u'/' + kPrefixName;
        programFolder = prefix + QStringLiteral("/lib/vxmeter");
        log = programFolder + QStringLiteral("/ST6UNST.LOG");
    }

    // cmake --install <build> --prefix <prefix>; the output on failure.
    QString install(const QString& destdir = {}) const {
        QProcess cmake;
        if (destdir.isEmpty()) {
            QDir().mkpath(prefix);
        } else {
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(QStringLiteral("DESTDIR"), destdir);
            cmake.setProcessEnvironment(environment);
        }
        cmake.setProcessChannelMode(QProcess::MergedChannels);
        cmake.start(QStringLiteral(VX_CMAKE),
                    {QStringLiteral("--install"), QStringLiteral(VX_BUILD_DIR),
                     QStringLiteral("--prefix"), prefix});
        if (!cmake.waitForFinished(240000) || cmake.exitStatus() != QProcess::NormalExit ||
            cmake.exitCode() != 0) {
            return QStringLiteral("cmake --install failed:\n") +
                   QString::fromLocal8Bit(cmake.readAll());
        }
        return {};
    }

    QTemporaryDir dir;
    QString prefix;
    QString programFolder;
    QString log;
};

}  // namespace

class TestInstall : public QObject {
    Q_OBJECT

private slots:
    void layout();
    void stagedInstallListsFinalPaths();
    void uninstallWithTheTool();
    void uninstallFromTheWindow();
};

void TestInstall::layout() {
    Installation inst;
    const QString failure = inst.install();
    QVERIFY2(failure.isEmpty(), qPrintable(failure));

    QStringList expected;
    for (const Expected& file : kInstalled) {
        const QString path = inst.prefix + u'/' + QLatin1StringView(file.path);
        const QFileInfo info(path);
        QVERIFY2((info.exists() || info.isSymLink()) == file.present, file.path);
        if (file.present) {
            expected << path;
        }
    }
    expected.sort();

    // The log lists every installed file, itself excepted, one per line.
    QStringList listed = readText(inst.log).split(u'\n');
    QCOMPARE(listed.takeLast(), QString());  // the last line's line end
    listed.sort();
    QCOMPARE(listed, expected);
    QStringList onDisk = filesUnder(inst.prefix);
    onDisk.removeOne(inst.log);
    QCOMPARE(onDisk, expected);

    const QString launcher = inst.prefix + QStringLiteral("/bin/vxmeter");
    QVERIFY(QFileInfo(launcher).isSymLink());
    QCOMPARE(QString::fromStdString(std::filesystem::read_symlink(launcher.toStdString())),
             QStringLiteral("../lib/vxmeter/vxmeter"));
    QVERIFY(QFileInfo(launcher).isExecutable());

    // Exec arguments are quoted, with \ " ` $ escaped inside the quotes, and
    // every backslash doubled once more as a string value.
    const QString entry =
        readText(inst.prefix + QStringLiteral("/share/applications/vxmeter.desktop"));
    const QString escaped =
        inst.prefix.chopped(kPrefixName.size()) + QStringLiteral("pre fix 'q\\\\\"d\\\\$x");
    const QStringList lines = entry.split(u'\n');
    QVERIFY(lines.contains(QStringLiteral("Exec=\"") + escaped +
                           QStringLiteral("/lib/vxmeter/vxmeter\"")));
    QVERIFY(lines.contains(QStringLiteral("Exec=\"") + escaped +
                           QStringLiteral("/lib/vxmeter/uninstaller\"")));
    QVERIFY(lines.contains(QStringLiteral("Icon=") + inst.prefix +
                           QStringLiteral("/share/icons/hicolor/scalable/apps/vxmeter.svg")));
    QVERIFY(lines.contains(QStringLiteral("Name=VX260 & VX480 Multimeter Software")));
}

void TestInstall::stagedInstallListsFinalPaths() {
    // Staged for a package with DESTDIR: the log names the files where they
    // will be used, not where they were staged.
    Installation inst;
    const QString stage = inst.dir.path() + QStringLiteral("/stage");
    inst.prefix = QStringLiteral("/opt/vx test");
    const QString failure = inst.install(stage);
    QVERIFY2(failure.isEmpty(), qPrintable(failure));

    const QString log = QStringLiteral("/opt/vx test/lib/vxmeter/ST6UNST.LOG");
    QStringList listed = readText(stage + log).split(u'\n');
    QCOMPARE(listed.takeLast(), QString());
    listed.sort();
    QStringList staged;
    for (const QString& file : filesUnder(stage)) {
        staged << file.mid(stage.size());
    }
    staged.removeOne(log);
    QCOMPARE(listed, staged);
}

void TestInstall::uninstallWithTheTool() {
    Installation inst;
    const QString failure = inst.install();
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
    const QString beside = inst.dir.path() + QStringLiteral("/beside.txt");
    QFile keep(beside);
    QVERIFY(keep.open(QIODevice::WriteOnly));
    keep.close();

    QProcess tool;
    tool.start(inst.programFolder + QStringLiteral("/st6unst"), {QStringLiteral("-n"), inst.log});
    QVERIFY(tool.waitForFinished(30000));
    QVERIFY2(tool.exitCode() == 0, tool.readAllStandardError().constData());
    QCOMPARE(tool.readAllStandardError(), QByteArray());

    QVERIFY(isEmptyFolder(inst.prefix));
    QVERIFY(QFile::exists(beside));
}

void TestInstall::uninstallFromTheWindow() {
    // The whole road: the window builds the command from its folders and the
    // real starter runs the installed tool detached.
    Installation inst;
    const QString failure = inst.install();
    QVERIFY2(failure.isEmpty(), qPrintable(failure));

    uninstaller::DetachedProcessStarter starter;
    FixedDirectories directories(inst.programFolder, inst.programFolder);
    RecordingMessages messages;
    uninstaller::Uninstall window(starter, directories, messages);
    window.show();
    QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("UninstallYes")),
                      Qt::LeftButton);
    QVERIFY(!window.isVisible());
    QVERIFY(messages.shown.isEmpty());

    QTRY_VERIFY_WITH_TIMEOUT(isEmptyFolder(inst.prefix), 30000);
}

QTEST_MAIN(TestInstall)
#include "tst_install.moc"
