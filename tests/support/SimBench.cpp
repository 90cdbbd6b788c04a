#include "SimBench.h"

#include <QEventLoop>
#include <QFile>
#include <QTimer>

#include <sys/resource.h>

#include "Main.h"
#include "PromptComboBox.h"

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
    window->ComPort->setCurrentIndex(com_ - 1);
    return true;
}

double cpuSecondsIdle(int ms) {
    const double start = processCpuSeconds();
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
    return processCpuSeconds() - start;
}
