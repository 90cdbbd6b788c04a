#include "PortMap.h"

#include <QFileInfo>
#include <QSerialPortInfo>

#include <algorithm>

namespace comm {

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
#ifdef Q_OS_WIN
    Q_UNUSED(env);
    Q_UNUSED(ordered);
    return QStringLiteral("COM%1").arg(number);
#else
    const QString named = env.value(QStringLiteral("VXMETER_COM%1").arg(number));
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

QString devicePathForCom(int number) {
    const QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
#ifndef Q_OS_WIN
    // The environment names the device without asking the system for its list.
    if (env.contains(QStringLiteral("VXMETER_COM%1").arg(number))) {
        return devicePathForCom(number, env, {});
    }
#endif
    return devicePathForCom(number, env, systemPorts());
}

QString portDescription(int number, const QString& device) {
    return device.isEmpty() ? QStringLiteral("COM%1: no device").arg(number)
                            : QStringLiteral("COM%1: %2").arg(number).arg(device);
}

QString canonicalDevice(const QString& path) {
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? path : canonical;
}

}  // namespace comm
