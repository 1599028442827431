// Prints timeline events as the simulator shows them: aligned text for a
// person, or JSON lines for a program.
#pragma once

#include <iosfwd>

#include "sim/cli/scenario_runner.h"
#include "sim/timeline.h"

namespace brimlane::sim::cli {

void printEvent(std::ostream& out, const TimelineEvent& event, const OutputOptions& options);

}  // namespace brimlane::sim::cli
