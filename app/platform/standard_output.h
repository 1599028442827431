// The process's standard output, for the host's one diagnostic line, and its
// standard error, for what a developer starting the host should know.
#pragma once

#include <string_view>

namespace brimlane {

class StandardOutput {
 public:
  virtual ~StandardOutput() = default;

  // Writes `line` followed by a newline.
  virtual void writeLine(std::string_view line) = 0;

  // Writes `line` followed by a newline to standard error.
  virtual void writeErrorLine(std::string_view line) = 0;
};

}  // namespace brimlane
