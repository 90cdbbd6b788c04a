// Performance figures of the program, printed as "figure<TAB>value" lines
// for scripts/bench.sh:
//
//   vxbenchmark receive   replies per second through the receive path with logging,
//                     and resident memory growth over 1,000,000 replies
//   vxbenchmark latency   reply complete at a pseudo-terminal to the value shown
//   vxbenchmark startup   process start to the main window shown
//   vxbenchmark startup-minimal
//                     the same for a window of one button: the machine's
//                     reference for a Qt Widgets program's start
//   vxbenchmark comlist   opening the COM Port list (its tool tips read the
//                     system's serial ports), median of 7
//   vxbenchmark run SECS  Run with logging against vxsim for SECS seconds on the
//                     real clock: CPU time of the process, FETC? periods
//   vxbenchmark connect   Connect on the real clock over TCP next to a
//                     pseudo-terminal, and to a device server that never
//                     answers: time taken and CPU used
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <fcntl.h>
#include <pty.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <memory>
#include <numeric>
#include <sstream>
#include <string>
#include <vector>

#include "forms/Main/Main.h"
#include "link/SerialLink.h"
#include "shell/Dialogs.h"
#include "shell/PromptComboBox.h"
#include "support/MainHarness.h"
#include "support/MainState.h"
#include "support/RecordingDialogs.h"
#include "timing/Clock.h"
#include "vxsim/client/DeadListener.h"
#include "vxsim/client/SimProcess.h"

using vx::forms::Main;
using vx::forms::MainServices;

namespace {

using SteadyClock = std::chrono::steady_clock;

void figure(const char* name, const QString& value) {
    std::printf("%s\t%s\n", name, qPrintable(value));
    std::fflush(stdout);
}

double cpuSeconds() {
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Resident set size in kilobytes, from /proc/self/status.
long residentKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::stol(line.substr(6));
        }
    }
    return -1;
}

// Feeds complete replies straight into the receive handler (in-memory port,
// no kernel in between) with the continuous branch and logging on.
int benchReceive() {
    QTemporaryDir dir;
    MainHarness h;
    if (!h.connect()) {
        std::fprintf(stderr, "receive: harness did not connect\n");
        return 1;
    }
    Main& w = h.w();
    MainState(w).func_selection = QStringLiteral("DC Voltage(V)");
    MainState(w).running_cnt = 1;
    h.dialogs.saveAnswers.append(dir.filePath(QStringLiteral("bench.csv")));
    MainState(w).invoke("SaveData_Click");
    if (MainState(w).datalog_start != 1) {
        std::fprintf(stderr, "receive: logging did not start: %s\n",
                     qPrintable(lineEdit(w, "StatusBox")->text()));
        return 1;
    }
    const QByteArray reply("+1.23456E+00\n");
    const auto pump = [&](int count) {
        for (int i = 0; i < count; ++i) {
            h.port()->deliver(reply);
            if (i % 1024 == 0) {
                QCoreApplication::processEvents();
            }
        }
        QCoreApplication::processEvents();
    };
    pump(20000);  // warm up: first allocations, file cache
    constexpr int kTimed = 200000;
    const auto t0 = SteadyClock::now();
    pump(kTimed);
    const double secs = std::chrono::duration<double>(SteadyClock::now() - t0).count();
    figure("receive_per_s", QString::number(std::lround(kTimed / secs)));

    // The machine's floor for the same work: each log line handed to the
    // system on its own, as the log does, with no framing or display.
    {
        QFile plain(dir.filePath(QStringLiteral("plain.csv")));
        if (!plain.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
            std::fprintf(stderr, "receive: %s\n", qPrintable(plain.errorString()));
            return 1;
        }
        const QByteArray line("+1.23456E+00,14:05:09 09/22/2016\r\n");
        const auto r0 = SteadyClock::now();
        for (int i = 0; i < kTimed; ++i) {
            plain.write(line);
        }
        const double rsecs = std::chrono::duration<double>(SteadyClock::now() - r0).count();
        figure("receive_reference_per_s", QString::number(std::lround(kTimed / rsecs)));
    }

    const long before = residentKb();
    pump(1000000);
    const long after = residentKb();
    figure("rss_growth_kb", QString::number(after - before));
    const qint64 logBytes = QFileInfo(dir.filePath(QStringLiteral("bench.csv"))).size();
    figure("log_bytes", QString::number(logBytes));
    return 0;
}

