// The input's bytes choose what users, applications and the UI code do to a
// launched host; every promise the host makes is checked after each step.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "sim/explorer/desktop_explorer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  brimlane::sim::ByteChoices choices({data, size});
  brimlane::sim::DesktopExplorer explorer(choices);
  if (const std::optional<std::string> broken = explorer.run(200)) {
    std::fprintf(stderr, "%s\n", broken->c_str());
    for (const std::string& step : explorer.steps()) std::fprintf(stderr, "  %s\n", step.c_str());
    std::abort();
  }
  return 0;
}
