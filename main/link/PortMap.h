#pragma once

#include <QList>
#include <QProcessEnvironment>
#include <QString>

// How a COM number from 1 to 15 becomes a serial device.
//
// On Windows COM n is the port "COMn". Elsewhere COM n is the device named by
// the environment variable VXMETER_COM<n> when it is set, otherwise the n-th
// serial port the system lists: USB and ACM adapters first, then the others,
// each group in natural name order (ttyUSB2 before ttyUSB10).
namespace comm {

struct SystemPort {
    QString name;  // "ttyUSB0"
    QString path;  // "/dev/ttyUSB0"
    bool usbOrAcm = false;
};

// USB and ACM adapters first, each group in natural name order.
QList<SystemPort> orderedPorts(QList<SystemPort> ports);

// True when `a` sorts before `b` with digit runs compared as numbers.
bool naturalLess(const QString& a, const QString& b);

// The device for COM `number`, or an empty text when there is none.
QString devicePathForCom(int number, const QProcessEnvironment& env,
                         const QList<SystemPort>& ordered);

// The serial ports the system lists now, in COM order.
QList<SystemPort> systemPorts();

// The device for COM `number` on this machine, as it maps now.
QString devicePathForCom(int number);

// What COM `number` maps to, in words: "COM3: /dev/ttyUSB2", or
// "COM3: no device" when `device` is empty.
QString portDescription(int number, const QString& device);

// The device's canonical path (symbolic links resolved), so one device has
// one lock name whichever link named it; the path itself when it does not exist.
QString canonicalDevice(const QString& path);

}  // namespace comm
