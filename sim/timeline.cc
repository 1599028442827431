#include "sim/timeline.h"

namespace brimlane::sim {

std::string_view sourceName(Source source) {
  switch (source) {
    case Source::kLaunch:
      return "launch";
    case Source::kUser:
      return "user";
    case Source::kPasteboard:
      return "pasteboard";
    case Source::kKeyboard:
      return "keyboard";
    case Source::kWorkspace:
      return "workspace";
    case Source::kPanel:
      return "panel";
    case Source::kMenuBar:
      return "menu bar";
    case Source::kHotKey:
      return "hot key";
    case Source::kChannel:
      return "channel";
    case Source::kLogin:
      return "login";
    case Source::kStdout:
      return "stdout";
  }
  return "?";
}

void Timeline::record(Source source, std::string event, std::string details, std::string wire) {
  events_.push_back(
      {scheduler_.now(), source, std::move(event), std::move(details), std::move(wire)});
}

std::vector<std::string> Timeline::eventsOf(Source source) const {
  std::vector<std::string> names;
  for (const TimelineEvent& e : events_) {
    if (e.source == source) names.push_back(e.event);
  }
  return names;
}

}  // namespace brimlane::sim