// Writes a reply into the master side of a pseudo-terminal that the program
// has open as COM1, and times until the receive handler has shown it.
int benchLatency() {
    int master = -1;
    int slave = -1;
    char name[256] = {};
    if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        std::perror("openpty");
        return 1;
    }
    termios raw{};
    ::tcgetattr(slave, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(slave, TCSANOW, &raw);
    qputenv("VXMETER_COM1", name);
    vx::timing::SystemClock clock;
    FixedDialogs dialogs({});
    vx::link::SerialPortOpener opener;
    Main w({.clock = clock, .dialogs = dialogs, .opener = opener, .helpFilePath = {}});
    child<vx::link::SerialLink>(w, "MSComm1")->setCommPort(1);
    child<vx::link::SerialLink>(w, "MSComm1")->setSettings(QStringLiteral("9600,N,8,1"));
    if (child<vx::link::SerialLink>(w, "MSComm1")->open() != 0) {
        std::fprintf(stderr, "latency: %s\n",
                     qPrintable(child<vx::link::SerialLink>(w, "MSComm1")->lastError()));
        return 1;
    }
    MainState(w).tchar = QStringLiteral("\n");
    MainState(w).trendWindow();  // made by Connect, which this bench leaves out
    MainState(w).running_cnt = 1;
    std::vector<double> us;
    QEventLoop loop;
    SteadyClock::time_point shownAt;
    QObject::connect(&w, &Main::readingShown, &loop, [&] {
        shownAt = SteadyClock::now();
        loop.quit();
    });
    const std::string reply = "+1.23456E+00\n";
    for (int i = 0; i < 300; ++i) {
        const auto t0 = SteadyClock::now();
        if (::write(master, reply.data(), reply.size()) != ssize_t(reply.size())) {
            std::perror("write");
            return 1;
        }
        QTimer::singleShot(1000, &loop, &QEventLoop::quit);
        loop.exec();
        us.push_back(std::chrono::duration<double, std::micro>(shownAt - t0).count());
        QEventLoop pause;  // let the line settle between replies
        QTimer::singleShot(5, &pause, &QEventLoop::quit);
        pause.exec();
    }
    std::sort(us.begin(), us.end());
    figure("latency_median_ms", QString::number(us[us.size() / 2] / 1000.0, 'f', 3));
    figure("latency_max_ms", QString::number(us.back() / 1000.0, 'f', 3));
    MainState(w).running_cnt = 0;
    ::close(slave);
    ::close(master);
    return 0;
}

// Process start (from /proc/self/stat) to the window shown and painted: the
// main window, or with `minimal` a window of one button.
int benchStartup(const QElapsedTimer& sinceMain, bool minimal) {
    vx::timing::SystemClock clock;
    FixedDialogs dialogs({});
    vx::link::SerialPortOpener opener;
    std::unique_ptr<QWidget> w;
    if (minimal) {
        w = std::make_unique<QPushButton>(QStringLiteral("OK"));
    } else {
        w = std::make_unique<Main>(
            MainServices{.clock = clock, .dialogs = dialogs, .opener = opener, .helpFilePath = {}});
    }
    w->show();
    QEventLoop loop;
    QTimer::singleShot(0, &loop, &QEventLoop::quit);
    loop.exec();
    const qint64 mainToShownMs = sinceMain.elapsed();
    // The process's start time in clock ticks after boot, field 22 of /proc/self/stat.
    std::ifstream statFile("/proc/self/stat");
    std::string stat((std::istreambuf_iterator<char>(statFile)), {});
    const auto rparen = stat.rfind(')');
    std::istringstream fields(stat.substr(rparen + 2));
    std::string field;
    for (int i = 3; i <= 22; ++i) {
        fields >> field;
    }
    const double startedAfterBoot = std::stod(field) / double(::sysconf(_SC_CLK_TCK));
    std::ifstream uptimeFile("/proc/uptime");
    double uptime = 0;
    uptimeFile >> uptime;
    figure("startup_ms", QString::number(std::lround((uptime - startedAfterBoot) * 1000.0)));
    figure("main_to_shown_ms", QString::number(mainToShownMs));
    return 0;
}

