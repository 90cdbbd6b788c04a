// bare-serial DEVICE COUNT: opens DEVICE at 4000000 baud 8N1, sends a lone
// LF, then COUNT times every 100 ms sends FETC? and reads the reply line,
// and exits. With COUNT 0 it only opens the port and sends the LF. The
// floor under vxlog's figures: a QCoreApplication, a QSerialPort, a timer.
#include <QCoreApplication>
#include <QSerialPort>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

int main(int argc, char* argv[]) {
    qputenv("QT_NO_GLIB", "1");
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fputs("usage: bare-serial DEVICE COUNT\n", stderr);
        return 2;
    }
    const int count = std::atoi(argv[2]);
    QSerialPort port;
    port.setPortName(QString::fromLocal8Bit(argv[1]));
    port.setBaudRate(4000000);
    if (!port.open(QIODevice::ReadWrite)) {
        std::fprintf(stderr, "bare-serial: %s\n", qPrintable(port.errorString()));
        return 3;
    }
    port.write("\n");
    port.flush();
    if (count <= 0) {
        return 0;
    }
    int left = count;
    QByteArray line;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, &port, [&] {
        port.write("FETC?\n");
        port.flush();
    });
    QObject::connect(&port, &QSerialPort::readyRead, &port, [&] {
        line += port.readAll();
        if (line.endsWith('\n')) {
            std::fwrite(line.constData(), 1, std::size_t(line.size()), stdout);
            line.clear();
            if (--left == 0) {
                QCoreApplication::quit();
            }
        }
    });
    tick.start(100);
    return QCoreApplication::exec();
}
