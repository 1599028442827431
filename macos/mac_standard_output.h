// The process's standard output and error. Objective-C++ only, like the rest
// of macos/.
#pragma once

#include "app/platform/standard_output.h"

namespace brimlane {

class MacStandardOutput : public StandardOutput {
 public:
  void writeLine(std::string_view line) override;
  void writeErrorLine(std::string_view line) override;
};

}  // namespace brimlane
