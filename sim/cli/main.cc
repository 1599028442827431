// brimlane-sim: runs the host on the simulated desktop, driven by a scenario,
// and prints what a person at that desktop would see happen.
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "sim/cli/scenario_runner.h"

namespace {

using brimlane::sim::cli::OutputOptions;
using brimlane::sim::cli::ScenarioRunner;

constexpr int kAllHeld = 0;
constexpr int kExpectationFailed = 1;
constexpr int kUnreadable = 2;

// A user selects text in a notes application, summons the panel, and the UI
// pastes a rewritten text back; the user's clipboard comes back 0.8 s later.
constexpr const char* kDemonstration = R"(# The built-in demonstration.
app Notes
select Notes "teh quick brown fox"
clipboard "a link the user copied earlier"
activate Notes
launch
activate Notes
press cmd+shift+t
expect keys Notes cmd+c
expect ui updateSelection "teh quick brown fox"
expect panel visible
call selection pasteText "The quick brown fox."
expect answer true
expect clipboard "The quick brown fox."
wait 0.3
expect keys hid cmd+v
wait 0.5
expect document Notes "The quick brown fox."
expect clipboard unchanged
)";

const char* kUsage =
    "usage: brimlane-sim [--json] [--wire] [--quiet] [FILE | -]\n"
    "       brimlane-sim --help-scenario\n"
    "  with no FILE, runs the built-in demonstration; with -, reads a scenario\n"
    "  from standard input line by line. --help-scenario prints the scenario\n"
    "  language.\n";

enum class Reading {
  // A file is read whole first: a line that cannot be read stops the scenario
  // before anything has run.
  kWholeFirst,
  // Standard input acts on each line as it arrives and stops at one that
  // cannot be read.
  kAsItArrives,
  // At a terminal a line that cannot be read is reported, and the person
  // types it again.
  kInteractive,
};

int runLines(ScenarioRunner& runner, std::istream& in, Reading reading) {
  std::vector<std::pair<int, ScenarioRunner::Command>> commands;
  std::string line;
  int number = 0;
  int commandsRead = 0;
  while (std::getline(in, line)) {
    ++number;
    auto command = runner.read(line);
    if (const auto* error = std::get_if<std::string>(&command)) {
      std::cerr << runner.fileName() << ":" << number << ": cannot read: " << *error << "\n";
      if (reading == Reading::kInteractive) continue;
      runner.flush();
      return kUnreadable;
    }
    auto& ready = std::get<ScenarioRunner::Command>(command);
    if (ready) ++commandsRead;
    if (reading == Reading::kWholeFirst) {
      commands.emplace_back(number, std::move(ready));
    } else {
      runner.run(number, ready);
    }
  }
  // A read that failed part-way (an input that is no file of lines) must not
  // pass for a scenario that ends there.
  if (in.bad()) {
    std::cerr << "brimlane-sim: cannot read " << runner.fileName() << "\n";
    return kUnreadable;
  }
  // An empty file (or one of comments only) is most likely the wrong file:
  // saying that every expectation held would hide the mistake.
  if (commandsRead == 0) {
    std::cerr << "brimlane-sim: " << runner.fileName()
              << " holds no command: a scenario needs at least one\n";
    return kUnreadable;
  }
  for (const auto& [lineNumber, command] : commands) runner.run(lineNumber, command);
  runner.finish();
  return runner.failures() ? kExpectationFailed : kAllHeld;
}

}  // namespace

int main(int argc, char** argv) {
  OutputOptions options;
  const char* file = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--json") == 0) {
      options.json = true;
    } else if (std::strcmp(argv[i], "--wire") == 0) {
      options.wire = true;
    } else if (std::strcmp(argv[i], "--quiet") == 0) {
      options.quiet = true;
    } else if (std::strcmp(argv[i], "--help-scenario") == 0) {
      brimlane::sim::cli::printLanguage(std::cout);
      return kAllHeld;
    } else if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::cout << kUsage;
      return kAllHeld;
    } else if ((argv[i][0] != '-' || std::strcmp(argv[i], "-") == 0) && !file) {
      file = argv[i];
    } else {
      std::cerr << "brimlane-sim: unknown argument " << argv[i] << "\n" << kUsage;
      return kUnreadable;
    }
  }
  options.colour = !options.json && isatty(STDOUT_FILENO);

  if (!file) {
    ScenarioRunner runner("demonstration", options, std::cout, std::cerr);
    std::istringstream demo(kDemonstration);
    return runLines(runner, demo, Reading::kWholeFirst);
  }
  if (std::strcmp(file, "-") == 0) {
    ScenarioRunner runner("stdin", options, std::cout, std::cerr);
    return runLines(runner, std::cin,
                    isatty(STDIN_FILENO) ? Reading::kInteractive : Reading::kAsItArrives);
  }
  // Opening a directory succeeds and reading it gives no line at all.
  if (std::error_code error; std::filesystem::is_directory(file, error)) {
    std::cerr << "brimlane-sim: cannot read " << file << ": it is a directory\n";
    return kUnreadable;
  }
  std::ifstream in(file);
  if (!in) {
    std::cerr << "brimlane-sim: cannot open " << file << "\n";
    return kUnreadable;
  }
  ScenarioRunner runner(file, options, std::cout, std::cerr);
  return runLines(runner, in, Reading::kWholeFirst);
}
