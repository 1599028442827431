#include "sim/cli/timeline_printer.h"

#include <cstdio>
#include <ostream>
#include <string>

namespace brimlane::sim::cli {
namespace {

std::string jsonString(std::string_view text) {
  std::string json = "\"";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    switch (c) {
      case '"':
        json += "\\\"";
        break;
      case '\\':
        json += "\\\\";
        break;
      case '\n':
        json += "\\n";
        break;
      case '\t':
        json += "\\t";
        break;
      case '\r':
        json += "\\r";
        break;
      default:
        if (byte < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
          json += escaped;
        } else {
          json += c;
        }
    }
  }
  return json + "\"";
}

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
    default:
      return "\033[2m";
  }
}

}  // namespace

void printEvent(std::ostream& out, const TimelineEvent& event, const OutputOptions& options) {
  const double seconds = toSeconds(event.time);
  if (options.json) {
    char time[32];
    std::snprintf(time, sizeof time, "%.6f", seconds);
    out << "{\"time\": " << time << ", \"source\": " << jsonString(sourceName(event.source))
        << ", \"event\": " << jsonString(event.event)
        << ", \"details\": " << jsonString(event.details);
    if (options.wire && !event.wire.empty()) out << ", \"wire\": " << jsonString(event.wire);
    out << "}\n";
    return;
  }
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
