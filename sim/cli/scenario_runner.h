// Runs a scenario on the simulated desktop: each line is read into a command
// (set-up, action or expectation, from the command table) and run in order,
// and the desktop's timeline is printed as it grows.
#pragma once

#include <iosfwd>
#include <string>
#include <variant>

#include "sim/cli/command_table.h"
#include "sim/cli/scenario_state.h"

namespace brimlane::sim::cli {

struct OutputOptions {
  bool json = false;    // JSON lines instead of text
  bool wire = false;    // channel messages as hex bytes too
  bool quiet = false;   // only failed expectations
  bool colour = false;  // ANSI colours in the text timeline
};

class ScenarioRunner {
 public:
  using Command = cli::Command;

  ScenarioRunner(std::string fileName, OutputOptions options, std::ostream& out, std::ostream& err);

  // Reads one line into a command; the message says what is wrong with it.
  // Blank and comment lines give an empty command.
  std::variant<Command, std::string> read(const std::string& line);
  // Runs a command read from `lineNumber`, then prints what happened.
  void run(int lineNumber, const Command& command);
  // Prints whatever the timeline gained since the last print.
  void flush();
  // The scenario has ended: a line timed for a moment that never came is a
  // failure, since what it states was never checked or done.
  void finish();

  int failures() const { return failures_; }
  const std::string& fileName() const { return fileName_; }

 private:
  // Records a failed expectation.
  void fail(const std::string& expected, const std::string& got);

  std::string fileName_;
  OutputOptions options_;
  std::ostream& out_;
  std::ostream& err_;
  ScenarioState state_;

  int failures_ = 0;
  std::size_t printed_ = 0;
};

}  // namespace brimlane::sim::cli
