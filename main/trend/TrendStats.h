#pragma once

#include "logread/Stats.h"

namespace vx::trend {

// Running statistics of one reading column: count, gaps, last, minimum,
// maximum, mean, standard deviation and peak-to-peak. The Trend window keeps
// one for each display column; a log file's sessions carry the same figures.
using TrendStats = logread::Stats;

}  // namespace vx::trend
