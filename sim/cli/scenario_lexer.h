// Splits one scenario line into tokens: bare words, double-quoted strings and
// the punctuation of channel values. `#` outside quotes ends the line.
#pragma once

#include <string>
#include <variant>
#include <vector>

namespace brimlane::sim::cli {

struct Token {
  enum class Kind { kWord, kString, kPunct };
  Kind kind;
  std::string text;        // a string's text with its escapes resolved
  bool joined = false;     // no space between this token and the one before
  std::size_t column = 0;  // 1-based, for messages
  std::size_t end = 0;     // the column just past the token
};

struct LexError {
  std::string message;
};

std::variant<std::vector<Token>, LexError> lex(const std::string& line);

}  // namespace brimlane::sim::cli
