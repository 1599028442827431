#include "sim/timeline.h"

#include <algorithm>

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
    case Source::kStderr:
      return "stderr";
  }
  return "?";
}

void Timeline::record(Source source, std::string event, std::string details, std::string wire) {
  // Dropped before the new event goes in, so the newest is always kept.
  if (latest_ && events_.size() + 1 >= 2 * *latest_) {
    const std::size_t excess = events_.size() + 1 - *latest_;
    events_.erase(events_.begin(), events_.begin() + static_cast<std::ptrdiff_t>(excess));
    dropped_ += excess;
  }
  events_.push_back(
      {scheduler_.now(), source, std::move(event), std::move(details), std::move(wire)});
}

void Timeline::keepLatest(std::optional<std::size_t> latest) {
  latest_ = latest ? std::optional(std::max<std::size_t>(*latest, 1)) : std::nullopt;
  if (latest_) events_.reserve(2 * *latest_);
}

std::vector<std::string> Timeline::eventsOf(Source source) const {
  std::vector<std::string> names;
  for (const TimelineEvent& e : events_) {
    if (e.source == source) names.push_back(e.event);
  }
  return names;
}

}  // namespace brimlane::sim
