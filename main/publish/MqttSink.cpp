// The sink that publishes a run's readings to an MQTT broker through
// libmosquitto. A thread of its own runs the client's network loop:
// connecting, trying again after a growing pause, resending what was in
// flight (the library keeps it across reconnections). The client's
// callbacks only queue events for the event loop's thread, which owns the
// journal, so a slow or absent broker never holds up a reading.
//
// Not mosquitto_loop_start: its thread (libmosquitto 2.0.11) waits for ever
// when the first connection attempt fails, and its pause between attempts
// cannot be cut short when the run ends.
#include <QDateTime>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <mosquitto.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

#include "publish/Journal.h"
#include "publish/Module.h"

namespace vx::publish {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kQos = 1;
constexpr int kTellAfterMs = 200;  // a broker not answering by then is told
constexpr int kLoopMs = 100;       // the network thread looks at quit_ this often

QString reason(int rc) {
    return rc == MOSQ_ERR_ERRNO ? QString::fromLocal8Bit(std::strerror(errno))
                                : QString::fromUtf8(mosquitto_strerror(rc));
}

const QByteArray kOnline = QByteArrayLiteral("online");
const QByteArray kOffline = QByteArrayLiteral("offline");

class MqttSink final : public QObject, public feed::Sink {
public:
    MqttSink(const Config& config, feed::Host& host) : config_(config), host_(host) {
        syncTimer_.setSingleShot(true);
        QObject::connect(&syncTimer_, &QTimer::timeout, this, [this] { syncJournal(); });
    }
    ~MqttSink() override { stop(); }

    bool start(const feed::Run& run, QString* error) override;
    void record(const feed::Record& record) override;
    void meterChanged(int index, const feed::Meter& meter) override;
    void stop() override;

private:
    struct Event {
        enum class Kind { Connected, Refused, Disconnected, Acked } kind;
        int code = 0;
        QString why{};  // in words, taken where it happened (errno is the thread's)
    };

    // The client's thread.
    static void onConnect(mosquitto*, void* self, int rc) {
        if (rc == 0) {
            std::lock_guard lock(static_cast<MqttSink*>(self)->mutex_);
            static_cast<MqttSink*>(self)->connectedOnce_ = true;
        }
        static_cast<MqttSink*>(self)->post(
            {rc == 0 || rc == 3 ? (rc == 0 ? Event::Kind::Connected : Event::Kind::Disconnected)
                                : Event::Kind::Refused,
             rc});
    }
    static void onDisconnect(mosquitto*, void* self, int rc) {
        auto* sink = static_cast<MqttSink*>(self);
        sink->post(rc == MOSQ_ERR_TLS ? sink->tlsFailure()
                                      : Event{Event::Kind::Disconnected, rc, reason(rc)});
    }
    static void onLog(mosquitto*, void* self, int level, const char* text) {
        if ((level & MOSQ_LOG_ERR) != 0 && std::strstr(text, "OpenSSL") != nullptr) {
            auto* sink = static_cast<MqttSink*>(self);
            std::lock_guard lock(sink->mutex_);
            sink->tlsError_ = QString::fromUtf8(text);
        }
    }
    static void onPublish(mosquitto*, void* self, int mid) {
        static_cast<MqttSink*>(self)->post({Event::Kind::Acked, mid});
    }
    void post(Event event);
    void network();
    // A certificate that does not verify does not mend by trying again: the
    // run ends as for refused credentials.
    Event tlsFailure() {
        std::lock_guard lock(mutex_);
        return {Event::Kind::Refused, MOSQ_ERR_TLS,
                QStringLiteral("the TLS handshake failed (%1)")
                    .arg(tlsError_.isEmpty() ? reason(MOSQ_ERR_TLS) : tlsError_)};
    }

    // The event loop's thread.
    void drain();
    std::vector<Event> takeEvents();
    bool handle(const Event& event);
    void syncJournal();
    // The run ends with `code`, and stop() with it: told from the event loop,
    // never from inside a call of the run's.
    void fail(int code, const QString& why);
    void pump();
    bool publish(const QString& topic, const QByteArray& payload, bool retain, int* mid);
    // Availability (with `online`) and the discovery messages.
    void announce(bool online = true);
    bool waitFor(Clock::time_point deadline, const std::function<bool()>& done);
    qint64 waiting() const { return journal_.pending(); }

    Config config_;
    feed::Host& host_;
    feed::Run run_;
    Journal journal_;
    mosquitto* client_ = nullptr;
    std::thread network_;
    bool quit_ = false;  // under mutex_: the network thread ends

    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Event> events_;
    bool drainPosted_ = false;
    bool connectedOnce_ = false;  // the pause between attempts starts again
    QString tlsError_;            // the TLS library's last word

