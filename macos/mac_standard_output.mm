// Standard output over the C library's stdout, flushed after every line so the
// line is there even when the process is ended right after.
#include "macos/mac_standard_output.h"

#include <cstdio>

namespace brimlane {

void MacStandardOutput::writeLine(std::string_view line) {
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

}  // namespace brimlane
