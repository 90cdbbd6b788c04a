// Writes and reads log files of any length, and prints how long reading took
// and the most memory the process held. Not a test: run it by hand.
//
//   bench_logread make FILE LINES [SESSIONS]   a log of LINES readings, one a
//                                              second, secondary on, a spike
//   bench_logread read FILE                    read it as Open Log... does
//
// Keep big files in /tmp: a year at one reading a second is about 1.4 GB.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QString>

#include <cmath>
#include <cstdio>
#include <ctime>
#include <string>

#include "logread/LogFile.h"

namespace {

long peakRssKb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:")) {
            return line.mid(6).trimmed().split(' ').first().toLong();
        }
    }
    return -1;
}

int make(const char* path, long long lines, long long sessions) {
    std::FILE* out = std::fopen(path, "wb");
    if (out == nullptr) {
        std::perror(path);
        return 1;
    }
    std::setvbuf(out, nullptr, _IOFBF, 1 << 20);
    const std::time_t start = 1'474'545'909;  // a September afternoon in 2016
    const long long perSession = std::max(1LL, lines / std::max(1LL, sessions));
    char line[96];
    for (long long i = 0; i < lines; ++i) {
        if (i % perSession == 0) {
            std::fputs("\r\nDC Voltage(V),Frequency(Hz)\r\n", out);
        }
        const std::time_t t = start + static_cast<std::time_t>(i);
        std::tm tm{};
        localtime_r(&t, &tm);
        const double volts = i == lines / 3 ? 12.5 : 1.5 + 0.002 * std::sin(double(i) / 600.0);
        const int n =
            std::snprintf(line, sizeof line, "%+.5E,%+.5E,%02d:%02d:%02d %02d/%02d/%04d\r\n", volts,
                          1000.0 + 0.3 * std::cos(double(i) / 900.0), tm.tm_hour, tm.tm_min,
                          tm.tm_sec, tm.tm_mon + 1, tm.tm_mday, tm.tm_year + 1900);
        std::fwrite(line, 1, std::size_t(n), out);
    }
    return std::fclose(out) == 0 ? 0 : 1;
}

int read(const QString& path) {
    vx::logread::LoadProgress progress;
    QElapsedTimer timer;
    timer.start();
    const vx::logread::LogLoad load = vx::logread::readLogFile(path, &progress);
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    const vx::logread::LogContents& c = load.contents;
    std::size_t slices = 0;
    for (const vx::logread::Session& session : c.sessions) {
        slices += session.series.buckets().size();
    }
    std::printf("read_lines\t%lld\n", static_cast<long long>(c.lines));
    std::printf("read_bytes\t%lld\n", static_cast<long long>(c.bytes));
    std::printf("read_sessions\t%zu\n", c.sessions.size());
    std::printf("read_slices\t%zu\n", slices);
    std::printf("read_bad_lines\t%lld\n", static_cast<long long>(c.badLines));
    std::printf("read_seconds\t%.3f\n", seconds);
    std::printf("read_mb_per_s\t%.0f\n", double(c.bytes) / 1e6 / seconds);
    std::printf("peak_rss_mb\t%.1f\n", double(peakRssKb()) / 1024.0);
    return load.outcome == vx::logread::LoadOutcome::Read ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (mode == QLatin1String("make") && argc >= 4) {
        return make(argv[2], std::stoll(argv[3]), argc > 4 ? std::stoll(argv[4]) : 1);
    }
    if (mode == QLatin1String("read") && argc >= 3) {
        return read(QString::fromLocal8Bit(argv[2]));
    }
    std::fprintf(stderr,
                 "usage: bench_logread make FILE LINES [SESSIONS]\n"
                 "       bench_logread read FILE\n");
    return 2;
}
