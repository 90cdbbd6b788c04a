#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QByteArrayView>
#include <QString>

// Where the live page listens and who may read it, without the HTTP server:
// vxlog checks its options with this before anything is loaded.
namespace vx::serve {

// What one run of the server holds at most. Every figure bounds memory or
// work that a viewer, or anybody reaching the port, could otherwise grow.
struct Limits {
    int viewers = 64;                 // WebSocket viewers at once
    int connections = 128;            // TCP connections at once, viewers included
    qint64 backlogBytes = 1 << 20;    // unsent bytes a viewer may fall behind; then it is dropped
    qint64 requestBytes = 16 * 1024;  // one request, head and body
    int history = 2048;               // readings kept for a page opened late and /api/readings
    int queue = 4096;                 // readings on their way to the server's thread
    int idleMs = 10'000;              // a connection that is no viewer, without a whole request
    int stopMs = 1'000;               // the most the end of a run waits for the viewers
};

struct Config {
    QString host = QStringLiteral("127.0.0.1");
    quint16 port = 0;  // 0: any free port
    QByteArray token;  // empty: none asked for, which only a loopback address allows
    Limits limits{};
};

// "8080", "0.0.0.0:8080", "192.168.1.20:8080", "[::1]:8080": the address is
// 127.0.0.1 when not given. `error` is empty when the text was good.
struct Endpoint {
    QString host;
    quint16 port = 0;
    QString error;
};
Endpoint parseEndpoint(const QString& text);

// 127.0.0.0/8 and ::1: only this machine can connect.
bool isLoopback(const QString& host);

// The shortest token taken; its characters are those a URL carries as they are.
inline constexpr int kShortestToken = 16;
inline constexpr int kLongestToken = 1024;

struct Token {
    QByteArray value;
    QString error;
};
// The token in `path`: its first line, without the line end.
Token readToken(const QString& path);
// True when `given` is `expected`, in a time that does not depend on where
// they differ.
bool sameToken(QByteArrayView expected, QByteArrayView given);

// The name of the cookie the page is given once its token was right.
inline constexpr char kCookie[] = "vxlog_token";

// The tokens a request carries: the query's token=, an Authorization
// header's Bearer, the page's cookie.
QByteArrayList tokensOf(const QByteArray& query, const QByteArray& authorization,
                        const QByteArray& cookie);

// True when one of `given` is `expected`, each compared in full.
bool authorized(QByteArrayView expected, const QByteArrayList& given);

}  // namespace vx::serve
