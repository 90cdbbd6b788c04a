// vxlog-network: TCP connections for programs that load the network stack
// only when a run opens a tcp:// device.
#include "network/TcpConnector.h"

extern "C" __attribute__((visibility("default"))) vx::link::NetworkConnector vxNetworkConnector() {
    return &vx::network::connectTcp;
}
