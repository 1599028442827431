// The process's standard output, for the host's one diagnostic line.
#pragma once

#include <string_view>

namespace brimlane {

class StandardOutput {
 public:
  virtual ~StandardOutput() = default;

  // Writes `line` followed by a newline.
  virtual void writeLine(std::string_view line) = 0;
};

}  // namespace brimlane
