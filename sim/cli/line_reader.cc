#include "sim/cli/line_reader.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <climits>
#include <cmath>
#include <limits>
#include <locale>
#include <optional>
#include <sstream>

#include "sim/describe.h"

namespace brimlane::sim::cli {
namespace {

std::optional<Bytes> parseHex(std::string_view hex) {
  Bytes bytes;
  std::string digits;
  for (char c : hex) {
    if (c != ' ') digits += c;
  }
  if (digits.size() % 2 != 0) return std::nullopt;
  for (std::size_t i = 0; i < digits.size(); i += 2) {
    unsigned value = 0;
    const auto [end, error] = std::from_chars(digits.data() + i, digits.data() + i + 2, value, 16);
    if (error != std::errc() || end != digits.data() + i + 2) return std::nullopt;
    bytes.push_back(static_cast<std::uint8_t>(value));
  }
  return bytes;
}

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

bool equalsIgnoringCase(std::string_view text, std::string_view lowerCase) {
  return std::equal(
      text.begin(), text.end(), lowerCase.begin(), lowerCase.end(),
      [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; });
}

// A decimal as a scenario writes it, whatever the locale: an optional minus,
// digits with at most one point among them and an optional exponent, or inf,
// infinity or nan. Nothing for anything else, and for a value out of the range
// of normal doubles, too large or too small to tell from zero.
//
// std::from_chars would do, but the Mac's libc++ has no floating-point
// overload; the text is checked here and converted by a stream in the classic
// locale, which neither the global C++ locale nor the C one can change.
std::optional<double> parseDecimal(std::string_view text) {
  const bool negative = text.starts_with('-');
  if (negative) text.remove_prefix(1);
  if (equalsIgnoringCase(text, "inf") || equalsIgnoringCase(text, "infinity")) {
    return negative ? -std::numeric_limits<double>::infinity()
                    : std::numeric_limits<double>::infinity();
  }
  if (equalsIgnoringCase(text, "nan")) {
    return negative ? -std::numeric_limits<double>::quiet_NaN()
                    : std::numeric_limits<double>::quiet_NaN();
  }

  std::size_t i = 0;
  bool anyDigit = false;
  bool nonZeroDigit = false;
  const auto skipDigits = [&] {
    for (; i < text.size() && isDigit(text[i]); ++i) {
      anyDigit = true;
      nonZeroDigit = nonZeroDigit || text[i] != '0';
    }
  };
  skipDigits();
  if (i < text.size() && text[i] == '.') {
    ++i;
    skipDigits();
  }
  if (!anyDigit) return std::nullopt;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    const std::size_t exponentStart = i;
    while (i < text.size() && isDigit(text[i])) ++i;
    if (i == exponentStart) return std::nullopt;
  }
  if (i != text.size()) return std::nullopt;

  std::istringstream stream{std::string(text)};
  stream.imbue(std::locale::classic());
  double value = 0;
  stream >> value;
  if (stream.fail() || !std::isfinite(value)) return std::nullopt;
  // Underflow: libstdc++'s streams take it, libc++'s do not; refuse it on both.
  if (nonZeroDigit && std::fabs(value) < std::numeric_limits<double>::min()) return std::nullopt;
  return negative ? -value : value;
}

}  // namespace

bool LineReader::peekWord(std::string_view word) const {
  return peek() && peek()->kind == Token::Kind::kWord && peek()->text == word;
}

bool LineReader::peekString() const {
  return peek() && peek()->kind == Token::Kind::kString;
}

std::string LineReader::word(const char* what) {
  const Token& t = take(what);
  if (t.kind != Token::Kind::kWord)
    throw ReadError(std::string("expected ") + what + ", found " + shown(t));
  return t.text;
}

std::string LineReader::oneOf(std::initializer_list<std::string_view> words) {
  std::string expected;
  for (std::string_view w : words) expected += (expected.empty() ? "" : "|") + std::string(w);
  const std::string found = word(expected.c_str());
  if (std::find(words.begin(), words.end(), found) == words.end()) {
    throw ReadError("expected " + expected + ", found \"" + found + "\"");
  }
  return found;
}

std::string LineReader::string(const char* what) {
  const Token& t = take(what);
  if (t.kind != Token::Kind::kString) {
    throw ReadError(std::string("expected ") + what + " in double quotes, found " + shown(t));
  }
  return t.text;
}

double LineReader::number(const char* what) {
  const std::string text = word(what);
  const std::optional<double> value = parseDecimal(text);
  if (!value || !std::isfinite(*value)) {
    throw ReadError(std::string("expected ") + what + " as a number, found \"" + text + "\"");
  }
  return *value;
}

