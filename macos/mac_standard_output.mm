// Standard output and error over the C library's streams, flushed after every
// line so the line is there even when the process is ended right after.
#include "macos/mac_standard_output.h"

#include <cstdio>

namespace brimlane {

namespace {

void writeLineTo(std::FILE* stream, std::string_view line) {
  std::fwrite(line.data(), 1, line.size(), stream);
  std::fputc('\n', stream);
  std::fflush(stream);
}

}  // namespace

void MacStandardOutput::writeLine(std::string_view line) {
  writeLineTo(stdout, line);
}

void MacStandardOutput::writeErrorLine(std::string_view line) {
  writeLineTo(stderr, line);
}

}  // namespace brimlane
