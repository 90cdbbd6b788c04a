#pragma once

#include "feed/Feed.h"
#include "serve/Access.h"

// The live page as a module (plugin/Plugin.h): vxlog loads it only for a
// run with --serve, so a run without it never loads Qt Network, Qt
// HttpServer or Qt WebSockets.
namespace vx::serve {

inline constexpr char16_t kModule[] = u"vxlog-serve";
inline constexpr char kEntry[] = "vxlog_serve_sink";

// The sink that serves the page for `config`; it tells `host` what the
// operator needs to know (the address, a viewer dropped).
using Entry = feed::Sink* (*)(const Config& config, feed::Host& host);

}  // namespace vx::serve
