#pragma once

#include <QString>

#include "serve/Access.h"

namespace vx::cli {

class Runner;

// Loads the live page's module and hands the run's readings to it; false,
// with `error`, when the module cannot be loaded.
bool addServe(Runner& runner, const serve::Config& config, QString* error);

}  // namespace vx::cli
