#include "sim/cli/command_table.h"

#include <algorithm>
#include <array>
#include <ostream>

namespace brimlane::sim::cli {
namespace {

std::vector<std::string_view> splitWords(std::string_view words) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  while (start < words.size()) {
    const std::size_t space = std::min(words.find(' ', start), words.size());
    parts.push_back(words.substr(start, space - start));
    start = space + 1;
  }
  return parts;
}

// How many of `words` the line's leading tokens spell out.
std::size_t leadingMatch(const std::vector<Token>& tokens,
                         const std::vector<std::string_view>& words) {
  std::size_t n = 0;
  while (n < words.size() && n < tokens.size() && tokens[n].kind == Token::Kind::kWord &&
         tokens[n].text == words[n]) {
    ++n;
  }
  return n;
}

std::string found(const std::vector<Token>& tokens, std::size_t at) {
  return at < tokens.size() ? "found " + LineReader::shown(tokens[at])
                            : "found the end of the line";
}

// The next word of every command that goes on from `command`'s words.
std::vector<std::string_view> extensionsOf(const CommandSpec& command) {
  const std::vector<std::string_view> words = splitWords(command.words);
  std::vector<std::string_view> next;
  for (const CommandGroup& group : commandGroups()) {
    for (const CommandSpec& other : group.commands) {
      const std::vector<std::string_view> longer = splitWords(other.words);
      if (longer.size() <= words.size() || !std::equal(words.begin(), words.end(), longer.begin()))
        continue;
      if (std::find(next.begin(), next.end(), longer[words.size()]) == next.end()) {
        next.push_back(longer[words.size()]);
      }
    }
  }
  return next;
}

std::string joined(const std::vector<std::string_view>& words) {
  std::string text;
  for (std::string_view word : words) text += (text.empty() ? "" : "|") + std::string(word);
  return text;
}

// How scenario lines are written, before the commands.
constexpr std::string_view kSyntax =
    R"(A scenario is one command per line, run in order. `#` starts a comment outside
quotes. Strings are in double quotes with \" \\ \n \t; times are in seconds.
Channel values: null, true, false, numbers, "strings", [lists], {"k": v} maps
and bytes:HEX. A file is read whole before anything runs; a line that cannot
be read stops it (exit status 2), a failed expectation is reported as
FILE:LINE (exit status 1). After each action, the work due at the current
virtual time runs; later work waits for `wait`. Expectations marked "since
the last" read what arrived after the previous expectation of their kind.
The full reference with an example of every command is docs/SCENARIOS.md.
)";

}  // namespace

std::string CommandSpec::synopsis() const {
  return arguments.empty() ? std::string(words) : std::string(words) + " " + std::string(arguments);
}

std::span<const CommandGroup> commandGroups() {
  static const std::array<CommandGroup, 3> kGroups{{
      {"Set-up", setUpCommands()},
      {"Actions", actionCommands()},
      {"Expectations", expectationCommands()},
  }};
  return kGroups;
}

std::variant<Dispatch, std::string> dispatch(const std::vector<Token>& tokens) {
  const CommandSpec* best = nullptr;
  std::size_t bestLength = 0;
  std::size_t partial = 0;
  for (const CommandGroup& group : commandGroups()) {
    for (const CommandSpec& command : group.commands) {
      const std::vector<std::string_view> words = splitWords(command.words);
      const std::size_t matched = leadingMatch(tokens, words);
      if (matched == words.size() && matched > bestLength) {
        best = &command;
        bestLength = matched;
      } else if (matched < words.size()) {
        partial = std::max(partial, matched);
      }
    }
  }
  if (best) return Dispatch{best, bestLength};
  if (partial == 0) {
    if (tokens.front().kind == Token::Kind::kWord) {
      return "unknown command \"" + tokens.front().text + "\"";
    }
    return "expected a command, " + found(tokens, 0);
  }
  // Words that would have gone on from the ones that matched.
  std::vector<std::string_view> next;
  for (const CommandGroup& group : commandGroups()) {
    for (const CommandSpec& command : group.commands) {
      const std::vector<std::string_view> words = splitWords(command.words);
      if (leadingMatch(tokens, words) == partial && words.size() > partial &&
          std::find(next.begin(), next.end(), words[partial]) == next.end()) {
        next.push_back(words[partial]);
      }
    }
  }
  return "expected " + joined(next) + ", " + found(tokens, partial);
}

std::variant<Command, std::string> readLine(ScenarioState& state, const std::string& line) {
  std::variant<std::vector<Token>, LexError> lexed = lex(line);
  if (const auto* error = std::get_if<LexError>(&lexed)) return error->message;
  std::vector<Token>& tokens = std::get<std::vector<Token>>(lexed);
  if (tokens.empty()) return Command{};
  return readTokens(state, std::move(tokens));
}

std::variant<Command, std::string> readTokens(ScenarioState& state, std::vector<Token> tokens) {
  const std::variant<Dispatch, std::string> picked = dispatch(tokens);
  if (const auto* error = std::get_if<std::string>(&picked)) return *error;
  const auto [command, start] = std::get<Dispatch>(picked);

  // What the first argument was, for a message once the reader has the tokens.
  const std::string foundFirst = found(tokens, start);
  LineReader r(std::move(tokens), start);
  try {
    Command read;
    try {
      read = command->read(state, r);
    } catch (const ReadError&) {
      // A first argument that fits neither this command nor a longer one:
      // name both kinds of words that could have been there.
      const std::vector<std::string_view> longer = extensionsOf(*command);
      if (r.position() > start + 1 || longer.empty()) throw;
      return "expected " + std::string(command->arguments) + "|" + joined(longer) + ", " +
             foundFirst;
    }
    r.end();
    return read;
  } catch (const ReadError& error) {
    return std::string(error.what());
  }
}

void printLanguage(std::ostream& out) {
  constexpr std::size_t kColumn = 46;
  out << kSyntax;
  for (const CommandGroup& group : commandGroups()) {
    out << "\n" << group.title << "\n";
    for (const CommandSpec& command : group.commands) {
      const std::string synopsis = command.synopsis();
      // Columns on screen: UTF-8 continuation bytes take none.
      const auto width = static_cast<std::size_t>(std::count_if(
          synopsis.begin(), synopsis.end(), [](char c) { return (c & 0xC0) != 0x80; }));
      out << "  " << synopsis;
      if (width + 2 <= kColumn) {
        out << std::string(kColumn - width, ' ');
      } else {
        out << "\n" << std::string(kColumn + 2, ' ');
      }
      out << command.help << "\n";
    }
  }
}

}  // namespace brimlane::sim::cli
