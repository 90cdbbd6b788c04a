#include "support/FakePort.h"

#include "link/Errors.h"

FakePort::FakePort() = default;
FakePort::~FakePort() = default;

void FakePort::deliver(const QByteArray& bytes) {
    pending_.append(bytes);
    Q_EMIT readyRead();
}

void FakePort::hangUp() {
    Q_EMIT readChannelFinished();
}

qint64 FakePort::readData(char* data, qint64 maxSize) {
    const qint64 n = std::min<qint64>(maxSize, pending_.size());
    std::copy_n(pending_.constData(), n, data);
    pending_.remove(0, n);
    return n;
}

qint64 FakePort::writeData(const char* data, qint64 size) {
    if (failWrites) {
        setErrorString(QStringLiteral("simulated write failure"));
        return -1;
    }
    written.append(data, size);
    Q_EMIT wrote(QByteArray(data, size));
    return size;
}

vx::link::PortOpener::Result FakeOpener::open(int comNumber, qint32 baudRate) {
    Result r;
    r.devicePath = QStringLiteral("/dev/fake%1").arg(comNumber);
    opened.append({comNumber, baudRate});
    if (failures.contains(comNumber)) {
        r.error = failures.value(comNumber);
        r.reason = QStringLiteral("simulated failure %1").arg(r.error);
        return r;
    }
    auto dev = std::make_unique<FakePort>();
    dev->open(QIODevice::ReadWrite);
    port = dev.get();
    if (onOpened) {
        onOpened(port);
    }
    r.device = std::move(dev);
    return r;
}

QStringList FakeOpener::describe(int count) const {
    QStringList devices;
    for (int n = 1; n <= count; ++n) {
        devices.append(QStringLiteral("/dev/fake%1").arg(n));
    }
    return devices;
}
