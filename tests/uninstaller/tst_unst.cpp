#include "unst/LogUninstall.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

// The installed tree every case starts from, relative to the prefix.
constexpr const char* kInstalled[] = {
    "lib/vxmeter/vxmeter",
    "lib/vxmeter/uninstaller",
    "lib/vxmeter/st6unst",
    "lib/vxmeter/Help.mhf",
    "share/applications/vxmeter.desktop",
    "share/icons/hicolor/scalable/apps/vxmeter.svg",
};
constexpr auto kLauncher = "bin/vxmeter";

// Files outside the prefix that no log may remove.
constexpr const char* kBystanders[] = {
    "outside/victim",
    "prefix2/victim",
};

enum class Setup {
    None,
    SymlinkedFolder,  // <prefix>/share/evil -> <root>/outside
    ListedSymlink,    // <prefix>/lib/vxmeter/data -> <root>/outside/victim
    LauncherOutside,  // the launcher points at <root>/outside/victim
    UnlistedFile,     // <prefix>/lib/vxmeter/readings.csv, written by the operator
};

bool writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QStringList everythingUnder(const QString& folder) {
    QStringList found;
    QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        found << it.next().mid(folder.size() + 1);
    }
    found.sort();
    return found;
}

// A temporary root holding <root>/prefix with an installation and its log,
// and the bystanders beside it.
class Tree {
public:
    Tree() {
        root = QFileInfo(dir.path()).canonicalFilePath();
        prefix = root + QStringLiteral("/prefix");
        log = prefix + QStringLiteral("/lib/vxmeter/ST6UNST.LOG");
        for (const char* file : kInstalled) {
            writeFile(at(file), QByteArray("installed ") + file);
        }
        for (const char* file : kBystanders) {
            writeFile(root + u'/' + QLatin1StringView(file), "keep");
        }
        QDir().mkpath(at("bin"));
        QFile::link(QStringLiteral("../lib/vxmeter/vxmeter"), at(kLauncher));
    }

    QString at(const char* relative) const { return prefix + u'/' + QLatin1StringView(relative); }

    // The normal log: every installed file and the launcher.
    QStringList normalEntries() const {
        QStringList entries;
        for (const char* file : kInstalled) {
            entries << at(file);
        }
        entries << at(kLauncher);
        return entries;
    }

    bool writeLog(const QByteArray& bytes) const { return writeFile(log, bytes); }

    bool writeLog(const QStringList& entries) const {
        return writeLog(entries.join(u'\n').toUtf8() + '\n');
    }

    // "{P}" stands for the prefix, "{R}" for the temporary root.
    QString expand(QString line) const {
        return line.replace(QStringLiteral("{P}"), prefix).replace(QStringLiteral("{R}"), root);
    }

    void setUp(Setup setup) const {
        switch (setup) {
            case Setup::None:
                break;
            case Setup::SymlinkedFolder:
                QFile::link(root + QStringLiteral("/outside"), at("share/evil"));
                break;
            case Setup::ListedSymlink:
                QFile::link(root + QStringLiteral("/outside/victim"), at("lib/vxmeter/data"));
                break;
            case Setup::LauncherOutside:
                QFile::remove(at(kLauncher));
                QFile::link(root + QStringLiteral("/outside/victim"), at(kLauncher));
                break;
            case Setup::UnlistedFile:
                writeFile(at("lib/vxmeter/readings.csv"), "1.0,12:00:00 01/02/2026\r\n");
                break;
        }
    }

    bool bystandersIntact() const {
        for (const char* file : kBystanders) {
            QFile f(root + u'/' + QLatin1StringView(file));
            if (!f.open(QIODevice::ReadOnly) || f.readAll() != "keep") {
                return false;
            }
        }
        return true;
    }

    QTemporaryDir dir;
    QString root;
    QString prefix;
    QString log;
};

}  // namespace

