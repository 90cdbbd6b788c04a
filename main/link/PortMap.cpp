#include "link/PortMap.h"

#include <QFileInfo>
#include <QSerialPortInfo>

#include <algorithm>

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

QString devicePathForCom(int number, const QProcessEnvironment& env,
                         const QList<SystemPort>& ordered) {
    if (number < 1) {
        return {};
    }
    const QString named = env.value(QStringLiteral("VXMETER_COM%1").arg(number));
#ifdef Q_OS_WIN
    Q_UNUSED(ordered);
    // Windows names its serial ports itself; only a network port is named here.
    return isNetworkDevice(named) ? named : QStringLiteral("COM%1").arg(number);
#else
    if (!named.isEmpty()) {
        return named;
    }
    if (number <= ordered.size()) {
        return ordered[number - 1].path;
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
// always "COMn"; elsewhere when the environment names the device.
bool mapsWithoutList(int number, const QProcessEnvironment& env) {
#ifdef Q_OS_WIN
    Q_UNUSED(number);
    Q_UNUSED(env);
    return true;
#else
    return !env.value(QStringLiteral("VXMETER_COM%1").arg(number)).isEmpty();
#endif
}

}  // namespace

QString devicePathForCom(int number, const PortLister& lister) {
    const QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    const bool listNeeded = number >= 1 && !mapsWithoutList(number, env);
    return devicePathForCom(number, env, listNeeded ? lister() : QList<SystemPort>{});
}

QStringList devicePathsForComs(int count, const PortLister& lister) {
    const QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    bool listNeeded = false;
    for (int n = 1; n <= count && !listNeeded; ++n) {
        listNeeded = !mapsWithoutList(n, env);
    }
    const QList<SystemPort> ordered = listNeeded ? lister() : QList<SystemPort>{};
    QStringList devices;
    for (int n = 1; n <= count; ++n) {
        devices.append(devicePathForCom(n, env, ordered));
    }
    return devices;
}

QString portDescription(int number, const QString& device) {
    return device.isEmpty() ? QStringLiteral("COM%1: no device").arg(number)
                            : QStringLiteral("COM%1: %2").arg(number).arg(device);
}

QString canonicalDevice(const QString& path) {
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? path : canonical;
}

}  // namespace vx::link
