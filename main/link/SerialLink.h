#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

class QIODevice;

namespace comm {

// Opens the device behind a COM number. The real one opens a QSerialPort;
// tests hand out in-memory devices.
class PortOpener {
public:
    struct Result {
        std::unique_ptr<QIODevice> device;  // open, or null on failure
        int error = 0;                      // ErrorNumber when device is null
        QString reason;                     // plain words for the operator
        QString devicePath;                 // what COM n was mapped to
    };

    virtual ~PortOpener() = default;
    virtual Result open(int comNumber, qint32 baudRate) = 0;
    // The device COM `comNumber` maps to now, for tool tips; may be empty.
    virtual QString describe(int comNumber) const = 0;
};

// Opens real serial ports: COM n through the port map, 8 data bits, no
// parity, one stop bit, no flow control.
class SerialPortOpener final : public PortOpener {
public:
    Result open(int comNumber, qint32 baudRate) override;
    QString describe(int comNumber) const override;
    // Opens the device at `path` itself; `comNumber`, when not 0, is the
    // COM number it was mapped from, named in the reasons.
    static Result openDevice(const QString& path, qint32 baudRate, int comNumber = 0);
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
    int commPort() const { return commPort_; }
    // "9600,N,8,1": the baud rate, then no parity, 8 data bits, 1 stop bit.
    void setSettings(const QString& settings) { settings_ = settings; }
    QString settings() const { return settings_; }
    // Kept for the shape of the control: reads always return everything
    // waiting, and every arrival raises dataWaiting().
    void setInputLen(int length) { inputLen_ = length; }
    void setRThreshold(int threshold) { rThreshold_ = threshold; }

    bool isOpen() const;
    // 0, or the error number; lastError() then says why in plain words.
    int open();
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
    int commPort_ = 0;
    QString settings_;
    int inputLen_ = 0;
    int rThreshold_ = 0;
    QString lastError_;
    QString devicePath_;
};

}  // namespace comm
