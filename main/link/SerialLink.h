#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <memory>
#include <utility>

#include "link/NetworkPort.h"
#include "link/PortMap.h"

class QIODevice;

namespace vx::timing {
class Clock;
}

namespace vx::link {

struct NetworkProgress;

// Opens the device behind a COM number. The real one opens a QSerialPort, or
// a TCP connection to a meter behind a serial device server (through the
// network connector, NetworkConnect.h); tests hand out in-memory devices.
class PortOpener {
public:
    struct Result {
        // Open, or null on failure. A network device is open but may still be
        // connecting: SerialLink waits for it (connecting(), finishConnect()).
        std::unique_ptr<QIODevice> device;
        int error = 0;       // ErrorNumber when device is null
        QString reason;      // plain words for the operator
        QString devicePath;  // what COM n was mapped to
        // A network device's connection under way (NetworkConnect.h); null
        // for any other device.
        std::shared_ptr<NetworkProgress> network;
    };

    virtual ~PortOpener() = default;
    virtual Result open(int comNumber, qint32 baudRate) = 0;
    // The devices COM 1 to `count` map to now, for tool tips, from one look
    // at the system: an empty text where there is none, or what is wrong
    // with the COM number's variable ("VXMETER_COM1 is set but empty").
    virtual QStringList describe(int count) const = 0;
};

// Opens real serial ports: COM n through the port map, 8 data bits, no
// parity, one stop bit, no flow control. The system's list of ports comes
// from `lister`. A COM number mapped to tcp://HOST:PORT opens a connection
// to a serial device server instead (NetworkPort.h).
class SerialPortOpener final : public PortOpener {
public:
    explicit SerialPortOpener(PortLister lister = systemPorts) : lister_(std::move(lister)) {}
    Result open(int comNumber, qint32 baudRate) override;
    // Opens a device named by its text: a serial device ("/dev/ttyUSB0",
    // "COM3") or a network port ("tcp://benchserver:4001"), whose connection
    // is still being made when this returns. open() maps COM n and calls this;
    // `comNumber`, when not 0, is the COM number the device was mapped from,
    // named in the reasons.
    Result openDevice(const QString& device, qint32 baudRate, int comNumber = 0) const;
    QStringList describe(int count) const override;

private:
    PortLister lister_;
};

// The serial-port control of the main window: the port number and settings
// are set first, then the port is opened; writes go out whole, reads take
// everything waiting, and dataWaiting() is raised whenever at least one
// character waits. Any read or resource error closes the port at once and
// raises portLost(), so a pulled cable never floods the window with errors.
class SerialLink : public QObject {
    Q_OBJECT
public:
    explicit SerialLink(PortOpener& opener, QObject* parent = nullptr);
    ~SerialLink() override;

    void setCommPort(int number) { commPort_ = number; }
    // "9600,N,8,1": the baud rate, then no parity, 8 data bits, 1 stop bit.
    void setSettings(const QString& settings) { settings_ = settings; }
    // Kept for the shape of the control: reads always return everything
    // waiting, and every arrival raises dataWaiting().
    void setInputLen(int length) { inputLen_ = length; }
    void setRThreshold(int threshold) { rThreshold_ = threshold; }

    bool isOpen() const;
    // 0, or the error number; lastError() then says why in plain words.
    int open();
    // True while an open network port is still making its connection: the
    // caller lets events run (awaitConnection()), then finishConnect().
    bool connecting() const;
    // How long a connection attempt may take; kConnectLimit unless set.
    void setConnectLimit(std::chrono::milliseconds limit) { connectLimit_ = limit; }
    std::chrono::milliseconds connectLimit() const { return connectLimit_; }
    // Ends a connection attempt: 0 when the port is connected (or is not a
    // network port); otherwise the port is closed and the error number
    // returned, lastError() saying why (refused, not found, unreachable, or
    // no connection within the limit).
    int finishConnect();
    void close();
    int write(const QByteArray& bytes);
    QByteArray readAll();
    QString lastError() const { return lastError_; }
    QString devicePath() const { return devicePath_; }

    // The device failed under us: close at once and say so, once.
    void fail(const QString& reason);

Q_SIGNALS:
    void dataWaiting();
    void portLost(const QString& reason);

private:
    PortOpener& opener_;
    std::unique_ptr<QIODevice> device_;
    std::shared_ptr<NetworkProgress> network_;  // while device_ is a network port
    int commPort_ = 0;
    QString settings_;
    int inputLen_ = 0;
    int rThreshold_ = 0;
    QString lastError_;
    QString devicePath_;
    bool awaitingConnection_ = false;  // a network port not yet connected
    int connectError_ = 0;             // how its connection attempt failed
    std::chrono::milliseconds connectLimit_ = kConnectLimit;
};

// Lets events run on `clock` while `link` is still making its connection, for
// at most its connect limit. The passes start at 1 ms and double up to 64 ms:
// a connection on the local network is seen within a few milliseconds, and a
// slow one costs a few dozen wake-ups, not a busy loop. `abandon`, when given,
// is asked after every pass; true ends the wait early. The caller then takes
// the outcome with finishConnect().
void awaitConnection(SerialLink& link, timing::Clock& clock,
                     const std::function<bool()>& abandon = {});

}  // namespace vx::link
