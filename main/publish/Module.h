#pragma once

#include "feed/Feed.h"
#include "publish/Config.h"

// The broker module's entry point: vxlog-mqtt.so, loaded with
// plugin::resolve only by runs with --mqtt, so the MQTT client library and
// TLS are loaded by no other.
namespace vx::publish {

inline constexpr const char* kModule = "vxlog-mqtt";
inline constexpr const char* kEntry = "vxlog_mqtt_sink";

// A new sink that publishes to the broker `config` names and tells `host`
// what the operator should know; the caller owns it.
using SinkFactory = feed::Sink* (*)(const Config* config, feed::Host* host);

}  // namespace vx::publish