    bool connected_ = false;
    bool everConnected_ = false;
    bool absenceTold_ = false;  // the operator knows the broker is away
    bool stopped_ = false;
    bool failed_ = false;                     // the run is told to end
    bool disconnected_ = false;               // since our own disconnect
    std::unordered_map<int, qint64> handed_;  // message id: sequence number
    qint64 lastHanded_ = 0;
    int statusMid_ = -1;
    bool statusAcked_ = false;
    QTimer syncTimer_;
    QElapsedTimer sinceSync_;
};

QString brokerText(const Config& c) {
    return QStringLiteral("the broker at %1").arg(c.url);
}

bool MqttSink::start(const feed::Run& run, QString* error) {
    run_ = run;
    QStringList notes;
    if (!journal_.open(config_.journal, config_.journalBytes, error, &notes)) {
        return false;
    }
    for (const QString& note : notes) {
        host_.message(note);
    }
    if (journal_.pending() > 0) {
        host_.message(QStringLiteral("the journal %1 holds %2 readings %3 never acknowledged; "
                                     "they go first")
                          .arg(journal_.path())
                          .arg(journal_.pending())
                          .arg(brokerText(config_)));
    }
    static const bool initialised = mosquitto_lib_init() == MOSQ_ERR_SUCCESS;
    if (!initialised) {
        *error = QStringLiteral("the MQTT client library could not start");
        return false;
    }
    std::array<char, 64> name{};
    ::gethostname(name.data(), name.size() - 1);
    const QByteArray id = QStringLiteral("vxlog-%1-%2")
                              .arg(QString::fromLocal8Bit(name.data()).left(12))
                              .arg(::getpid())
                              .toUtf8();
    client_ = mosquitto_new(id.constData(), true, this);
    if (client_ == nullptr) {
        *error = QStringLiteral("the MQTT client could not be made");
        return false;
    }
    mosquitto_int_option(client_, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    // Readings are small and go one by one: without this, a backlog waits
    // on the delayed acknowledgements of TCP between messages.
    mosquitto_int_option(client_, MOSQ_OPT_TCP_NODELAY, 1);
    mosquitto_max_inflight_messages_set(client_, unsigned(config_.window));
    mosquitto_connect_callback_set(client_, &MqttSink::onConnect);
    mosquitto_disconnect_callback_set(client_, &MqttSink::onDisconnect);
    mosquitto_publish_callback_set(client_, &MqttSink::onPublish);
    mosquitto_log_callback_set(client_, &MqttSink::onLog);
    mosquitto_threaded_set(client_, true);
    const QByteArray status = config_.statusTopic().toUtf8();
    int rc = mosquitto_will_set(client_, status.constData(), int(kOffline.size()),
                                kOffline.constData(), kQos, true);
    if (rc == MOSQ_ERR_SUCCESS && !config_.username.isEmpty()) {
        rc = mosquitto_username_pw_set(
            client_, config_.username.toUtf8().constData(),
            config_.password.isEmpty() ? nullptr : config_.password.toUtf8().constData());
    }
    if (rc == MOSQ_ERR_SUCCESS && config_.tls) {
        const QByteArray ca = config_.caFile.toLocal8Bit();
        if (ca.isEmpty()) {
            rc = mosquitto_int_option(client_, MOSQ_OPT_TLS_USE_OS_CERTS, 1);
        } else {
            rc = mosquitto_tls_set(client_, ca.constData(), nullptr, nullptr, nullptr, nullptr);
        }
    }
    if (rc != MOSQ_ERR_SUCCESS) {
        *error = QStringLiteral("%1: %2").arg(brokerText(config_),
                                              QString::fromUtf8(mosquitto_strerror(rc)));
        return false;
    }
    network_ = std::thread([this] { network(); });
    // A broker that takes its time is told once, not at every attempt.
    QTimer::singleShot(kTellAfterMs, this, [this] {
        if (!stopped_ && !everConnected_ && !absenceTold_) {
            post({Event::Kind::Disconnected, MOSQ_ERR_CONN_PENDING,
                  QStringLiteral("no answer yet")});
        }
    });
    sinceSync_.start();
    return true;
}

void MqttSink::record(const feed::Record& record) {
    if (stopped_ || failed_ || !journal_.isOpen()) {
        return;
    }
    const qint64 sequence = journal_.last() + 1;
    QByteArray bytes = payload(config_.format, run_, record, sequence);
    if (bytes.endsWith('\n')) {
        bytes.chop(1);  // lines between lines; a message needs no last line end
    }
    qint64 dropped = 0;
    if (journal_.append(bytes, &dropped) == 0) {
        fail(kExitJournal, journal_.error() + QStringLiteral("; the readings before are kept"));
        return;
    }
    if (dropped > 0) {
        host_.message(QStringLiteral("the journal %1 is full: dropped the %2 oldest readings "
                                     "the broker never acknowledged")
                          .arg(journal_.path())
                          .arg(dropped));
    }
    const qint64 since = sinceSync_.elapsed();
    if (config_.syncMs == 0 || since >= config_.syncMs) {
        syncJournal();
    } else if (!syncTimer_.isActive()) {
        syncTimer_.start(int(config_.syncMs - since));
    }
}

void MqttSink::fail(int code, const QString& why) {
    if (failed_) {
        return;
    }
    failed_ = true;
    QMetaObject::invokeMethod(
        this, [this, code, why] { host_.fatal(code, why); }, Qt::QueuedConnection);
}

void MqttSink::meterChanged(int index, const feed::Meter& meter) {
    if (index < 0 || index >= int(run_.meters.size())) {
        return;
    }
    const bool newIdentity = meter.identity != run_.meters[std::size_t(index)].identity;
    run_.meters[std::size_t(index)] = meter;
    if (newIdentity && connected_ && config_.discovery && !stopped_) {
        announce(false);
    }
}

void MqttSink::syncJournal() {
    if (stopped_ || failed_) {
        return;
    }
    syncTimer_.stop();
    if (!journal_.sync()) {
        fail(kExitJournal, journal_.error());
        return;
    }
    sinceSync_.restart();
    pump();
}

// Hands the client the readings on the disk that it does not have yet, in
// order, while the broker is there, up to the window.
void MqttSink::pump() {
    while (connected_ && int(handed_.size()) < config_.window) {
        const std::optional<Journal::Entry> entry = journal_.next(lastHanded_, journal_.synced());
        if (!entry) {
            return;
        }
        int mid = 0;
        if (!publish(config_.readingsTopic(), entry->payload, false, &mid)) {
            return;
        }
        handed_[mid] = entry->sequence;
        lastHanded_ = entry->sequence;
    }
}

bool MqttSink::publish(const QString& topic, const QByteArray& payload, bool retain, int* mid) {
    const int rc = mosquitto_publish(client_, mid, topic.toUtf8().constData(), int(payload.size()),
                                     payload.constData(), kQos, retain);
    // Not connected (gone a moment ago): the client keeps the message and
    // sends it when it is back.
    return rc == MOSQ_ERR_SUCCESS || rc == MOSQ_ERR_NO_CONN;
}

void MqttSink::announce(bool online) {
    if (online) {
        publish(config_.statusTopic(), kOnline, true, nullptr);
    }
    // Home Assistant shows the meter's model: the discovery waits for the
    // meters' answers to *IDN?.
    const bool known = std::all_of(run_.meters.begin(), run_.meters.end(),
                                   [](const feed::Meter& m) { return !m.identity.isEmpty(); });
    if (config_.discovery && known) {
        for (const Discovery& d : discoveryMessages(run_, config_.prefix, config_.readingsTopic(),
                                                    config_.statusTopic())) {
            publish(d.topic, d.payload, true, nullptr);
        }
    }
}

// The network thread: connect, run the client's loop while the connection
// lasts, pause (1, 2, 4 ... s up to the most), try again, until quit_.
void MqttSink::network() {
    const QByteArray host = config_.host.toUtf8();
    int pauseS = config_.reconnectMinS;
    bool first = true;
    for (;;) {
        int rc = first ? mosquitto_connect_async(client_, host.constData(), config_.port,
                                                 config_.keepaliveS)
                       : mosquitto_reconnect_async(client_);
        first = false;
        while (rc == MOSQ_ERR_SUCCESS) {
            {
                std::lock_guard lock(mutex_);
                if (quit_) {
                    return;
                }
                if (connectedOnce_) {
                    pauseS = config_.reconnectMinS;
                    connectedOnce_ = false;
                }
            }
            rc = mosquitto_loop(client_, kLoopMs, 1);
        }
        if (rc == MOSQ_ERR_TLS) {
            post(tlsFailure());
        } else if (rc != MOSQ_ERR_CONN_LOST) {
            // A failed attempt calls no callback: say so here (told once).
            post({Event::Kind::Disconnected, rc, reason(rc)});
        }
        std::unique_lock lock(mutex_);
        if (changed_.wait_for(lock, std::chrono::seconds(pauseS), [this] { return quit_; })) {
            return;
        }
        pauseS = std::min(pauseS * 2, config_.reconnectMaxS);
    }
}

void MqttSink::post(Event event) {
    std::lock_guard lock(mutex_);
    events_.push_back(event);
    changed_.notify_all();
    if (!drainPosted_) {
        drainPosted_ = true;
        QMetaObject::invokeMethod(
            this, [this] { drain(); }, Qt::QueuedConnection);
    }
}

std::vector<MqttSink::Event> MqttSink::takeEvents() {
    std::lock_guard lock(mutex_);
    drainPosted_ = false;
    return std::exchange(events_, {});
}

void MqttSink::drain() {
    for (const Event& event : takeEvents()) {
        if (!handle(event)) {
            return;
        }
    }
}

// False when the run ends here.
bool MqttSink::handle(const Event& event) {
    switch (event.kind) {
        case Event::Kind::Acked:
            if (const auto it = handed_.find(event.code); it != handed_.end()) {
                journal_.acknowledge(it->second);
                handed_.erase(it);
            } else if (event.code == statusMid_) {
                statusAcked_ = true;
            }
            break;
        case Event::Kind::Connected:
            if (connected_) {
                break;
            }
            connected_ = true;
            if (!stopped_) {
                if (absenceTold_) {
                    host_.message(
                        QStringLiteral("%1 answers%2; sending the %3 readings that waited")
                            .arg(brokerText(config_),
                                 everConnected_ ? QStringLiteral(" again") : QString())
                            .arg(waiting()));
                }
                absenceTold_ = false;
                announce();
            }
            everConnected_ = true;
            break;
        case Event::Kind::Disconnected:
            if (stopped_ || failed_) {
                disconnected_ = true;
                connected_ = false;
                break;
            }
            if (!absenceTold_ && (connected_ || !everConnected_)) {
                absenceTold_ = true;
                const QString& why = event.why;
                host_.message(QStringLiteral("%1 %2 (%3); readings wait in the journal %4 "
                                             "until it answers")
                                  .arg(brokerText(config_),
                                       connected_ ? QStringLiteral("went away")
                                                  : QStringLiteral("does not answer"),
                                       why, journal_.path()));
            }
            connected_ = false;
            break;
        case Event::Kind::Refused:
            if (stopped_) {
                break;
            }
            {
                const QString why =
                    event.code == MOSQ_ERR_TLS
                        ? QStringLiteral("%1: %2").arg(brokerText(config_), event.why)
                        : QStringLiteral("%1 refused the connection: %2")
                              .arg(brokerText(config_),
                                   QString::fromUtf8(mosquitto_connack_string(event.code)));
                fail(kExitRefused, why);
            }
            return false;
    }
    if (!stopped_) {
        pump();
    }
    return true;
}

bool MqttSink::waitFor(Clock::time_point deadline, const std::function<bool()>& done) {
    while (!done()) {
        {
            std::unique_lock lock(mutex_);
            if (events_.empty() &&
                !changed_.wait_until(lock, deadline, [this] { return !events_.empty(); })) {
                return false;
            }
        }
        for (const Event& event : takeEvents()) {
            handle(event);
        }
        pump();
    }
    return true;
}

// What is on the disk goes to the broker while there is time; the rest
// stays in the journal for the next run.
void MqttSink::stop() {
    if (stopped_) {
        return;
    }
    stopped_ = true;
    syncTimer_.stop();
    if (journal_.isOpen()) {
        journal_.sync();
    }
    if (network_.joinable()) {
        const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(config_.stopMs);
        for (const Event& event : takeEvents()) {
            handle(event);
        }
        pump();
        waitFor(deadline, [this] {
            return !connected_ ||
                   (handed_.empty() && !journal_.next(lastHanded_, journal_.synced()));
        });
        if (connected_ && publish(config_.statusTopic(), kOffline, true, &statusMid_)) {
            waitFor(deadline, [this] { return !connected_ || statusAcked_; });
        }
        if (connected_) {
            mosquitto_disconnect(client_);
            waitFor(Clock::now() + std::chrono::milliseconds(500),
                    [this] { return disconnected_; });
        }
        {
            std::lock_guard lock(mutex_);
            quit_ = true;
            changed_.notify_all();
        }
        network_.join();
        for (const Event& event : takeEvents()) {
            handle(event);
        }
    }
    if (client_ != nullptr) {
        mosquitto_destroy(client_);
        client_ = nullptr;
    }
    if (journal_.isOpen()) {
        const qint64 left = journal_.pending();
        const QString path = journal_.path();
        journal_.close();
        if (left > 0) {
            host_.message(QStringLiteral("%1 readings wait in the journal %2 for %3; the next "
                                         "run with it sends them")
                              .arg(left)
                              .arg(path, brokerText(config_)));
        }
    }
}

}  // namespace

}  // namespace vx::publish

extern "C" __attribute__((visibility("default"))) vx::feed::Sink* vxlog_mqtt_sink(
    const vx::publish::Config* config, vx::feed::Host* host) {
    return new vx::publish::MqttSink(*config, *host);
}
