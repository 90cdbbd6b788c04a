#include "link/PortMap.h"

#include <QFileInfo>
#include <QSerialPortInfo>

#include <algorithm>

#ifndef Q_OS_WIN
#include <climits>
#include <cstdlib>
#endif

#include "link/NetworkPort.h"

namespace vx::link {

bool naturalLess(const QString& a, const QString& b) {
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i].isDigit() && b[j].isDigit()) {
            qsizetype ei = i;
            qsizetype ej = j;
            while (ei < a.size() && a[ei].isDigit()) {
                ++ei;
            }
            while (ej < b.size() && b[ej].isDigit()) {
                ++ej;
            }
            // Compare digit runs as numbers of any length: strip leading
            // zeros, then the longer run is larger, then text order.
            QStringView ra = QStringView(a).sliced(i, ei - i);
            QStringView rb = QStringView(b).sliced(j, ej - j);
            while (ra.size() > 1 && ra.front() == u'0') {
                ra = ra.sliced(1);
            }
            while (rb.size() > 1 && rb.front() == u'0') {
                rb = rb.sliced(1);
            }
            if (ra.size() != rb.size()) {
                return ra.size() < rb.size();
            }
            if (const int c = ra.compare(rb); c != 0) {
                return c < 0;
            }
            i = ei;
            j = ej;
            continue;
        }
        if (a[i] != b[j]) {
            return a[i] < b[j];
        }
        ++i;
        ++j;
    }
    return a.size() - i < b.size() - j;
}

QList<SystemPort> orderedPorts(QList<SystemPort> ports) {
    std::stable_sort(ports.begin(), ports.end(), [](const SystemPort& x, const SystemPort& y) {
        if (x.usbOrAcm != y.usbOrAcm) {
            return x.usbOrAcm;
        }
        return naturalLess(x.name, y.name);
    });
    return ports;
}

QString comVariable(int number) {
    return QStringLiteral("VXMETER_COM%1").arg(number);
}

ComMapping mapCom(int number, const QProcessEnvironment& env, const QList<SystemPort>& ordered) {
    if (number < 1) {
        return {};
    }
    const QString variable = comVariable(number);
    const QString named = env.value(variable);
    if (named.isEmpty() && env.contains(variable)) {
#ifdef Q_OS_WIN
        const QString example = QStringLiteral("tcp://benchserver:4001");
#else
        const QString example = QStringLiteral("/dev/ttyUSB0");
#endif
        return {
            .problem = QStringLiteral("%1 is set but empty").arg(variable),
            .remedy = QStringLiteral("name a device (%1=%2) or unset it").arg(variable, example)};
    }
#ifdef Q_OS_WIN
    Q_UNUSED(ordered);
    // Windows names its serial ports itself; only a network port is named here.
    return {.device = isNetworkDevice(named) ? named : QStringLiteral("COM%1").arg(number)};
#else
    if (!named.isEmpty()) {
        return {.device = named};
    }
    if (number <= ordered.size()) {
        return {.device = ordered[number - 1].path};
    }
    return {};
#endif
}

QList<SystemPort> systemPorts() {
    QList<SystemPort> ports;
    const auto infos = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& info : infos) {
        const QString name = info.portName();
        const bool usb = name.startsWith(QLatin1String("ttyUSB")) ||
                         name.startsWith(QLatin1String("ttyACM")) || info.hasVendorIdentifier();
        ports.append({name, info.systemLocation(), usb});
    }
    return orderedPorts(ports);
}

namespace {

// True when COM `number` maps without the system's list: on Windows COM n is
// always "COMn"; elsewhere when the environment has its variable, set to a
// device or set but empty.
bool mapsWithoutList(int number, const QProcessEnvironment& env) {
#ifdef Q_OS_WIN
    Q_UNUSED(number);
    Q_UNUSED(env);
    return true;
#else
    return env.contains(comVariable(number));
#endif
}

}  // namespace

ComMapping mapCom(int number, const PortLister& lister) {
    const QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    const bool listNeeded = number >= 1 && !mapsWithoutList(number, env);
    return mapCom(number, env, listNeeded ? lister() : QList<SystemPort>{});
}

QList<ComMapping> mapComs(int count, const PortLister& lister) {
    const QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    bool listNeeded = false;
    for (int n = 1; n <= count && !listNeeded; ++n) {
        listNeeded = !mapsWithoutList(n, env);
    }
    const QList<SystemPort> ordered = listNeeded ? lister() : QList<SystemPort>{};
    QList<ComMapping> mappings;
    for (int n = 1; n <= count; ++n) {
        mappings.append(mapCom(n, env, ordered));
    }
    return mappings;
}

QString portDescription(int number, const QString& device) {
    return device.isEmpty() ? QStringLiteral("COM%1: no device").arg(number)
                            : QStringLiteral("COM%1: %2").arg(number).arg(device);
}

QString canonicalDevice(const QString& path) {
#ifdef Q_OS_WIN
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? path : canonical;
#else
    // The C library's own resolution, as QFileInfo does it underneath,
    // without bringing Qt's file system layer into every run of a logger.
    char resolved[PATH_MAX];
    if (path.isEmpty() || ::realpath(QFile::encodeName(path).constData(), resolved) == nullptr) {
        return path;
    }
    return QFile::decodeName(resolved);
#endif
}

}  // namespace vx::link
