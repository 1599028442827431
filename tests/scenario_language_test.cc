// The scenario language's table of commands, the reference that describes it
// (docs/SCENARIOS.md) and the help printed from it must say the same.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <set>
#include <sstream>

#include "sim/cli/command_table.h"

namespace brimlane::sim::cli {
namespace {

using ::testing::HasSubstr;
using ::testing::IsEmpty;

// One command as the reference describes it.
struct Described {
  std::string section;
  std::string synopsis;
  std::string help;
  std::vector<std::string> examples;  // the lines of its first example block
};

struct Reference {
  std::vector<Described> commands;
  // Every example block of the page, commands' or not.
  std::vector<std::vector<std::string>> blocks;
};

// Reads the reference: `## Section`, then per command a `### \`synopsis\``
// heading, its help as the next line, and an example block.
Reference readReference() {
  std::ifstream in(std::string(BRIMLANE_SOURCE_DIR) + "/docs/SCENARIOS.md");
  EXPECT_TRUE(in) << "docs/SCENARIOS.md cannot be opened";
  Reference reference;
  std::string section;
  std::string line;
  bool inBlock = false;
  bool helpNext = false;
  bool examplesWanted = false;
  while (std::getline(in, line)) {
    if (line.starts_with("```")) {
      inBlock = !inBlock;
      if (inBlock) reference.blocks.emplace_back();
      if (!inBlock) examplesWanted = false;
      continue;
    }
    if (inBlock) {
      reference.blocks.back().push_back(line);
      if (examplesWanted) reference.commands.back().examples.push_back(line);
      continue;
    }
    if (helpNext) {
      reference.commands.back().help = line;
      helpNext = false;
    } else if (line.starts_with("## ")) {
      section = line.substr(3);
    } else if (line.starts_with("### `") && line.ends_with("`")) {
      reference.commands.push_back({section, line.substr(5, line.size() - 6), "", {}});
      helpNext = examplesWanted = true;
    }
  }
  return reference;
}

std::vector<Described> fromTable() {
  std::vector<Described> commands;
  for (const CommandGroup& group : commandGroups()) {
    for (const CommandSpec& command : group.commands) {
      commands.push_back(
          {std::string(group.title), command.synopsis(), std::string(command.help), {}});
    }
  }
  return commands;
}

// "Section: `synopsis` help", one line per command.
std::vector<std::string> shown(const std::vector<Described>& commands) {
  std::vector<std::string> lines;
  for (const Described& d : commands) {
    lines.push_back(d.section + ": `" + d.synopsis + "` " + d.help);
  }
  return lines;
}

std::vector<std::string> missingFrom(const std::vector<std::string>& from,
                                     const std::vector<std::string>& what) {
  std::vector<std::string> missing;
  for (const std::string& line : what) {
    if (std::find(from.begin(), from.end(), line) == from.end()) missing.push_back(line);
  }
  return missing;
}

TEST(ScenarioLanguage, TheReferenceDescribesEveryCommandOfTheTableInItsOrder) {
  const std::vector<std::string> reference = shown(readReference().commands);
  const std::vector<std::string> table = shown(fromTable());
  const std::vector<std::string> undescribed = missingFrom(reference, table);
  const std::vector<std::string> unknown = missingFrom(table, reference);
  EXPECT_THAT(undescribed, IsEmpty()) << "in the table, not the reference";
  EXPECT_THAT(unknown, IsEmpty()) << "in the reference, not the table";
  if (undescribed.empty() && unknown.empty()) {
    EXPECT_TRUE(reference == table) << "the same commands, in another order";
  }
}

TEST(ScenarioLanguage, EveryCommandHasAnExampleThatUsesIt) {
  for (const Described& command : readReference().commands) {
    ScenarioState state{[](const std::string&, const std::string&) {}};
    bool used = false;
    for (const std::string& line : command.examples) {
      const auto read = readLine(state, line);
      EXPECT_TRUE(std::holds_alternative<Command>(read))
          << command.synopsis << ": " << line << ": " << std::get<std::string>(read);
      auto lexed = lex(line);
      const auto* tokens = std::get_if<std::vector<Token>>(&lexed);
      if (!tokens || tokens->empty()) continue;
      const auto picked = dispatch(*tokens);
      if (const auto* found = std::get_if<Dispatch>(&picked)) {
        used = used || found->command->synopsis() == command.synopsis;
      }
    }
    EXPECT_TRUE(used) << "no example of `" << command.synopsis << "`";
  }
}

TEST(ScenarioLanguage, EveryExampleOfTheReferenceCanBeRead) {
  for (const std::vector<std::string>& block : readReference().blocks) {
    ScenarioState state{[](const std::string&, const std::string&) {}};
    for (const std::string& line : block) {
      const auto read = readLine(state, line);
      EXPECT_TRUE(std::holds_alternative<Command>(read))
          << line << ": " << std::get<std::string>(read);
    }
  }
}

TEST(ScenarioLanguage, NoTwoCommandsShareTheirWords) {
  std::set<std::string_view> words;
  for (const CommandGroup& group : commandGroups()) {
    for (const CommandSpec& command : group.commands) {
      EXPECT_TRUE(words.insert(command.words).second) << command.words;
      EXPECT_NE(command.read, nullptr) << command.words;
    }
  }
}

TEST(ScenarioLanguage, TheHelpListsEveryCommandWithItsHelp) {
  std::ostringstream help;
  printLanguage(help);
  for (const CommandGroup& group : commandGroups()) {
    EXPECT_THAT(help.str(), HasSubstr("\n" + std::string(group.title) + "\n"));
    for (const CommandSpec& command : group.commands) {
      EXPECT_THAT(help.str(), HasSubstr("  " + command.synopsis()));
      EXPECT_THAT(help.str(), HasSubstr(std::string(command.help) + "\n"));
    }
  }
}

}  // namespace
}  // namespace brimlane::sim::cli
