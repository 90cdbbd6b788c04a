#include "link/SerialLink.h"

#include <QFileInfo>
#include <QSerialPort>

#include "link/Errors.h"
#include "link/NetworkConnect.h"
#include "link/NetworkPort.h"
#include "link/PortMap.h"
#include "timing/Clock.h"

#ifndef Q_OS_WIN
#include <unistd.h>
#endif

namespace vx::link {

namespace {

QString serialErrorText(QSerialPort::SerialPortError error) {
    switch (error) {
        case QSerialPort::ReadError:
            return QStringLiteral(
                "the device stopped answering reads (cable pulled or far end hung up)");
        case QSerialPort::ResourceError:
            return QStringLiteral("the device was removed or hung up");
        case QSerialPort::WriteError:
            return QStringLiteral("the device refused a write");
        default:
            return QStringLiteral("the device reported an error");
    }
}

bool deviceAccessible(const QString& path) {
#ifdef Q_OS_WIN
    Q_UNUSED(path);
    return true;
#else
    return ::access(QFile::encodeName(path).constData(), R_OK | W_OK) == 0;
#endif
}

}  // namespace

PortOpener::Result SerialPortOpener::open(int comNumber, qint32 baudRate) {
    const ComMapping mapped = mapCom(comNumber, lister_);
    if (mapped.device.isEmpty()) {
        Result result;
        result.error = mapped.problem.isEmpty() ? kNoSuchPort : kComNotNamed;
        result.reason =
            mapped.problem.isEmpty()
                ? QStringLiteral("COM%1 is not mapped to any serial device").arg(comNumber)
                : QStringLiteral("%1: %2").arg(mapped.problem, mapped.remedy);
        return result;
    }
    return openDevice(mapped.device, baudRate, comNumber);
}

namespace {

// The connection is made in the background; its outcome reaches SerialLink
// through the connector's progress. The baud rate is the device server's
// business.
PortOpener::Result openNetworkDevice(const QString& device) {
    PortOpener::Result result;
    result.devicePath = device;
    QString why;
    const auto address = parseNetworkDevice(device, &why);
    if (!address) {
        result.error = kBadNetworkAddress;
        result.reason = why;
        return result;
    }
    const NetworkConnector connector = networkConnector(&why);
    if (connector == nullptr) {
        result.error = kNetworkFailed;
        result.reason = why;
        return result;
    }
    NetworkConnection connection = connector(*address);
    if (!connection.device) {
        const NetworkFailure failure =
            networkFailure(connection.error, device, connection.systemText);
        result.error = failure.error;
        result.reason = failure.reason;
        return result;
    }
    result.device = std::move(connection.device);
    result.network = std::move(connection.progress);
    return result;
}

}  // namespace

PortOpener::Result SerialPortOpener::openDevice(const QString& device, qint32 baudRate,
                                                int comNumber) const {
    if (isNetworkDevice(device)) {
        return openNetworkDevice(device);
    }
    Result result;
#ifdef Q_OS_WIN
    const QString path = device;
#else
    const QString path = canonicalDevice(device);
#endif
    result.devicePath = path;
    auto port = std::make_unique<QSerialPort>();
    port->setPortName(path);
    port->setBaudRate(baudRate);
    port->setDataBits(QSerialPort::Data8);
    port->setParity(QSerialPort::NoParity);
    port->setStopBits(QSerialPort::OneStop);
    port->setFlowControl(QSerialPort::NoFlowControl);
    port->setReadBufferSize(kPortReadBufferBytes);
    if (!port->open(QIODevice::ReadWrite)) {
        switch (port->error()) {
            case QSerialPort::DeviceNotFoundError:
                result.error = kNoSuchPort;
                result.reason =
                    comNumber > 0
                        ? QStringLiteral("%1 (COM%2) does not exist").arg(path).arg(comNumber)
                        : QStringLiteral("%1 does not exist").arg(path);
                break;
            case QSerialPort::PermissionError:
                // Qt reports a lock held by another program and missing
                // rights alike; the device's access bits tell them apart.
                if (deviceAccessible(path)) {
                    result.error = kPortInUse;
                    result.reason = QStringLiteral("%1 is in use by another program").arg(path);
                } else {
                    result.error = kPermissionDenied;
                    result.reason = QStringLiteral(
                                        "permission denied on %1: add your user to the dialout "
                                        "group (sudo usermod -aG dialout $USER) and log in again")
                                        .arg(path);
                }
                break;
            case QSerialPort::UnsupportedOperationError:
                result.error = kSettingsRejected;
                result.reason = QStringLiteral("%1 refused the line settings").arg(path);
                break;
            default:
                result.error = kNoSuchPort;
                result.reason =
                    QStringLiteral("%1 could not be opened: %2").arg(path, port->errorString());
                break;
        }
        return result;
    }
    result.device = std::move(port);
    return result;
}

QStringList SerialPortOpener::describe(int count) const {
    QStringList devices;
    for (const ComMapping& mapped : mapComs(count, lister_)) {
        devices.append(mapped.problem.isEmpty() ? describeDevice(mapped.device) : mapped.problem);
    }
    return devices;
}

SerialLink::SerialLink(PortOpener& opener, QObject* parent) : QObject(parent), opener_(opener) {}

SerialLink::~SerialLink() {
    close();
}

bool SerialLink::isOpen() const {
    return device_ != nullptr && device_->isOpen();
}

int SerialLink::open() {
    if (isOpen()) {
        lastError_ = QStringLiteral("the port is already open");
        return kPortInUse;
    }
    bool ok = false;
    const qint32 baud = settings_.section(QLatin1Char(','), 0, 0).toInt(&ok);
    if (!ok || baud <= 0) {
        lastError_ = QStringLiteral("the baud rate \"%1\" is not a number")
                         .arg(settings_.section(QLatin1Char(','), 0, 0));
        return kSettingsRejected;
    }
    PortOpener::Result result = opener_.open(commPort_, baud);
    devicePath_ = result.devicePath;
    if (!result.device) {
        lastError_ = result.reason;
        return result.error != 0 ? result.error : kNoSuchPort;
    }
    device_ = std::move(result.device);
    network_ = std::move(result.network);
    lastError_.clear();
    connectError_ = kNoError;
    awaitingConnection_ = false;
    QIODevice* dev = device_.get();
    connect(dev, &QIODevice::readyRead, this, &SerialLink::dataWaiting);
    // An in-memory device says the far end went away by finishing its read
    // channel; so does a network connection the device server closes.
    connect(dev, &QIODevice::readChannelFinished, this, [this] {
        fail(network_ ? QStringLiteral("%1 closed the connection").arg(devicePath_)
                      : QStringLiteral("the far end closed the line"));
    });
    if (network_) {
        awaitingConnection_ = !network_->connected;
        network_->onConnected = [this] { awaitingConnection_ = false; };
        network_->onFailed = [this](int error, const QString& systemText) {
            const NetworkFailure failure = networkFailure(error, devicePath_, systemText);
            if (!awaitingConnection_) {
                fail(failure.reason);
                return;
            }
            // Still connecting: the attempt ends here, and Connect hears why
            // from finishConnect().
            awaitingConnection_ = false;
            connectError_ = failure.error;
            lastError_ = failure.reason;
            close();
        };
    }
    if (auto* serial = qobject_cast<QSerialPort*>(dev)) {
        connect(serial, &QSerialPort::errorOccurred, this,
                [this](QSerialPort::SerialPortError error) {
                    if (error == QSerialPort::ReadError || error == QSerialPort::ResourceError ||
                        error == QSerialPort::WriteError) {
                        fail(serialErrorText(error));
                    }
                });
    }
    return kNoError;
}

bool SerialLink::connecting() const {
    return device_ != nullptr && awaitingConnection_;
}

int SerialLink::finishConnect() {
    if (const int error = std::exchange(connectError_, kNoError); error != kNoError) {
        return error;
    }
    if (connecting()) {
        awaitingConnection_ = false;
        lastError_ = connectTimedOut(devicePath_, connectLimit_).reason;
        close();
        return kConnectTimedOut;
    }
    if (!isOpen()) {
        if (lastError_.isEmpty()) {
            lastError_ = QStringLiteral("the port is not open");
        }
        return kPortNotOpen;
    }
    return kNoError;
}

void SerialLink::close() {
    if (!device_) {
        return;
    }
    // Detach first: closing may raise signals that must not reach the window.
    std::unique_ptr<QIODevice> dev = std::move(device_);
    dev->disconnect(this);
    if (const std::shared_ptr<NetworkProgress> network = std::exchange(network_, nullptr)) {
        network->onConnected = nullptr;
        network->onFailed = nullptr;
    }
    dev->close();
    // A device may still be inside its own signal: delete it later.
    dev.release()->deleteLater();
}

int SerialLink::write(const QByteArray& bytes) {
    if (!isOpen()) {
        lastError_ = QStringLiteral("the port is not open");
        return kPortNotOpen;
    }
    if (device_->write(bytes) != bytes.size()) {
        lastError_ = QStringLiteral("the device refused the bytes: %1").arg(device_->errorString());
        return kWriteFailed;
    }
    // Out at once, not on the next pass of the event loop: the command
    // leaves sooner and the program wakes once less for it. The second
    // flush ends the write once the bytes are out, so the port stops
    // watching for room to write now rather than after one more wake-up.
    if (auto* serial = qobject_cast<QSerialPort*>(device_.get())) {
        serial->flush();
        if (serial->bytesToWrite() == 0) {
            serial->flush();
        }
    }
    return kNoError;
}

QByteArray SerialLink::readAll() {
    if (!isOpen()) {
        return {};
    }
    return device_->readAll();
}

void SerialLink::fail(const QString& reason) {
    if (!device_) {
        return;
    }
    lastError_ = reason;
    close();
    Q_EMIT portLost(reason);
}

void awaitConnection(SerialLink& link, timing::Clock& clock, const std::function<bool()>& abandon) {
    constexpr qint64 kLongestPassMs = 64;
    const QDateTime limit = clock.now().addMSecs(link.connectLimit().count());
    qint64 pass = 1;
    const auto abandoned = [&] { return abandon && abandon(); };
    for (QDateTime now = clock.now(); link.connecting() && !abandoned() && now < limit;
         now = clock.now()) {
        clock.runEventsFor(std::min(pass, now.msecsTo(limit)));
        pass = std::min(pass * 2, kLongestPassMs);
    }
}

}  // namespace vx::link