class TestUnst : public QObject {
    Q_OBJECT

private slots:
    void removesWhatTheLogLists();
    void hostileEntries_data();
    void hostileEntries();
    void malformedLog_data();
    void malformedLog();
    void logLocation_data();
    void logLocation();
    void commandLine_data();
    void commandLine();
};

void TestUnst::removesWhatTheLogLists() {
    Tree tree;
    QVERIFY(tree.writeLog(tree.normalEntries()));
    const unst::Outcome outcome = unst::uninstallFromLog(tree.log);
    QVERIFY2(outcome.clean(), qPrintable(outcome.refusals.join(u'\n')));
    QCOMPARE(outcome.prefix, tree.prefix);
    QCOMPARE(outcome.removedFiles, 8);  // six files, the launcher, the log
    // lib/vxmeter, lib, bin, share/applications, the four icon folders, share
    QCOMPARE(outcome.removedFolders, 9);
    QVERIFY(QFileInfo(tree.prefix).isDir());
    QCOMPARE(everythingUnder(tree.prefix), QStringList());
    QVERIFY(tree.bystandersIntact());
}

void TestUnst::hostileEntries_data() {
    QTest::addColumn<Setup>("setup");
    QTest::addColumn<QStringList>("extra");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<QStringList>("left");

    const QStringList logKept{QStringLiteral("lib"), QStringLiteral("lib/vxmeter"),
                              QStringLiteral("lib/vxmeter/ST6UNST.LOG")};

    QTest::newRow("outside the prefix") << Setup::None << QStringList{"{R}/outside/victim"}
                                        << "lies outside the install prefix" << logKept;
    QTest::newRow("sibling sharing the prefix's name")
        << Setup::None << QStringList{"{R}/prefix2/victim"} << "lies outside the install prefix"
        << logKept;
    QTest::newRow("dot-dot out of the prefix")
        << Setup::None << QStringList{"{P}/lib/../../outside/victim"} << "contains '..'" << logKept;
    QTest::newRow("dot-dot staying inside")
        << Setup::None << QStringList{"{P}/bin/../lib/vxmeter/vxmeter"} << "contains '..'"
        << logKept;
    QTest::newRow("dot component")
        << Setup::None << QStringList{"{P}/./share"} << "is not a plain path" << logKept;
    QTest::newRow("the prefix itself")
        << Setup::None << QStringList{"{P}"} << "is the install prefix itself" << logKept;
    QTest::newRow("the prefix with a slash")
        << Setup::None << QStringList{"{P}/"} << "is not a plain path" << logKept;
    QTest::newRow("the root") << Setup::None << QStringList{"/"} << "is not a plain path"
                              << logKept;
    QTest::newRow("a parent of the prefix")
        << Setup::None << QStringList{"{R}"} << "lies outside the install prefix" << logKept;
    QTest::newRow("a listed folder")
        << Setup::None << QStringList{"{P}/share/icons"} << "is a folder" << logKept;
    QTest::newRow("file reached through a symlinked folder")
        << Setup::SymlinkedFolder << QStringList{"{P}/share/evil/victim"}
        << "passes through the symbolic link"
        << (logKept + QStringList{QStringLiteral("share"), QStringLiteral("share/evil")});
    QTest::newRow("listed symlink other than the launcher")
        << Setup::ListedSymlink << QStringList{"{P}/lib/vxmeter/data"} << "is a symbolic link"
        << QStringList{QStringLiteral("lib"), QStringLiteral("lib/vxmeter"),
                       QStringLiteral("lib/vxmeter/ST6UNST.LOG"),
                       QStringLiteral("lib/vxmeter/data")};
    QTest::newRow("launcher pointing outside is removed as a link")
        << Setup::LauncherOutside << QStringList{} << QString() << QStringList{};
    QTest::newRow("entry already gone")
        << Setup::None << QStringList{"{P}/lib/vxmeter/trend.dat"} << QString() << QStringList{};
    QTest::newRow("entry listed twice")
        << Setup::None << QStringList{"{P}/lib/vxmeter/Help.mhf"} << QString() << QStringList{};
    QTest::newRow("unlisted file keeps its folders")
        << Setup::UnlistedFile << QStringList{} << QString()
        << QStringList{QStringLiteral("lib"), QStringLiteral("lib/vxmeter"),
                       QStringLiteral("lib/vxmeter/readings.csv")};
}

