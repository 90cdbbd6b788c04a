#pragma once

#include <QString>

namespace vx::link {

// Error numbers of the link. 13 and 8005 are the two the operator is told
// about in a message box; the others only reach the status line.
enum ErrorNumber : int {
    kNoError = 0,
    kTypeMismatch = 13,        // a port number text that is not a number
    kPermissionDenied = 70,    // no read/write access to the device
    kNoSuchPort = 8002,        // no device behind the COM number
    kComNotNamed = 8003,       // VXMETER_COM<n> is set but names no device
    kPortInUse = 8005,         // the device is held by another program
    kSettingsRejected = 8015,  // the device refused the line settings
    kPortNotOpen = 8018,       // a write while the port is closed
    kWriteFailed = 8020,       // the device refused the bytes
    kNoReply = 8100,           // no terminated reply within the wait
    // A meter behind a serial device server, reached over TCP.
    kBadNetworkAddress = 8110,  // a tcp:// device text without a usable host and port
    kHostNotFound = 8111,       // the host name does not resolve
    kConnectionRefused = 8112,  // nothing listens on that port
    kHostUnreachable = 8113,    // no route to the host or network
    kConnectTimedOut = 8114,    // no connection within the time limit
    kConnectionClosed = 8115,   // the far end closed the connection
    kNetworkFailed = 8116,      // any other network failure
};

}  // namespace vx::link
