// Walks the tokens of one scenario line and turns them into the values that
// commands take: words, strings, numbers, times, bytes, channel values and
// key combinations. Whatever does not fit is refused with a ReadError that
// says what was expected.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "app/engine/channel_value.h"
#include "app/platform/types.h"
#include "sim/cli/key_names.h"
#include "sim/cli/scenario_lexer.h"
#include "sim/scheduler.h"

namespace brimlane::sim::cli {

// A line that cannot be read; the message says why.
struct ReadError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

class LineReader {
 public:
  explicit LineReader(std::vector<Token> tokens, std::size_t start = 0)
      : tokens_(std::move(tokens)), next_(start) {}

  bool atEnd() const { return next_ == tokens_.size(); }
  const Token* peek() const { return atEnd() ? nullptr : &tokens_[next_]; }
  bool peekWord(std::string_view word) const;
  bool peekString() const;
  // How many tokens have been taken.
  std::size_t position() const { return next_; }

  std::string word(const char* what);
  std::string oneOf(std::initializer_list<std::string_view> words);
  void keyword(std::string_view expected) { oneOf({expected}); }
  bool yesOrNo() { return oneOf({"yes", "no"}) == "yes"; }
  std::string string(const char* what);
  double number(const char* what);
  Seconds seconds(const char* what);
  std::int64_t integer(const char* what);
  // A count of things, 0 or more.
  std::int64_t count(const char* what);
  // Bytes written as `hex:0A1B` or `bytes:0A1B`, after the prefix's word.
  Bytes hexAfter(const std::string& prefix);
  ChannelValue value(int depth = 0);
  KeyCombination combination(const char* what);
  // Refuses whatever is left on the line.
  void end();

  // Takes the punctuation `p` if it comes next.
  bool punct(const char* p);
  // Takes every token left on the line.
  std::vector<Token> rest() {
    std::vector<Token> left(tokens_.begin() + static_cast<std::ptrdiff_t>(next_), tokens_.end());
    next_ = tokens_.size();
    return left;
  }

  // A token as messages show it.
  static std::string shown(const Token& t);

 private:
  const Token& take(const char* what);
  // Takes `p`, or refuses the line saying where it wanted `p` (or
  // `alternative`, which the caller has just tried) and what it found there.
  void expectPunct(const char* p, const char* alternative = nullptr);

  std::vector<Token> tokens_;
  std::size_t next_ = 0;
};

}  // namespace brimlane::sim::cli
