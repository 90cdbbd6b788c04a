#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QList>
#include <QMap>
#include <QPointer>

#include <functional>

#include "link/SerialLink.h"

// An in-memory serial device: what the program writes collects in
// written(); deliver() puts bytes on the line towards the program and
// raises readyRead as a port does.
class FakePort final : public QIODevice {
    Q_OBJECT
public:
    FakePort();
    ~FakePort() override;

    QByteArray written;
    bool failWrites = false;

    void deliver(const QByteArray& bytes);
    // The far end goes away: the link must close at once.
    void hangUp();

    qint64 bytesAvailable() const override { return pending_.size() + QIODevice::bytesAvailable(); }
    bool isSequential() const override { return true; }

Q_SIGNALS:
    // The program wrote `bytes`, at the moment it wrote them.
    void wrote(const QByteArray& bytes);

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char* data, qint64 size) override;

private:
    QByteArray pending_;
};

// Hands out FakePorts. `failures` makes COM n fail with an error number.
class FakeOpener final : public vx::link::PortOpener {
public:
    Result open(int comNumber, qint32 baudRate) override;
    QStringList describe(int count) const override;

    QMap<int, int> failures;
    QList<QPair<int, qint32>> opened;  // (COM number, baud) of every open
    QPointer<FakePort> port;           // the last one handed out
    // Called with every port handed out, before the program uses it.
    std::function<void(FakePort*)> onOpened;
};
