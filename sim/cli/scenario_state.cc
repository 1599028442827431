#include "sim/cli/scenario_state.h"

namespace brimlane::sim::cli {

SimApp& ScenarioState::appNamed(const std::string& name) {
  if (name == "host") return desktop.workspace().host();
  SimApp* app = desktop.workspace().find(name);
  if (!app) app = &desktop.workspace().launchApp(name, "com.example." + name, newPid());
  return *app;
}

}  // namespace brimlane::sim::cli
