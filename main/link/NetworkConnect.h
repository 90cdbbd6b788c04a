#pragma once

#include <QIODevice>
#include <QString>

#include <functional>
#include <memory>

#include "link/NetworkPort.h"

// The seam between the link and the code that makes TCP connections. The
// link itself needs only Qt Core and Qt Serial Port; the network stack (and
// what it pulls in: Kerberos, proxies, TLS) is loaded by the runs that open
// a tcp:// device. A connector is a plain function: it gets the address and
// hands back a device whose bytes are the line, and it tells the link how the
// connection fares through callbacks. Nothing here needs the network
// headers, so the connector can live in a module loaded on first use.
namespace vx::link {

// Input nobody asked for waits at the port unread; past this much the port
// stops taking more from the system instead of growing without end.
inline constexpr qint64 kPortReadBufferBytes = 1 << 20;

// How a connection fares, from the connector to the link. The connector sets
// `connected` and calls the callbacks; the link sets the callbacks while it
// holds the device and clears them when it lets go. A callback is copied
// before it is called: the link may clear it from inside.
struct NetworkProgress {
    bool connected = false;
    std::function<void()> onConnected;
    // `error` is an ErrorNumber (kConnectionRefused, kHostNotFound, ...,
    // kNetworkFailed for any other), `systemText` the system's own words.
    std::function<void(int error, const QString& systemText)> onFailed;
};

struct NetworkConnection {
    // Open, perhaps still connecting; null when the attempt failed at once,
    // and then `error` and `systemText` say why.
    std::unique_ptr<QIODevice> device;
    std::shared_ptr<NetworkProgress> progress;
    int error = 0;
    QString systemText;
};

using NetworkConnector = NetworkConnection (*)(const NetworkAddress& address);

// The entry of a network module: a function without arguments returning its
// connector.
inline constexpr const char* kNetworkModule = "vxlog-network";
inline constexpr const char* kNetworkEntry = "vxNetworkConnector";
using NetworkEntry = NetworkConnector (*)();

// The connector tcp:// devices use. A program that links the network stack
// anyway sets its own; otherwise the first tcp:// device loads the module
// (vx::plugin::resolve). Null restores that default.
void setNetworkConnector(NetworkConnector connector);

// The connector in use, loading the module if it must; null when it cannot
// be had, `error` then saying why.
NetworkConnector networkConnector(QString* error);

}  // namespace vx::link
