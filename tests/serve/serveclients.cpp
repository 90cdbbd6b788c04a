// Viewers of vxlog's live page for the benchmark: N WebSocket clients that
// note when each reading reaches them (CLOCK_MONOTONIC, as vxsim's --times),
// or one that connects and then never reads. Ends when vxlog closes them.
//
//   serveclients PORT N          prints "SEQ LAST_NS RECEIVED" per reading
//   serveclients PORT --stall    one viewer that stops reading at once
#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpSocket>
#include <QWebSocket>

#include <time.h>

#include <cstdio>
#include <map>
#include <memory>
#include <vector>

namespace {

qint64 monotonicNs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return qint64(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

struct Arrival {
    qint64 lastNs = 0;
    int received = 0;
};

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        std::fputs("usage: serveclients PORT N | serveclients PORT --stall\n", stderr);
        return 2;
    }
    const quint16 port = quint16(args[1].toUInt());
    if (args[2] == QStringLiteral("--stall")) {
        QTcpSocket stalled;
        stalled.setReadBufferSize(1);
        stalled.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 4096);
        QObject::connect(&stalled, &QTcpSocket::disconnected, &app, &QCoreApplication::quit);
        QObject::connect(&stalled, &QTcpSocket::connected, &stalled, [&] {
            stalled.write("GET /ws HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port) +
                          "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                          "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
                          "Sec-WebSocket-Version: 13\r\n\r\n");
        });
        stalled.connectToHost(QStringLiteral("127.0.0.1"), port);
        return app.exec();
    }
    const int n = args[2].toInt();
    std::map<qint64, Arrival> arrivals;
    std::vector<std::unique_ptr<QWebSocket>> clients;
    int open = 0;
    for (int i = 0; i < n; ++i) {
        auto* client = clients.emplace_back(std::make_unique<QWebSocket>()).get();
        QObject::connect(client, &QWebSocket::connected, client, [&] { ++open; });
        QObject::connect(client, &QWebSocket::disconnected, client, [&] {
            if (--open == 0) {
                app.quit();
            }
        });
        QObject::connect(
            client, &QWebSocket::textMessageReceived, client, [&](const QString& text) {
                const qint64 now = monotonicNs();
                const QJsonObject message = QJsonDocument::fromJson(text.toUtf8()).object();
                if (message[QStringLiteral("type")].toString() != QStringLiteral("reading")) {
                    return;
                }
                Arrival& a =
                    arrivals[message[QStringLiteral("reading")][QStringLiteral("seq")].toInteger()];
                a.lastNs = std::max(a.lastNs, now);
                ++a.received;
            });
        client->open(QUrl(QStringLiteral("ws://127.0.0.1:%1/ws").arg(port)));
    }
    app.exec();
    for (const auto& [seq, a] : arrivals) {
        std::printf("%lld %lld %d\n", static_cast<long long>(seq), static_cast<long long>(a.lastNs),
                    a.received);
    }
    return 0;
}
