#include "serve/Server.h"

#include <QFile>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QNetworkRequest>
#include <QTcpSocket>
#include <QUrlQuery>
#include <QWebSocket>

#include <algorithm>
#include <array>
#include <string_view>

namespace vx::serve {

namespace {

constexpr int kSweepMs = 1000;
constexpr int kKiB = 1024;
// What a viewer may send: nothing is read from it, so a little.
constexpr quint64 kViewerMessageBytes = 1024;
// Pending upgrades older than this never became viewers.
constexpr qint64 kUpgradeMs = 10'000;

constexpr int kBadRequest = 400;
constexpr int kUnauthorized = 401;
constexpr int kForbidden = 403;
constexpr int kNotFound = 404;
constexpr int kNotAllowed = 405;
constexpr int kTooLarge = 413;
constexpr int kUnavailable = 503;

// The page's files, built into the module.
struct File {
    std::string_view path;
    std::string_view resource;
    std::string_view type;
};
constexpr std::array kFiles{
    File{"/", ":/serve/index.html", "text/html; charset=utf-8"},
    File{"/app.js", ":/serve/app.js", "text/javascript; charset=utf-8"},
    File{"/style.css", ":/serve/style.css", "text/css; charset=utf-8"},
    File{"/dygraph.min.js", ":/serve/dygraph.min.js", "text/javascript; charset=utf-8"},
    File{"/dygraph.css", ":/serve/dygraph.css", "text/css; charset=utf-8"},
};

// The page loads nothing from elsewhere and runs no script but its own.
constexpr char kPolicy[] =
    "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self' data:; "
    "connect-src 'self' ws: wss:; base-uri 'none'; form-action 'none'; frame-ancestors 'none'";

QByteArray latin1(std::string_view text) {
    return QByteArray(text.data(), qsizetype(text.size()));
}

QString peerOf(const QWebSocket* viewer) {
    return QStringLiteral("%1:%2").arg(viewer->peerAddress().toString()).arg(viewer->peerPort());
}

// "host:port" of a Host header or an Origin, lower case.
QByteArray authorityOf(const QByteArray& text) {
    QByteArray out = text.trimmed().toLower();
    if (const qsizetype scheme = out.indexOf("://"); scheme >= 0) {
        out = out.mid(scheme + 3);
    }
    return out;
}

// The host of an authority, without its port and brackets.
QByteArray hostOf(const QByteArray& authority) {
    if (authority.startsWith('[')) {
        return authority.mid(1, authority.indexOf(']') - 1);
    }
    const qsizetype colon = authority.lastIndexOf(':');
    return colon >= 0 ? authority.left(colon) : authority;
}

}  // namespace

// --- Listener ---------------------------------------------------------------

Listener::Listener(const Limits& limits, QObject* parent) : QTcpServer(parent), limits_(limits) {
    sweep_.setInterval(std::clamp(limits.idleMs / 2, 1, kSweepMs));
    connect(&sweep_, &QTimer::timeout, this, &Listener::closeIdle);
    sweep_.start();
}

void Listener::prune() {
    std::erase_if(connections_, [](const Connection& c) { return c.socket.isNull(); });
}

int Listener::connections() {
    prune();
    return int(connections_.size());
}

void Listener::incomingConnection(qintptr descriptor) {
    auto* socket = new QTcpSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        return;
    }
    if (connections() >= limits_.connections) {
        socket->abort();
        socket->deleteLater();
        return;
    }
    socket->setReadBufferSize(limits_.requestBytes);
    // Bytes of the request under way; requestRead() starts the count again.
    auto received = std::make_shared<qint64>(0);
    connections_.push_back({.socket = socket, .since = {}, .received = received});
    connections_.back().since.start();
    // Connected before the HTTP server's own handler, so it sees every byte
    // first: the HTTP server reads all that has come on each readyRead.
    connect(socket, &QTcpSocket::readyRead, this, [this, socket, received] {
        *received += socket->bytesAvailable();
        if (*received < limits_.requestBytes) {
            return;
        }
        disconnect(socket, &QTcpSocket::readyRead, nullptr, nullptr);
        socket->write(
            "HTTP/1.1 413 Content Too Large\r\nConnection: close\r\n"
            "Content-Length: 0\r\n\r\n");
        socket->disconnectFromHost();
    });
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    addPendingConnection(socket);
}

void Listener::requestRead(QTcpSocket* socket) {
    for (Connection& c : connections_) {
        if (c.socket == socket) {
            c.since.restart();
            *c.received = 0;
        }
    }
}

void Listener::upgraded(QTcpSocket* socket) {
    for (Connection& c : connections_) {
        if (c.socket == socket) {
            c.upgraded = true;
        }
    }
}

void Listener::closeIdle() {
    prune();
    for (const Connection& c : connections_) {
        if (!c.upgraded && c.since.elapsed() > limits_.idleMs) {
            c.socket->abort();
            c.socket->deleteLater();
        }
    }
}

