#pragma once

// A real mosquitto broker for a test: its own configuration and persistence
// in a temporary folder, on a free loopback port, stopped (SIGTERM, then
// SIGKILL) when the object goes. A subscriber (mosquitto_sub) reads with
// QoS 1 on a persistent session, so what is published while it reconnects
// after a broker restart still reaches it.
#include <QByteArray>
#include <QDir>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <pwd.h>
#include <unistd.h>

inline int freePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

class Broker {
public:
    Broker() : port_(freePort()) {}
    ~Broker() { stop(); }
    Broker(const Broker&) = delete;
    Broker& operator=(const Broker&) = delete;

    // `extra`: more configuration lines (password_file, ...).
    bool start(const QString& extra = {}) {
        const passwd* me = ::getpwuid(::geteuid());
        QFile conf(dir_.filePath(QStringLiteral("mosquitto.conf")));
        if (!conf.open(QIODevice::WriteOnly)) {
            return false;
        }
        conf.write(QStringLiteral("listener %1 127.0.0.1\n"
                                  "persistence true\n"
                                  "persistence_location %2/\n"
                                  "user %3\n"
                                  "log_dest file %2/broker.log\n"
                                  // The subscriber of a test may fall behind a backlog: the
                                  // broker keeps all for it.
                                  "max_queued_messages 0\n"
                                  "max_inflight_messages 0\n"
                                  "%4\n")
                       .arg(port_)
                       .arg(dir_.path(), QString::fromLocal8Bit(me->pw_name),
                            extra.isEmpty() ? QStringLiteral("allow_anonymous true") : extra)
                       .toUtf8());
        conf.close();
        process_.start(QStringLiteral("mosquitto"), {QStringLiteral("-c"), conf.fileName()});
        if (!process_.waitForStarted()) {
            return false;
        }
        return QTest::qWaitFor(
            [&] {
                QTcpSocket probe;
                probe.connectToHost(QHostAddress::LocalHost, quint16(port_));
                return probe.waitForConnected(100);
            },
            5000);
    }
    void stop() {
        if (process_.state() == QProcess::NotRunning) {
            return;
        }
        process_.terminate();
        if (!process_.waitForFinished(3000)) {
            process_.kill();
            process_.waitForFinished();
        }
    }
    int port() const { return port_; }
    QString url(const QString& prefix) const {
        return QStringLiteral("mqtt://127.0.0.1:%1/%2").arg(port_).arg(prefix);
    }
    QString path(const QString& name) const { return dir_.filePath(name); }

private:
    QTemporaryDir dir_;
    int port_;
    QProcess process_;
};

struct Message {
    QString topic;
    QByteArray payload;
};

class Subscriber {
public:
    ~Subscriber() { stop(); }
    // Subscribes to `filter` and returns once a probe published under
    // `probeTopic` came back, so nothing published after it is missed.
    bool start(int port, const QString& filter, const QString& probeTopic) {
        process_.start(QStringLiteral("mosquitto_sub"),
                       {"-h", "127.0.0.1", "-p", QString::number(port), "-t", filter, "-q", "1",
                        "-c", "-i", "vxtest-sub", "-F", "%t %x"});
        if (!process_.waitForStarted()) {
            return false;
        }
        // A probe sent before the subscription took hold is lost: send
        // until one comes back.
        for (int tries = 0; tries < 25; ++tries) {
            QProcess::execute(QStringLiteral("mosquitto_pub"),
                              {"-h", "127.0.0.1", "-p", QString::number(port), "-t", probeTopic,
                               "-m", "probe", "-q", "1"});
            if (QTest::qWaitFor([&] { return count(probeTopic) > 0; }, 200)) {
                return true;
            }
        }
        return false;
    }
    void stop() {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished();
        }
    }
    QList<Message> messages() {
        buffer_ += process_.readAllStandardOutput();
        const qsizetype end = buffer_.lastIndexOf('\n');
        if (end >= 0) {
            for (const QByteArray& line : buffer_.left(end).split('\n')) {
                const qsizetype blank = line.indexOf(' ');
                if (blank > 0) {
                    parsed_.push_back({QString::fromUtf8(line.left(blank)),
                                       QByteArray::fromHex(line.mid(blank + 1))});
                }
            }
            buffer_.remove(0, end + 1);
        }
        return parsed_;
    }
    qsizetype count(const QString& topic) {
        const QList<Message> all = messages();
        return std::count_if(all.begin(), all.end(),
                             [&](const Message& m) { return m.topic == topic; });
    }

private:
    QProcess process_;
    QByteArray buffer_;  // a line not ended yet
    QList<Message> parsed_;
};