// Opens the COM Port list of a shown main window seven times on this
// machine's real serial ports; prints the median and the number of ttys.
int benchComList() {
    vx::timing::SystemClock clock;
    FixedDialogs dialogs({});
    vx::link::SerialPortOpener opener;
    Main w({.clock = clock, .dialogs = dialogs, .opener = opener, .helpFilePath = {}});
    w.show();
    QCoreApplication::processEvents();
    std::vector<double> ms;
    for (int i = 0; i < 7; ++i) {
        const auto t0 = SteadyClock::now();
        combo(w, "ComPort")->showPopup();
        QCoreApplication::processEvents();
        ms.push_back(std::chrono::duration<double, std::milli>(SteadyClock::now() - t0).count());
        combo(w, "ComPort")->hidePopup();
        QCoreApplication::processEvents();
    }
    std::sort(ms.begin(), ms.end());
    figure("comlist_ms", QString::number(ms[ms.size() / 2], 'f', 1));
    figure("ttys", QString::number(QDir(QStringLiteral("/sys/class/tty"))
                                       .entryList(QDir::AllEntries | QDir::NoDotAndDotDot)
                                       .size()));
    return 0;
}

// Connects to vxsim (LF), sets DC voltage, presses Run and logs for `secs`
// seconds on the real clock, then Stop.
int benchRun(int secs) {
    QTemporaryDir dir;
    const QString times = dir.filePath(QStringLiteral("times.txt"));
    vxsim::SimProcess sim;
    if (!sim.start({QStringLiteral("--times"), times}, vxsim::SimProcess::Recording::Off)) {
        std::fprintf(stderr, "run: %s\n", qPrintable(sim.errorString()));
        return 1;
    }
    qputenv("VXMETER_COM1", QFile::encodeName(sim.devicePath()));
    vx::timing::SystemClock clock;
    FixedDialogs dialogs(dir.filePath(QStringLiteral("run.csv")));
    vx::link::SerialPortOpener opener;
    Main w({.clock = clock, .dialogs = dialogs, .opener = opener, .helpFilePath = {}});
    combo(w, "ComPort")->setCurrentIndex(0);
    combo(w, "TermChar")->setCurrentIndex(1);
    MainState(w).invoke("ConnectBtn_Click");
    if (!child<vx::link::SerialLink>(w, "MSComm1")->isOpen()) {
        std::fprintf(stderr, "run: not connected: %s\n",
                     qPrintable(lineEdit(w, "StatusBox")->text()));
        return 1;
    }
    combo(w, "FuncBox")->setCurrentIndex(int(combo(w, "FuncBox")->entries().indexOf("DC VOLTAGE")));
    MainState(w).invoke("SetFunc_Click");
    double cpuStart = 0;
    QTimer::singleShot(0, &w, [&] {
        MainState(w).invoke("SaveData_Click");
        cpuStart = cpuSeconds();
    });
    QTimer::singleShot(secs * 1000 + 500, &w, [&] {
        const double cpu = cpuSeconds() - cpuStart;
        figure("run_cpu_percent", QString::number(100.0 * cpu / (secs + 0.5), 'f', 3));
        MainState(w).invoke("StopBtn_Click");
    });
    MainState(w).invoke("Run_Click");
    sim.stop();

    // One line per command: monotonic nanoseconds, tab, command.
    std::vector<double> stamps;
    QFile f(times);
    if (f.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : f.readAll().split('\n')) {
            if (line.contains("FETC?")) {
                stamps.push_back(line.split('\t').value(0).toDouble() / 1e9);
            }
        }
    }
    if (stamps.size() < 3) {
        std::fprintf(stderr, "run: only %zu queries recorded\n", stamps.size());
        return 1;
    }
    std::vector<double> periods;
    for (std::size_t i = 1; i < stamps.size(); ++i) {
        periods.push_back(stamps[i] - stamps[i - 1]);
    }
    const double mean =
        std::accumulate(periods.begin(), periods.end(), 0.0) / double(periods.size());
    figure("fetch_count", QString::number(periods.size()));
    figure("fetch_mean_s", QString::number(mean, 'f', 4));
    figure("fetch_max_s",
           QString::number(*std::max_element(periods.begin(), periods.end()), 'f', 4));
    QFile log(dir.filePath(QStringLiteral("run.csv")));
    figure("log_lines",
           QString::number(log.open(QIODevice::ReadOnly) ? log.readAll().count('\n') : -1));
    return 0;
}

