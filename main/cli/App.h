#pragma once

#include <QStringList>

namespace vx::cli {

// The whole of vxlog: parses `arguments` (without the program name), runs
// the event loop of the running QCoreApplication, and returns the exit
// status.
int runApp(const QStringList& arguments);

}  // namespace vx::cli
