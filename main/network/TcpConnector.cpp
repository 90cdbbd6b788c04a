#include "network/TcpConnector.h"

#include <QNetworkProxy>
#include <QTcpSocket>

#include <array>
#include <utility>

#include "link/Errors.h"

namespace vx::network {

namespace {

struct SocketError {
    QAbstractSocket::SocketError qt;
    link::ErrorNumber number;
};

constexpr std::array kSocketErrors{
    SocketError{QAbstractSocket::ConnectionRefusedError, link::kConnectionRefused},
    SocketError{QAbstractSocket::HostNotFoundError, link::kHostNotFound},
    SocketError{QAbstractSocket::NetworkError, link::kHostUnreachable},
    SocketError{QAbstractSocket::SocketTimeoutError, link::kConnectTimedOut},
    SocketError{QAbstractSocket::RemoteHostClosedError, link::kConnectionClosed},
    SocketError{QAbstractSocket::SocketAccessError, link::kPermissionDenied},
};

}  // namespace

int errorNumber(QAbstractSocket::SocketError error) {
    for (const SocketError& entry : kSocketErrors) {
        if (entry.qt == error) {
            return entry.number;
        }
    }
    return link::kNetworkFailed;
}

link::NetworkConnection connectTcp(const link::NetworkAddress& address) {
    auto socket = std::make_unique<QTcpSocket>();
    auto progress = std::make_shared<link::NetworkProgress>();
    QTcpSocket* raw = socket.get();
    // Watched from before the first attempt: a connection to this machine
    // can be made (or refused) inside connectToHost().
    QObject::connect(raw, &QAbstractSocket::connected, raw, [progress] {
        progress->connected = true;
        if (const auto told = progress->onConnected) {
            told();
        }
    });
    QObject::connect(raw, &QAbstractSocket::errorOccurred, raw,
                     [progress, raw](QAbstractSocket::SocketError error) {
                         if (const auto told = progress->onFailed) {
                             told(errorNumber(error), raw->errorString());
                         }
                     });
    socket->setProxy(QNetworkProxy::NoProxy);
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    socket->setReadBufferSize(link::kPortReadBufferBytes);
    socket->connectToHost(address.host, address.port);
    link::NetworkConnection connection;
    if (socket->state() == QAbstractSocket::UnconnectedState) {
        connection.error = errorNumber(socket->error());
        connection.systemText = socket->errorString();
        return connection;
    }
    connection.device = std::move(socket);
    connection.progress = std::move(progress);
    return connection;
}

}  // namespace vx::network