struct ConnectAttempt {
    qint64 ms = 0;
    double cpuMs = 0;
    QString status;
};

// One press of Connect on COM 1 mapped to `device`, on the real clock.
ConnectAttempt connectOnce(const QString& device) {
    qputenv("VXMETER_COM1", QFile::encodeName(device));
    vx::timing::SystemClock clock;
    FixedDialogs dialogs({});
    vx::link::SerialPortOpener opener;
    Main w({.clock = clock, .dialogs = dialogs, .opener = opener, .helpFilePath = {}});
    combo(w, "ComPort")->setCurrentIndex(0);
    combo(w, "TermChar")->setCurrentIndex(1);
    const double cpuStart = cpuSeconds();
    QElapsedTimer timer;
    timer.start();
    MainState(w).invoke("ConnectBtn_Click");
    return {timer.elapsed(), (cpuSeconds() - cpuStart) * 1000.0, lineEdit(w, "StatusBox")->text()};
}

int benchConnect() {
    vxsim::SimProcess pty;
    vxsim::SimProcess tcp;
    if (!pty.start({}, vxsim::SimProcess::Recording::Off) ||
        !tcp.start({QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0")},
                   vxsim::SimProcess::Recording::Off)) {
        std::fprintf(stderr, "connect: %s%s\n", qPrintable(pty.errorString()),
                     qPrintable(tcp.errorString()));
        return 1;
    }
    const ConnectAttempt onPty = connectOnce(pty.devicePath());
    const ConnectAttempt onTcp = connectOnce(tcp.devicePath());
    vxsim::DeadListener dead;
    if (!dead.isReady()) {
        std::fprintf(stderr, "connect: no listener to leave unanswered\n");
        return 1;
    }
    const ConnectAttempt unanswered =
        connectOnce(QStringLiteral("tcp://127.0.0.1:%1").arg(dead.port()));
    if (onPty.status != QLatin1String("Ready") || onTcp.status != QLatin1String("Ready")) {
        std::fprintf(stderr, "connect: %s / %s\n", qPrintable(onPty.status),
                     qPrintable(onTcp.status));
        return 1;
    }
    figure("connect_pty_ms", QString::number(onPty.ms));
    figure("connect_tcp_ms", QString::number(onTcp.ms));
    figure("connect_dead_ms", QString::number(unanswered.ms));
    figure("connect_dead_cpu_ms", QString::number(unanswered.cpuMs, 'f', 1));
    return 0;
}

}  // namespace

int main(int argc, char* argv[]) {
    QElapsedTimer sinceMain;
    sinceMain.start();
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    const QString what = args.value(1);
    if (what == QLatin1String("receive")) {
        return benchReceive();
    }
    if (what == QLatin1String("latency")) {
        return benchLatency();
    }
    if (what == QLatin1String("startup") || what == QLatin1String("startup-minimal")) {
        return benchStartup(sinceMain, what == QLatin1String("startup-minimal"));
    }
    if (what == QLatin1String("comlist")) {
        return benchComList();
    }
    if (what == QLatin1String("run")) {
        return benchRun(args.value(2, QStringLiteral("60")).toInt());
    }
    if (what == QLatin1String("connect")) {
        return benchConnect();
    }
    std::fprintf(stderr,
                 "usage: vxbenchmark receive|latency|startup|startup-minimal|comlist|run "
                 "[seconds]|connect\n");
    return 2;
}