void TestUnst::hostileEntries() {
    QFETCH(Setup, setup);
    QFETCH(QStringList, extra);
    QFETCH(QString, reason);
    QFETCH(QStringList, left);

    Tree tree;
    tree.setUp(setup);
    QStringList entries = tree.normalEntries();
    for (const QString& line : extra) {
        entries.insert(2, tree.expand(line));
    }
    QVERIFY(tree.writeLog(entries));

    const unst::Outcome outcome = unst::uninstallFromLog(tree.log);

    QVERIFY(!outcome.logUnusable);
    if (reason.isEmpty()) {
        QVERIFY2(outcome.clean(), qPrintable(outcome.refusals.join(u'\n')));
    } else {
        QCOMPARE(outcome.refusals.size(), 1);
        QVERIFY2(outcome.refusals[0].contains(reason), qPrintable(outcome.refusals[0]));
        QVERIFY(!outcome.clean());
    }
    // Every sound entry is gone either way; only what may not be touched is left.
    left.sort();
    QCOMPARE(everythingUnder(tree.prefix), left);
    QVERIFY(QFileInfo(tree.prefix).isDir());
    QVERIFY(tree.bystandersIntact());
}

void TestUnst::malformedLog_data() {
    QTest::addColumn<QByteArray>("log");
    QTest::addColumn<QString>("error");

    const QByteArray good = "{P}/lib/vxmeter/vxmeter\n";
    QTest::newRow("empty") << QByteArray() << "the log lists no files";
    QTest::newRow("only a line end") << QByteArray("\n") << "line 1 is empty";
    QTest::newRow("empty line in the middle")
        << QByteArray(good + "\n{P}/lib/vxmeter/Help.mhf\n") << "line 2 is empty";
    QTest::newRow("relative path")
        << QByteArray(good + "lib/vxmeter/Help.mhf\n") << "line 2 is not an absolute path";
    QTest::newRow("CR LF line ends")
        << QByteArray("{P}/lib/vxmeter/vxmeter\r\n") << "line 1 holds a control character";
    QTest::newRow("NUL byte") << QByteArray("{P}/lib/vxmeter/vx\0meter\n", 25)
                              << "line 1 holds a control character";
    QTest::newRow("not UTF-8") << QByteArray(good +
                                             "{P}/lib/vxmeter/Me\xdf"
                                             "ger\xe4t\n")
                               << "the log is not UTF-8 text";
    QTest::newRow("resource path")
        << QByteArray(good + ":/icons/x\n") << "line 2 is not an absolute path";
    QTest::newRow("too large") << QByteArray(4 * 1024 * 1024 + 1, '/')
                               << "the log is larger than 4 MiB";
}

void TestUnst::malformedLog() {
    QFETCH(QByteArray, log);
    QFETCH(QString, error);

    Tree tree;
    const QStringList before = everythingUnder(tree.prefix);
    QVERIFY(tree.writeLog(log.replace("{P}", tree.prefix.toUtf8())));

    const unst::Outcome outcome = unst::uninstallFromLog(tree.log);

    QVERIFY(outcome.logUnusable);
    QCOMPARE(outcome.removedFiles, 0);
    QCOMPARE(outcome.refusals.size(), 1);
    QVERIFY2(outcome.refusals[0].contains(error), qPrintable(outcome.refusals[0]));
    QStringList after = everythingUnder(tree.prefix);
    after.removeOne(QStringLiteral("lib/vxmeter/ST6UNST.LOG"));
    QCOMPARE(after, before);
}

