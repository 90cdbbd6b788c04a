#pragma once

#include <QString>
#include <QStringList>

#include "publish/Payload.h"

// Where and how vxlog publishes (--mqtt and the options beside it), as the
// command line gave it and as the checks at parse time found it. Plain
// values: the broker module gets it as it is.
namespace vx::publish {

struct Config {
    QString url;  // as given, for messages
    QString host;
    int port = 1883;
    bool tls = false;  // mqtts://
    QString prefix;    // the topics' first levels, "lab/bench1"
    QString caFile;    // --mqtt-ca
    QString username;  // from --mqtt-auth or the environment, never the command line
    QString password;
    PayloadFormat format = PayloadFormat::Json;
    bool discovery = false;
    QString journal;  // the journal file
    qint64 journalBytes = qint64(64) << 20;
    int syncMs = 1000;  // fdatasync at most this often; 0: every reading
    // Waits of the client: tests shorten them.
    int reconnectMinS = 1;
    int reconnectMaxS = 10;
    int keepaliveS = 30;
    int stopMs = 3000;  // at the end, for the broker to take what is left
    int window = 100;   // readings handed to the client and not yet acknowledged

    QString readingsTopic() const { return prefix + QStringLiteral("/readings"); }
    QString statusTopic() const { return prefix + QStringLiteral("/status"); }
};

// The variables that carry credentials when no --mqtt-auth is given.
inline constexpr const char* kUserVariable = "VXLOG_MQTT_USERNAME";
inline constexpr const char* kPasswordVariable = "VXLOG_MQTT_PASSWORD";

// mqtt://HOST[:PORT]/PREFIX or mqtts://...: host, port, TLS and prefix into
// `config`; an error text naming what is wrong, or empty.
QString readUrl(const QString& url, Config& config);

// username=NAME and password=SECRET lines ("#" starts a comment) into
// `config`; an error text, or empty. A file others may read gets a note.
QString readAuthFile(const QString& path, Config& config, QStringList* notes);

// "64M", "512K", "1G" or a number of bytes; -1 when it is none of these.
qint64 readSize(const QString& text);

// $XDG_STATE_HOME/vxlog (or ~/.local/state/vxlog) and a name made of the
// broker and the prefix: one journal for each place readings go.
QString defaultJournal(const Config& config);

}  // namespace vx::publish

namespace vx::publish {

// The run's exit status when the broker refuses the connection (bad
// credentials, not authorised), and when the journal cannot be written
// (as for the output file).
inline constexpr int kExitRefused = 8;
inline constexpr int kExitJournal = 5;

}  // namespace vx::publish
