#pragma once

#include <QAbstractHttpServer>
#include <QElapsedTimer>
#include <QHash>
#include <QPointer>
#include <QTcpServer>
#include <QTimer>

#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "feed/Feed.h"
#include "serve/Access.h"
#include "serve/Board.h"

class QWebSocket;
class QTcpSocket;

namespace vx::serve {

// The TCP side: every connection counted and bounded before the HTTP server
// sees it. A request larger than the limit is answered 413 and closed; a
// connection that sends no whole request for a while is closed.
class Listener : public QTcpServer {
    Q_OBJECT
public:
    explicit Listener(const Limits& limits, QObject* parent = nullptr);

    // A request on `socket` was read whole; it is busy again from now.
    void requestRead(QTcpSocket* socket);
    // `socket` became a viewer: the WebSocket's own limits hold from now.
    void upgraded(QTcpSocket* socket);
    int connections();

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    struct Connection {
        QPointer<QTcpSocket> socket;
        QElapsedTimer since;
        std::shared_ptr<qint64> received;
        bool upgraded = false;
    };
    void prune();
    void closeIdle();

    const Limits limits_;
    std::vector<Connection> connections_;
    QTimer sweep_;
};

// What the run hands over, waiting for the server's thread. The run's side
// only appends, under a short lock, and never waits for the server; when the
// server falls behind by more than the limit the oldest readings go.
struct Event {
    enum class Kind { Reading, Meter };
    Kind kind = Kind::Reading;
    feed::Record record{};
    int index = -1;
    feed::Meter meter{};
};

class Inbox {
public:
    explicit Inbox(int limit) : limit_(std::size_t(std::max(limit, 1))) {}
    // True when the inbox was empty: the server needs a nudge.
    bool put(Event event);
    std::deque<Event> take(qint64* dropped);

private:
    const std::size_t limit_;
    std::mutex mutex_;
    std::deque<Event> events_;
    qint64 dropped_ = 0;
};

// The live page, its files, the JSON endpoints and the viewers, on the
// server's own thread.
class Server : public QAbstractHttpServer {
    Q_OBJECT
public:
    // `say` hands a line for the operator to the run's thread.
    Server(const Config& config, Inbox& inbox, std::function<void(QString)> say);
    ~Server() override;

    // Listens; the port, or 0 with `error`.
    quint16 start(const feed::Run& run, QString* error);
    // Takes what waits in the inbox.
    void drain();
    // Closes every viewer; `done` once they are gone or the time is up.
    void finish(std::function<void()> done);

protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override;
    void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override;

private:
    struct Refusal {
        int status = 0;
        QByteArray text;
    };
    Refusal admit(const QHttpServerRequest& request, bool upgrade) const;
    bool acceptViewer(const QHttpServerRequest& request, QTcpSocket* socket);
    void onViewer();
    void broadcast(const QByteArray& message);
    void drop(QWebSocket* viewer, const QString& why);
    void reply(const QHttpServerRequest& request, QTcpSocket* socket, int status,
               const QByteArray& type, const QByteArray& body, const QByteArray& cookie = {}) const;

    const Config config_;
    Inbox& inbox_;
    std::function<void(QString)> say_;
    Board board_;
    Listener* listener_ = nullptr;
    std::vector<QWebSocket*> viewers_;
    QHash<QWebSocket*, qint64> hello_;     // the first message's size, while it may be unsent
    std::deque<QElapsedTimer> upgrading_;  // accepted, not yet a viewer
    Refusal refusal_;                      // for missingHandler, right after handleRequest
};

}  // namespace vx::serve