// --- Inbox ------------------------------------------------------------------

bool Inbox::put(Event event) {
    const std::lock_guard lock(mutex_);
    const bool wasEmpty = events_.empty();
    if (events_.size() >= limit_) {
        events_.pop_front();
        ++dropped_;
    }
    events_.push_back(std::move(event));
    return wasEmpty;
}

std::deque<Event> Inbox::take(qint64* dropped) {
    const std::lock_guard lock(mutex_);
    *dropped = std::exchange(dropped_, 0);
    return std::exchange(events_, {});
}

// --- Server -----------------------------------------------------------------

Server::Server(const Config& config, Inbox& inbox, std::function<void(QString)> say)
    : config_(config), inbox_(inbox), say_(std::move(say)), board_(config.limits.history) {
    connect(this, &QAbstractHttpServer::newWebSocketConnection, this, &Server::onViewer);
}

Server::~Server() = default;

quint16 Server::start(const feed::Run& run, QString* error) {
    board_.start(run);
    listener_ = new Listener(config_.limits, this);
    if (!listener_->listen(QHostAddress(config_.host), config_.port)) {
        *error = listener_->errorString();
        return 0;
    }
    bind(listener_);
    return listener_->serverPort();
}

void Server::drain() {
    qint64 dropped = 0;
    std::deque<Event> events = inbox_.take(&dropped);
    if (dropped > 0) {
        say_(QStringLiteral("the live page fell behind: %1 readings were not shown").arg(dropped));
    }
    // What a viewer has not taken of the earlier messages: the socket wrote
    // what it could since, so this is what its reader left lying.
    const std::vector<QWebSocket*> viewers = viewers_;
    for (QWebSocket* viewer : viewers) {
        if (viewer->bytesToWrite() > config_.limits.backlogBytes) {
            drop(viewer,
                 QStringLiteral("it fell %1 KiB behind").arg(viewer->bytesToWrite() / kKiB));
        }
    }
    for (const Event& event : events) {
        switch (event.kind) {
            case Event::Kind::Reading:
                broadcast(board_.add(event.record));
                break;
            case Event::Kind::Meter:
                broadcast(board_.meterChanged(event.index, event.meter));
                break;
        }
    }
}

void Server::broadcast(const QByteArray& message) {
    if (viewers_.empty()) {
        return;
    }
    const QString text = QString::fromUtf8(message);
    for (QWebSocket* viewer : viewers_) {
        viewer->sendTextMessage(text);
    }
}

void Server::drop(QWebSocket* viewer, const QString& why) {
    say_(QStringLiteral("dropped the viewer at %1: %2").arg(peerOf(viewer), why));
    std::erase(viewers_, viewer);
    hello_.remove(viewer);
    viewer->abort();
    viewer->deleteLater();
}

void Server::finish(std::function<void()> done) {
    drain();
    if (viewers_.empty()) {
        done();
        return;
    }
    auto once = std::make_shared<std::function<void()>>(std::move(done));
    const auto fire = [once] {
        if (*once) {
            std::exchange(*once, {})();
        }
    };
    for (QWebSocket* viewer : viewers_) {
        connect(viewer, &QWebSocket::disconnected, this, [this, fire] {
            if (viewers_.empty()) {
                fire();
            }
        });
        viewer->close(QWebSocketProtocol::CloseCodeGoingAway, QStringLiteral("the run ended"));
    }
    QTimer::singleShot(config_.limits.stopMs, this, fire);
}

Server::Refusal Server::admit(const QHttpServerRequest& request, bool upgrade) const {
    const QByteArray host = authorityOf(request.value("host"));
    if (config_.token.isEmpty()) {
        // Served to this machine only: a page elsewhere whose name was made
        // to point here (DNS rebinding) names its own host.
        const QByteArray name = hostOf(host);
        if (name != "localhost" && !isLoopback(QString::fromLatin1(name))) {
            return {kForbidden,
                    "vxlog serves this page to this machine only; the request names "
                    "the host " +
                        name + "\n"};
        }
    } else if (!authorized(config_.token,
                           tokensOf(request.url().query(QUrl::FullyEncoded).toLatin1(),
                                    request.value("authorization"), request.value("cookie")))) {
        return {kUnauthorized,
                "vxlog: this page needs its token: open it as http://" + host +
                    "/?token=TOKEN with the token of the file given to --serve-token\n"};
    }
    if (!upgrade) {
        return {};
    }
    // A page of another site must not read the readings through the viewer's browser.
    const QByteArray origin = request.value("origin");
    if (!origin.isEmpty() && authorityOf(origin) != host) {
        return {kForbidden, "vxlog: a page of " + origin + " may not watch this run\n"};
    }
    if (request.url().path() != QStringLiteral("/ws")) {
        return {kNotFound, "vxlog: the readings are at /ws\n"};
    }
    if (request.value("sec-websocket-key").isEmpty() ||
        request.value("sec-websocket-version").trimmed() != "13") {
        return {kBadRequest, "vxlog: not a WebSocket version 13 request\n"};
    }
    return {};
}

