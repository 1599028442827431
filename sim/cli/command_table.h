// The scenario language as one table: every command with its words, its
// arguments and one line of help. The reader dispatches on it, and
// `brimlane-sim --help-scenario` prints it. Set-up, action and expectation
// commands are listed in files of their own.
#pragma once

#include <functional>
#include <iosfwd>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "sim/cli/line_reader.h"
#include "sim/cli/scenario_state.h"

namespace brimlane::sim::cli {

// What a line turns into: run later, in order, against the scenario's state.
using Command = std::function<void()>;

struct CommandSpec {
  // The words that pick the command, e.g. "expect panel style".
  std::string_view words;
  // Its arguments as the reference writes them, e.g. "NAME…"; may be empty.
  std::string_view arguments;
  // One line: what the command sets up, does or expects.
  std::string_view help;
  // Reads the arguments that follow the words into a command.
  Command (*read)(ScenarioState& state, LineReader& r);
  // What the command does reaches the host through its run loop (a key
  // press, a click, a call from the UI): timed with `at`, it waits until the
  // host's main thread is free. Everything else happens in the world.
  bool throughHost = false;

  // "words arguments", as the help and the reference show it.
  std::string synopsis() const;
};

struct CommandGroup {
  std::string_view title;  // "Set-up", "Actions", "Expectations"
  std::span<const CommandSpec> commands;
};

// Each defined in the file of its group.
std::span<const CommandSpec> setUpCommands();
std::span<const CommandSpec> actionCommands();
std::span<const CommandSpec> expectationCommands();

// The three groups, in the order the reference and the help give them.
std::span<const CommandGroup> commandGroups();

// The command a line's tokens pick, with the position of its first
// argument, or a message saying which words were expected.
struct Dispatch {
  const CommandSpec* command;
  std::size_t argumentsStart;
};
std::variant<Dispatch, std::string> dispatch(const std::vector<Token>& tokens);

// Reads a whole line into a command: dispatch, arguments, end of line.
// Blank and comment lines give an empty command; a message says what is
// wrong with a line that cannot be read.
std::variant<Command, std::string> readLine(ScenarioState& state, const std::string& line);
// The same, for a line already split into tokens (at least one).
std::variant<Command, std::string> readTokens(ScenarioState& state, std::vector<Token> tokens);

// The whole language, as `brimlane-sim --help-scenario` prints it.
void printLanguage(std::ostream& out);

}  // namespace brimlane::sim::cli
