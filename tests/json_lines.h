// What one line of `brimlane-sim --json` must be: one JSON object with the
// fields of a timeline event, and nothing else. Shared by the printer's tests
// and by the check that runs over the output of every scenario.
#pragma once

#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <string_view>

namespace brimlane::sim {

// Why the line is not a timeline event in JSON, or "" when it is one.
inline std::string jsonLineProblem(std::string_view line) {
  // Without exceptions: a line that is not JSON, text that is not UTF-8
  // included, comes back discarded.
  const nlohmann::json event = nlohmann::json::parse(line, nullptr, false);
  if (event.is_discarded()) return "not JSON";
  if (!event.is_object()) return "not one JSON object";
  if (!event.contains("time") || !event["time"].is_number()) return "no number \"time\"";
  const std::set<std::string> texts{"source", "event", "details", "wire"};
  for (const std::string field : {"source", "event", "details"}) {
    if (!event.contains(field)) return "no \"" + field + "\"";
  }
  for (const auto& [field, value] : event.items()) {
    if (field == "time") continue;
    if (texts.contains(field)) {
      if (!value.is_string()) return "\"" + field + "\" is not a string";
    } else if (field == "replaced") {
      if (!value.is_array() || value.empty()) return "\"replaced\" is not a list of fields";
      for (const nlohmann::json& name : value) {
        if (!name.is_string() || !texts.contains(name.get<std::string>()) ||
            !event.contains(name.get<std::string>())) {
          return "\"replaced\" names " + name.dump() + ", no text field of this line";
        }
      }
    } else {
      return "unknown field \"" + field + "\"";
    }
  }
  return "";
}

}  // namespace brimlane::sim
