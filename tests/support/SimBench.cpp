#include "support/SimBench.h"

#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QMetaObject>
#include <QPushButton>
#include <QTimer>

#include <sys/resource.h>

#include "forms/Main/Main.h"
#include "shell/PromptComboBox.h"
#include "shell/StatusLamp.h"
#include "support/MainState.h"

using vx::forms::Main;
using vx::forms::MainServices;

namespace {

QByteArray comVariable(int com) {
    return "VXMETER_COM" + QByteArray::number(com);
}

double processCpuSeconds() {
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

}  // namespace

SimBench::SimBench(int com, double speedUp) : clock(speedUp), com_(com) {}

SimBench::~SimBench() {
    window.reset();
    qunsetenv(comVariable(com_).constData());
}

bool SimBench::start(const QStringList& options) {
    if (!sim.start(options)) {
        qWarning() << sim.errorString();
        return false;
    }
    qputenv(comVariable(com_).constData(), QFile::encodeName(sim.devicePath()));
    window = std::make_unique<Main>(
        MainServices{.clock = clock, .dialogs = dialogs, .opener = opener, .helpFilePath = {}});
    combo(*window, "ComPort")->setCurrentIndex(com_ - 1);
    return true;
}

bool RunBench::start(const QStringList& options) {
    if (!SimBench::start(options)) {
        return false;
    }
    combo(*window, "TermChar")->setCurrentIndex(1);
    QObject::connect(window.get(), &Main::readingShown, window.get(),
                     [this](const QDateTime&, const QString& reply) {
                         if (MainState(*window).datalog_start == 1) {
                             logged.append(reply);
                         }
                         const int n = ++shown;
                         if (onReading) {
                             // Queued: runs after the receive handler has ended.
                             QMetaObject::invokeMethod(
                                 window.get(), [this, n] { onReading(n); }, Qt::QueuedConnection);
                         }
                     });
    return true;
}

bool RunBench::startConnected(const QStringList& options) {
    return start(options) && connectAndSet();
}

bool RunBench::connectAndSet(int termIndex) {
    combo(*window, "TermChar")->setCurrentIndex(termIndex);
    button(*window, "ConnectBtn")->click();
    if (lamp(*window, "PortOpenStat")->fillColor() != vx::shell::kLampGreen) {
        qWarning() << "not connected:" << lineEdit(*window, "StatusBox")->text();
        return false;
    }
    combo(*window, "FuncBox")
        ->setCurrentIndex(int(combo(*window, "FuncBox")->entries().indexOf("DC VOLTAGE")));
    button(*window, "SetFunc")->click();
    return button(*window, "Run")->isEnabled();
}

void RunBench::run() {
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, window.get(), [this] {
        qWarning("the Run loop did not end; pressing Stop");
        MainState(*window).invoke("StopBtn_Click");
    });
    watchdog.start(20000);
    button(*window, "Run")->click();
}

void RunBench::startLog(const QString& path) {
    dialogs.saveAnswers.append(path);
    button(*window, "SaveData")->click();
}

QString RunBench::logPath() const {
    return dir.filePath(QStringLiteral("readings.csv"));
}

double cpuSecondsIdle(int ms) {
    const double start = processCpuSeconds();
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
    return processCpuSeconds() - start;
}
