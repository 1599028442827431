#include "sim/cli/timeline_printer.h"

#include <cstdio>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>

#include "sim/utf8.h"

namespace brimlane::sim::cli {
namespace {

// One colour per kind of actor, so a person can follow who did what.
const char* colourOf(Source source) {
  switch (source) {
    case Source::kUser:
      return "\033[1;33m";
    case Source::kKeyboard:
      return "\033[35m";
    case Source::kPasteboard:
      return "\033[36m";
    case Source::kChannel:
      return "\033[32m";
    case Source::kPanel:
    case Source::kMenuBar:
      return "\033[34m";
    case Source::kStdout:
      return "\033[1;31m";
    case Source::kStderr:
      return "\033[31m";
    default:
      return "\033[2m";
  }
}

// One event as one line of JSON. JSON text is Unicode, but a text on the
// simulated desktop is whatever bytes it was given (by a scenario file saved
// as Latin-1, say): each sequence that is not UTF-8 is written as U+FFFD, and
// "replaced" lists the fields where that happened.
std::string jsonLine(const TimelineEvent& event, bool wire) {
  nlohmann::ordered_json line;
  nlohmann::ordered_json replaced = nlohmann::ordered_json::array();
  auto text = [&](const char* field, std::string_view value) {
    if (!isUtf8(value)) replaced.push_back(field);
    line[field] = std::string(value);
  };
  line["time"] = toSeconds(event.time);
  text("source", sourceName(event.source));
  text("event", event.event);
  text("details", event.details);
  if (wire && !event.wire.empty()) text("wire", event.wire);
  if (!replaced.empty()) line["replaced"] = std::move(replaced);
  return line.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

}  // namespace

void printEvent(std::ostream& out, const TimelineEvent& event, const OutputOptions& options) {
  if (options.json) {
    out << jsonLine(event, options.wire) << "\n";
    return;
  }
  const double seconds = toSeconds(event.time);
  char prefix[64];
  std::snprintf(prefix, sizeof prefix, "%8.3f  %-10s  ", seconds,
                std::string(sourceName(event.source)).c_str());
  if (options.colour) {
    out << "\033[2m" << std::string(prefix, 10) << "\033[0m" << colourOf(event.source)
        << std::string(prefix + 10) << "\033[0m" << event.details << "\n";
  } else {
    out << prefix << event.details << "\n";
  }
  if (options.wire && !event.wire.empty()) {
    out << std::string(22, ' ') << (options.colour ? "\033[2m" : "") << event.wire
        << (options.colour ? "\033[0m" : "") << "\n";
  }
}

}  // namespace brimlane::sim::cli
