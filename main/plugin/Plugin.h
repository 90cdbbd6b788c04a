#pragma once

#include <QString>
#include <QStringView>
#include <QtGlobal>

// Parts a program loads only when a run asks for them: what they link (the
// network stack, TLS, an HTTP server) costs memory and start-up time in every
// run that does not need it. A module is a shared object, NAME.so, in the
// program's own folder or, installed, in ../lib/vxmeter beside it. Nothing
// else is searched: no variable of the environment chooses code to load.
namespace vx::plugin {

// The folders searched, in order.
QStringList folders();

// Loads module `name` (once; later calls find it loaded) and returns its
// entry point `symbol`. Null when it cannot: `error` then says why in plain
// words ("the module vxlog-mqtt.so is not installed ...").
QFunctionPointer resolve(QStringView name, const char* symbol, QString* error);

}  // namespace vx::plugin
