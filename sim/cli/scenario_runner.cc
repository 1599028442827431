#include "sim/cli/scenario_runner.h"

#include <ostream>

#include "sim/cli/timeline_printer.h"

namespace brimlane::sim::cli {

ScenarioRunner::ScenarioRunner(std::string fileName, OutputOptions options, std::ostream& out,
                               std::ostream& err)
    : fileName_(std::move(fileName)),
      options_(options),
      out_(out),
      err_(err),
      state_([this](const std::string& expected, const std::string& got) { fail(expected, got); }) {
}

std::variant<ScenarioRunner::Command, std::string> ScenarioRunner::read(const std::string& line) {
  return readLine(state_, line);
}

void ScenarioRunner::run(int lineNumber, const Command& command) {
  if (!command) return;
  state_.line = lineNumber;
  ++state_.commandsRun;
  command();
  flush();
}

void ScenarioRunner::flush() {
  const auto& events = state_.desktop.timeline().events();
  for (; printed_ < events.size(); ++printed_) {
    if (!options_.quiet) printEvent(out_, events[printed_], options_);
  }
  out_.flush();
}

void ScenarioRunner::finish() {
  for (const ScenarioState::Timed& timed : state_.timedPending) {
    state_.line = timed.line;
    fail("the line run at " + formatTime(timed.at),
         "the scenario's end at " + formatTime(state_.desktop.now()));
  }
  state_.timedPending.clear();
  flush();
}

void ScenarioRunner::fail(const std::string& expected, const std::string& got) {
  ++failures_;
  flush();
  err_ << fileName_ << ":" << state_.line << ": expected " << expected << ", got " << got << "\n";
  err_.flush();
}

}  // namespace brimlane::sim::cli
