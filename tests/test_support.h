// Helpers shared by the tests: reading the simulated desktop's timeline.
#pragma once

#include <string>
#include <vector>

#include "sim/sim_desktop.h"

namespace brimlane::sim {

// "source: event" for each timeline event, in order, optionally only those of
// the given sources.
inline std::vector<std::string> steps(const Timeline& timeline, std::vector<Source> sources = {}) {
  std::vector<std::string> result;
  for (const TimelineEvent& e : timeline.events()) {
    if (!sources.empty() && std::find(sources.begin(), sources.end(), e.source) == sources.end()) {
      continue;
    }
    result.push_back(std::string(sourceName(e.source)) + ": " + e.event);
  }
  return result;
}

inline std::string plainText(const SimPasteboard& pasteboard) {
  auto& mutablePasteboard = const_cast<SimPasteboard&>(pasteboard);
  return mutablePasteboard.stringForTypeString().value_or("<none>");
}

}  // namespace brimlane::sim
