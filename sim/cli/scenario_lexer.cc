#include "sim/cli/scenario_lexer.h"

#include <cctype>

namespace brimlane::sim::cli {
namespace {

bool isPunct(char c) {
  return c == '[' || c == ']' || c == '{' || c == '}' || c == ',' || c == ':';
}

}  // namespace

std::variant<std::vector<Token>, LexError> lex(const std::string& line) {
  std::vector<Token> tokens;
  std::size_t i = 0;
  bool spaceBefore = true;
  while (i < line.size()) {
    const char c = line[i];
    if (c == '#') break;
    if (std::isspace(static_cast<unsigned char>(c))) {
      spaceBefore = true;
      ++i;
      continue;
    }
    Token token{Token::Kind::kWord, "", !spaceBefore && !tokens.empty(), i + 1};
    if (c == '"') {
      token.kind = Token::Kind::kString;
      ++i;
      bool closed = false;
      while (i < line.size()) {
        const char d = line[i++];
        if (d == '"') {
          closed = true;
          break;
        }
        if (d != '\\') {
          token.text += d;
          continue;
        }
        if (i == line.size()) break;
        switch (const char e = line[i++]) {
          case '"':
            token.text += '"';
            break;
          case '\\':
            token.text += '\\';
            break;
          case 'n':
            token.text += '\n';
            break;
          case 't':
            token.text += '\t';
            break;
          default:
            return LexError{"unknown escape \\" + std::string(1, e) + " in a string at column " +
                            std::to_string(i - 1)};
        }
      }
      if (!closed) {
        return LexError{"a string opened at column " + std::to_string(token.column) +
                        " is never closed"};
      }
    } else if (isPunct(c)) {
      token.kind = Token::Kind::kPunct;
      token.text = std::string(1, c);
      ++i;
    } else {
      while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i])) &&
             line[i] != '"' && line[i] != '#' && !isPunct(line[i])) {
        token.text += line[i++];
      }
    }
    token.end = i + 1;
    tokens.push_back(std::move(token));
    spaceBefore = false;
  }
  return tokens;
}

}  // namespace brimlane::sim::cli