Seconds LineReader::seconds(const char* what) {
  const double value = number(what);
  if (value < 0 || value > 1e6) {
    throw ReadError(std::string(what) + " must be between 0 and 1000000 seconds");
  }
  return Seconds(value);
}

std::int64_t LineReader::integer(const char* what) {
  const std::string text = word(what);
  std::int64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) {
    throw ReadError(std::string("expected ") + what + " as a whole number, found \"" + text + "\"");
  }
  return value;
}

std::int64_t LineReader::count(const char* what) {
  const std::int64_t value = integer(what);
  if (value < 0) throw ReadError(std::string(what) + " cannot be negative");
  return value;
}

Bytes LineReader::hexAfter(const std::string& prefix) {
  const Token& colon = take("':'");
  if (colon.kind != Token::Kind::kPunct || colon.text != ":" || !colon.joined) {
    throw ReadError("expected " + prefix + ":HEX");
  }
  if (atEnd() || !peek()->joined) return {};
  const std::string digits = word("hex digits");
  std::optional<Bytes> bytes = parseHex(digits);
  if (!bytes) throw ReadError("\"" + digits + "\" is not an even number of hex digits");
  return *bytes;
}

ChannelValue LineReader::value(int depth) {
  if (depth > 32) throw ReadError("value nested too deeply");
  const Token& t = take("a value");
  if (t.kind == Token::Kind::kString) return ChannelValue(t.text);
  if (t.kind == Token::Kind::kPunct && t.text == "[") {
    ChannelList list;
    if (punct("]")) return ChannelValue(std::move(list));
    do {
      list.push_back(value(depth + 1));
    } while (punct(","));
    expectPunct("]", ",");
    return ChannelValue(std::move(list));
  }
  if (t.kind == Token::Kind::kPunct && t.text == "{") {
    ChannelMap map;
    if (punct("}")) return ChannelValue(std::move(map));
    do {
      ChannelValue key = value(depth + 1);
      expectPunct(":");
      map.emplace_back(std::move(key), value(depth + 1));
    } while (punct(","));
    expectPunct("}", ",");
    return ChannelValue(std::move(map));
  }
  if (t.kind != Token::Kind::kWord) throw ReadError("expected a value, found " + shown(t));
  if (t.text == "null") return ChannelValue();
  if (t.text == "true") return ChannelValue(true);
  if (t.text == "false") return ChannelValue(false);
  if (t.text == "bytes") return ChannelValue(hexAfter("bytes"));
  std::int64_t integer = 0;
  const char* end = t.text.data() + t.text.size();
  if (auto [p, e] = std::from_chars(t.text.data(), end, integer); e == std::errc() && p == end) {
    // Like the UI code's codec: 32 bits when the number fits.
    if (integer >= INT32_MIN && integer <= INT32_MAX) {
      return ChannelValue(static_cast<std::int32_t>(integer));
    }
    return ChannelValue(integer);
  }
  if (const std::optional<double> decimal = parseDecimal(t.text)) return ChannelValue(*decimal);
  throw ReadError("\"" + t.text + "\" is not a value");
}

KeyCombination LineReader::combination(const char* what) {
  const std::string text = word(what);
  auto parsed = parseKeyCombination(text);
  if (const auto* error = std::get_if<std::string>(&parsed)) throw ReadError(*error);
  return std::get<KeyCombination>(parsed);
}

void LineReader::end() {
  if (!atEnd()) throw ReadError("unexpected " + shown(tokens_[next_]) + " at the end of the line");
}

std::string LineReader::shown(const Token& t) {
  return t.kind == Token::Kind::kString ? quote(t.text) : "\"" + t.text + "\"";
}

const Token& LineReader::take(const char* what) {
  if (atEnd()) throw ReadError(std::string("expected ") + what + " at the end of the line");
  return tokens_[next_++];
}

bool LineReader::punct(const char* p) {
  if (peek() && peek()->kind == Token::Kind::kPunct && peek()->text == p) {
    ++next_;
    return true;
  }
  return false;
}

void LineReader::expectPunct(const char* p, const char* alternative) {
  if (punct(p)) return;
  std::string expected = std::string("'") + p + "'";
  if (alternative) expected = std::string("'") + alternative + "' or " + expected;
  const std::size_t column = !atEnd() ? peek()->column : tokens_.empty() ? 1 : tokens_.back().end;
  throw ReadError("expected " + expected + " at column " + std::to_string(column) + ", found " +
                  (atEnd() ? std::string("the end of the line") : shown(*peek())));
}

}  // namespace brimlane::sim::cli
