#pragma once

#include <QList>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <functional>

// How a COM number from 1 to 15 becomes a serial device.
//
// On Windows COM n is the port "COMn". Elsewhere COM n is the device named by
// the environment variable VXMETER_COM<n> when it is set, otherwise the n-th
// serial port the system lists: USB and ACM adapters first, then the others,
// each group in natural name order (ttyUSB2 before ttyUSB10). On every
// system VXMETER_COM<n>=tcp://HOST:PORT makes COM n a meter behind a serial
// device server (NetworkPort.h), and a VXMETER_COM<n> that is set but empty
// maps COM n to nothing: it is a slip (a script's unfilled variable), and
// taking the system's list instead would send commands to whatever is there.
namespace vx::link {

struct SystemPort {
    QString name;  // "ttyUSB0"
    QString path;  // "/dev/ttyUSB0"
    bool usbOrAcm = false;
};

// USB and ACM adapters first, each group in natural name order.
QList<SystemPort> orderedPorts(QList<SystemPort> ports);

// True when `a` sorts before `b` with digit runs compared as numbers.
bool naturalLess(const QString& a, const QString& b);

// What a COM number maps to.
struct ComMapping {
    QString device{};  // empty when there is none
    // When the environment itself is wrong (so far only a variable set but
    // empty), the device is empty and these say what is wrong, short enough
    // for a tool tip ("VXMETER_COM1 is set but empty"), and what to do.
    QString problem{};
    QString remedy{};
};

// "VXMETER_COM3": the variable that names COM `number`'s device.
QString comVariable(int number);

// COM `number` mapped through `env`, and `ordered` when the environment does
// not name the device.
ComMapping mapCom(int number, const QProcessEnvironment& env, const QList<SystemPort>& ordered);

// The serial ports the system lists now, in COM order. Each call is a full
// look at the system (every tty under /sys), so callers take it once and map
// from it.
QList<SystemPort> systemPorts();

// Where a list of the system's serial ports comes from: systemPorts() in the
// program, a counting stand-in in tests.
using PortLister = std::function<QList<SystemPort>()>;

// COM `number` on this machine, as it maps now. The system's list is taken
// only when the environment has no variable for it.
ComMapping mapCom(int number, const PortLister& lister = systemPorts);

// COM 1 to `count`, mapped from one look at the system (none when the
// environment has a variable for every one).
QList<ComMapping> mapComs(int count, const PortLister& lister = systemPorts);

// What COM `number` maps to, in words: "COM3: /dev/ttyUSB2", or
// "COM3: no device" when `device` is empty.
QString portDescription(int number, const QString& device);

// The device's canonical path (symbolic links resolved), so one device has
// one lock name whichever link named it; the path itself when it does not exist.
QString canonicalDevice(const QString& path);

}  // namespace vx::link
