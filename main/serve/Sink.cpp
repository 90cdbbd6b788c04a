// The live page as a sink of the run: the server runs on a thread of its
// own, so nothing a viewer does (many of them, a slow one, a hostile one)
// takes time from the schedule. The run's side only puts readings into a
// bounded inbox.
#include <QThread>

#include "serve/Entry.h"
#include "serve/Server.h"

namespace vx::serve {

namespace {

QString urlOf(const QString& host, quint16 port) {
    const QString name = host.contains(u':') ? u'[' + host + u']' : host;
    return QStringLiteral("http://%1:%2/").arg(name).arg(port);
}

class ServeSink final : public feed::Sink {
public:
    ServeSink(const Config& config, feed::Host& host)
        : config_(config), host_(host), inbox_(config.limits.queue) {
        thread_.setObjectName(QStringLiteral("vxlog-serve"));
    }

    ~ServeSink() override { stop(); }

    bool start(const feed::Run& run, QString* error) override {
        thread_.start();
        anchor_.moveToThread(&thread_);
        quint16 port = 0;
        QString why;
        const auto say = [this](const QString& text) {
            QMetaObject::invokeMethod(
                &relay_, [this, text] { host_.message(text); }, Qt::QueuedConnection);
        };
        QMetaObject::invokeMethod(
            &anchor_,
            [&] {
                server_ = new Server(config_, inbox_, say);
                port = server_->start(run, &why);
            },
            Qt::BlockingQueuedConnection);
        QObject::connect(&thread_, &QThread::finished, server_, &QObject::deleteLater);
        if (port == 0) {
            thread_.quit();
            thread_.wait();
            server_ = nullptr;
            *error = QStringLiteral("--serve: cannot listen on %1:%2: %3")
                         .arg(config_.host)
                         .arg(config_.port)
                         .arg(why);
            return false;
        }
        const QString url = urlOf(config_.host, port);
        host_.message(config_.token.isEmpty()
                          ? QStringLiteral("serving %1").arg(url)
                          : QStringLiteral("serving %1 (with the token: %1?token=TOKEN)").arg(url));
        return true;
    }

    void record(const feed::Record& record) override {
        post({.kind = Event::Kind::Reading, .record = record});
    }

    void meterChanged(int index, const feed::Meter& meter) override {
        post({.kind = Event::Kind::Meter, .index = index, .meter = meter});
    }

    void stop() override {
        if (server_ == nullptr) {
            return;
        }
        Server* server = std::exchange(server_, nullptr);
        QMetaObject::invokeMethod(
            server, [this, server] { server->finish([this] { thread_.quit(); }); },
            Qt::QueuedConnection);
        thread_.wait();
    }

private:
    void post(Event event) {
        if (server_ != nullptr && inbox_.put(std::move(event))) {
            QMetaObject::invokeMethod(server_, &Server::drain, Qt::QueuedConnection);
        }
    }

    const Config config_;
    feed::Host& host_;
    Inbox inbox_;
    QThread thread_;
    QObject anchor_;  // on the server's thread: work started there
    QObject relay_;   // on the run's thread: messages brought back
    Server* server_ = nullptr;
};

}  // namespace

}  // namespace vx::serve

extern "C" __attribute__((visibility("default"))) vx::feed::Sink* vxlog_serve_sink(
    const vx::serve::Config& config, vx::feed::Host& host) {
    return new vx::serve::ServeSink(config, host);
}
