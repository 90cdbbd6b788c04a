#pragma once

#include <QString>

#include <chrono>
#include <optional>

// Meters on the network. A serial device server (ser2net in raw mode, or a
// serial-to-Ethernet box in TCP server mode) carries the meter's serial line
// over one TCP connection, byte for byte in both directions. Wherever a
// serial device path may stand (VXMETER_COM<n>, a logger's --port) the text
//
//   tcp://HOST:PORT        tcp://benchserver:4001
//                          tcp://192.168.1.20:4001
//                          tcp://[fe80::1%eth0]:4001   (IPv6 in brackets)
//
// names such a line instead. The baud rate, parity and stop bits are the
// device server's settings: the program's choice never reaches the line.
// The terminator and the framing are the same as on a serial port.
namespace vx::link {

// How long a connection attempt may take, name lookup included.
inline constexpr std::chrono::milliseconds kConnectLimit{3000};

struct NetworkAddress {
    QString host;  // name or address, without IPv6 brackets
    quint16 port = 0;
};

// True when `device` is a tcp:// text (whether or not it is well formed).
bool isNetworkDevice(const QString& device);

// The host and port of a tcp:// text; nothing, and `error` says what is
// wrong, when the text has no usable host and port.
std::optional<NetworkAddress> parseNetworkDevice(const QString& device, QString* error = nullptr);

// The text for a COM entry's tool tip: the device itself, and for a network
// line where its baud rate is set.
QString describeDevice(const QString& device);

// A failed or ended connection as the operator reads it: `error` is the
// connector's ErrorNumber (NetworkConnect.h), `systemText` the system's words.
struct NetworkFailure {
    int error = 0;
    QString reason;
};
NetworkFailure networkFailure(int error, const QString& device, const QString& systemText);
NetworkFailure connectTimedOut(const QString& device,
                               std::chrono::milliseconds limit = kConnectLimit);

}  // namespace vx::link
