#pragma once

// A plain HTTP client for the live page's tests: the request goes out as
// written, byte for byte, and the answer comes back whole, so a test sees
// exactly what a browser or a script would.
#include <QByteArray>
#include <QElapsedTimer>
#include <QTcpSocket>

struct Response {
    int status = 0;  // 0: no answer
    QByteArray head;
    QByteArray body;
    bool closed = false;  // the server closed the connection

    QByteArray header(const QByteArray& name) const {
        for (const QByteArray& line : head.split('\n')) {
            const qsizetype colon = line.indexOf(':');
            if (colon > 0 && line.left(colon).trimmed().compare(name, Qt::CaseInsensitive) == 0) {
                return line.mid(colon + 1).trimmed();
            }
        }
        return {};
    }
};

// Sends `request` to 127.0.0.1:`port` and reads the answer: its head, then as
// much body as Content-Length says, or until the server closes.
inline Response exchange(quint16 port, const QByteArray& request, int timeoutMs = 5000) {
    Response out;
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), port);
    if (!socket.waitForConnected(timeoutMs)) {
        return out;
    }
    socket.write(request);
    QByteArray got;
    QElapsedTimer clock;
    clock.start();
    qsizetype end = -1;
    qint64 length = -1;
    while (clock.elapsed() < timeoutMs) {
        if (end < 0 && (end = got.indexOf("\r\n\r\n")) >= 0) {
            out.head = got.left(end);
            out.status = got.mid(9, 3).toInt();
            bool ok = false;
            length = out.header("content-length").toLongLong(&ok);
            length = ok ? length : -1;
        }
        if (end >= 0 && length >= 0 && got.size() >= end + 4 + length) {
            break;
        }
        if (socket.state() != QAbstractSocket::ConnectedState && socket.bytesAvailable() == 0) {
            out.closed = true;
            break;
        }
        if (socket.waitForReadyRead(50)) {
            got += socket.readAll();
        }
    }
    if (end >= 0) {
        out.body = got.mid(end + 4, length >= 0 ? length : -1);
    }
    return out;
}

inline Response get(quint16 port, const QByteArray& target, const QByteArray& headers = {}) {
    return exchange(port, "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1:" +
                              QByteArray::number(port) + "\r\n" + headers + "\r\n");
}

// A WebSocket upgrade of `target` written by hand, with `headers` added.
inline QByteArray upgrade(quint16 port, const QByteArray& target, const QByteArray& headers = {}) {
    return "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port) +
           "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
           "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n" +
           headers + "\r\n";
}