bool Server::handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) {
    listener_->requestRead(socket);
    const bool upgrade = request.value("upgrade").compare("websocket", Qt::CaseInsensitive) == 0;
    refusal_ = admit(request, upgrade);
    if (upgrade) {
        return refusal_.status == 0 && acceptViewer(request, socket);
    }
    if (refusal_.status != 0) {
        missingHandler(request, socket);
        return true;
    }
    if (request.method() != QHttpServerRequest::Method::Get) {
        refusal_ = {kNotAllowed, "vxlog: this page is read-only: GET only\n"};
        missingHandler(request, socket);
        return true;
    }
    const QString path = request.url().path();
    const QUrlQuery query = request.query();
    if (path == QStringLiteral("/api/status")) {
        reply(request, socket, 200, "application/json", board_.status(int(viewers_.size())) + '\n');
        return true;
    }
    if (path == QStringLiteral("/api/readings")) {
        const Since since = sinceOf(query);
        if (!since.error.isEmpty()) {
            refusal_ = {kBadRequest, "vxlog: " + since.error.toUtf8() + '\n'};
            missingHandler(request, socket);
            return true;
        }
        reply(request, socket, 200, "application/json", board_.readings(since.value) + '\n');
        return true;
    }
    for (const File& file : kFiles) {
        if (path == QLatin1StringView(file.path.data(), qsizetype(file.path.size()))) {
            QFile resource(QString::fromLatin1(latin1(file.resource)));
            resource.open(QIODevice::ReadOnly);
            // The page's own files find the token in the cookie.
            const bool withCookie = !config_.token.isEmpty() && file.path == "/";
            reply(request, socket, 200, latin1(file.type), resource.readAll(),
                  withCookie ? config_.token : QByteArray());
            return true;
        }
    }
    refusal_ = {kNotFound, "vxlog: nothing at " + path.toUtf8() + '\n'};
    missingHandler(request, socket);
    return true;
}

void Server::missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) {
    const Refusal refusal =
        refusal_.status != 0 ? refusal_ : Refusal{kNotFound, QByteArray("vxlog: not found\n")};
    refusal_ = {};
    reply(request, socket, refusal.status, "text/plain; charset=utf-8", refusal.text);
}

bool Server::acceptViewer(const QHttpServerRequest&, QTcpSocket* socket) {
    std::erase_if(upgrading_, [](const QElapsedTimer& t) { return t.elapsed() > kUpgradeMs; });
    if (int(viewers_.size() + upgrading_.size()) >= config_.limits.viewers) {
        refusal_ = {kUnavailable, "vxlog: " + QByteArray::number(config_.limits.viewers) +
                                      " viewers watch already; try again later\n"};
        return false;
    }
    upgrading_.emplace_back().start();
    listener_->upgraded(socket);
    return true;
}

void Server::onViewer() {
    while (hasPendingWebSocketConnections()) {
        QWebSocket* viewer = nextPendingWebSocketConnection().release();
        if (!upgrading_.empty()) {
            upgrading_.pop_front();
        }
        viewer->setParent(this);
        viewer->setMaxAllowedIncomingFrameSize(kViewerMessageBytes);
        viewer->setMaxAllowedIncomingMessageSize(kViewerMessageBytes);
        viewers_.push_back(viewer);
        connect(viewer, &QWebSocket::disconnected, this, [this, viewer] {
            std::erase(viewers_, viewer);
            hello_.remove(viewer);
            viewer->deleteLater();
        });
        const QByteArray hello = board_.hello();
        hello_.insert(viewer, hello.size());
        viewer->sendTextMessage(QString::fromUtf8(hello));
    }
}

void Server::reply(const QHttpServerRequest& request, QTcpSocket* socket, int status,
                   const QByteArray& type, const QByteArray& body, const QByteArray& cookie) const {
    QHttpServerResponder responder = makeResponder(request, socket);
    responder.writeStatusLine(QHttpServerResponder::StatusCode(status));
    responder.writeHeader("Content-Type", type);
    responder.writeHeader("Content-Length", QByteArray::number(body.size()));
    responder.writeHeader("Cache-Control", "no-store");
    responder.writeHeader("X-Content-Type-Options", "nosniff");
    responder.writeHeader("Referrer-Policy", "no-referrer");
    if (type.startsWith("text/html")) {
        responder.writeHeader("Content-Security-Policy", kPolicy);
    }
    if (status == kUnauthorized) {
        responder.writeHeader("WWW-Authenticate", "Bearer realm=\"vxlog\"");
    }
    if (!cookie.isEmpty()) {
        responder.writeHeader("Set-Cookie", QByteArray(kCookie) + '=' + cookie +
                                                "; Path=/; HttpOnly; SameSite=Strict");
    }
    responder.writeBody(body);
}

}  // namespace vx::serve