void TestUnst::logLocation_data() {
    QTest::addColumn<QString>("logPath");
    QTest::addColumn<QString>("error");
    QTest::newRow("not in lib/vxmeter") << "{P}/ST6UNST.LOG"
                                        << "the log must lie in <prefix>/lib/vxmeter/";
    QTest::newRow("program folder reached through a link") << "{R}/alias/lib/vxmeter/ST6UNST.LOG"
                                                           << "is a symbolic link";
    QTest::newRow("the log is a link") << "{P}/lib/vxmeter/LINKED.LOG"
                                       << "the log is a symbolic link";
    QTest::newRow("dot-dot in the log path") << "{P}/lib/vxmeter/../vxmeter/ST6UNST.LOG"
                                             << "contains '..'";
    QTest::newRow("no such log") << "{P}/lib/vxmeter/OTHER.LOG"
                                 << "no such log";
}

void TestUnst::logLocation() {
    QFETCH(QString, logPath);
    QFETCH(QString, error);

    Tree tree;
    QVERIFY(tree.writeLog(tree.normalEntries()));
    QVERIFY(writeFile(tree.prefix + QStringLiteral("/ST6UNST.LOG"),
                      tree.normalEntries().join(u'\n').toUtf8()));
    QDir().mkpath(tree.root + QStringLiteral("/alias/lib"));
    QVERIFY(QFile::link(tree.prefix + QStringLiteral("/lib/vxmeter"),
                        tree.root + QStringLiteral("/alias/lib/vxmeter")));
    QVERIFY(QFile::link(tree.log, tree.at("lib/vxmeter/LINKED.LOG")));
    const QStringList before = everythingUnder(tree.prefix);

    const unst::Outcome outcome = unst::uninstallFromLog(tree.expand(logPath));

    QVERIFY(outcome.logUnusable);
    QCOMPARE(outcome.refusals.size(), 1);
    QVERIFY2(outcome.refusals[0].contains(error), qPrintable(outcome.refusals[0]));
    QCOMPARE(everythingUnder(tree.prefix), before);
}

void TestUnst::commandLine_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("extra");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("stderrHas");

    QTest::newRow("no arguments") << QStringList{} << QStringList{} << 2 << "usage: st6unst";
    QTest::newRow("wrong option") << QStringList{"-x", "{L}"} << QStringList{} << 2
                                  << "usage: st6unst";
    QTest::newRow("extra argument")
        << QStringList{"-n", "{L}", "more"} << QStringList{} << 2 << "usage: st6unst";
    QTest::newRow("refusal") << QStringList{"-n", "{L}"} << QStringList{"{R}/outside/victim"} << 1
                             << "st6unst: refused: ";
    QTest::newRow("unusable log") << QStringList{"-n", "{P}/ST6UNST.LOG"} << QStringList{} << 2
                                  << "st6unst: refused: ";
    QTest::newRow("clean") << QStringList{"-n", "{L}"} << QStringList{} << 0 << QString();
}

void TestUnst::commandLine() {
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, extra);
    QFETCH(int, exitCode);
    QFETCH(QString, stderrHas);

    Tree tree;
    QStringList entries = tree.normalEntries();
    for (const QString& line : extra) {
        entries << tree.expand(line);
    }
    QVERIFY(tree.writeLog(entries));
    for (QString& argument : arguments) {
        argument = tree.expand(argument.replace(QStringLiteral("{L}"), tree.log));
    }

    QProcess tool;
    tool.start(qEnvironmentVariable("VX_BIN_DIR") + QStringLiteral("/st6unst"), arguments);
    QVERIFY(tool.waitForFinished(30000));
    QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
    const QString errors = QString::fromUtf8(tool.readAllStandardError());
    QCOMPARE(tool.exitCode(), exitCode);
    if (stderrHas.isEmpty()) {
        QCOMPARE(errors, QString());
        QCOMPARE(everythingUnder(tree.prefix), QStringList());
    } else {
        QVERIFY2(errors.contains(stderrHas), qPrintable(errors));
    }
    QVERIFY(tree.bystandersIntact());
}

QTEST_GUILESS_MAIN(TestUnst)
#include "tst_unst.moc"
