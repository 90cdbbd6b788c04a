#pragma once

#include <QAbstractSocket>

#include "link/NetworkConnect.h"

// TCP connections to serial device servers: the one part of the link that
// needs Qt Network. The window links it and sets it as the link's connector;
// vxlog loads it as the module vxlog-network on its first tcp:// device.
namespace vx::network {

// Starts a connection to `address`, straight to the device server (never
// through a proxy), with commands sent at once rather than batched.
link::NetworkConnection connectTcp(const link::NetworkAddress& address);

// Qt's socket error as the link's error number (link::ErrorNumber).
int errorNumber(QAbstractSocket::SocketError error);

}  // namespace vx::network
