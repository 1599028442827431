#include "sim/cli/scenario_state.h"

#include <cstdio>

namespace brimlane::sim::cli {

std::string formatTime(SimTime time) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", toSeconds(time));
  return text;
}

SimApp& ScenarioState::appNamed(const std::string& name) {
  if (name == "host") return desktop.workspace().host();
  SimApp* app = desktop.workspace().find(name);
  if (!app) app = &desktop.workspace().launchApp(name, "com.example." + name, newPid());
  return *app;
}

}  // namespace brimlane::sim::cli
