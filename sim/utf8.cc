#include "sim/utf8.h"

#include <cstddef>
#include <cstdint>

namespace brimlane::sim {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";
constexpr std::uint8_t kMacRomanCopyright = 0xA9;

// The length of the well-formed sequence that starts at `at`, or 0. The ranges
// are Unicode's table of well-formed byte sequences: the second byte's range
// is where overlong forms (E0, F0), surrogates (ED) and code points past
// U+10FFFF (F4) are cut off.
std::size_t sequenceAt(std::string_view bytes, std::size_t at) {
  auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(bytes[at + i]); };
  const std::uint8_t lead = byte(0);
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  std::uint8_t low = 0x80;
  std::uint8_t high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (bytes.size() - at < length) return 0;
  if (byte(1) < low || byte(1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
  }
  return length;
}

}  // namespace

bool isUtf8(std::string_view bytes) {
  for (std::size_t at = 0; at < bytes.size();) {
    const std::size_t length = sequenceAt(bytes, at);
    if (length == 0) return false;
    at += length;
  }
  return true;
}

std::optional<std::string> nsStringFromUtf8(std::string_view bytes) {
  if (bytes.starts_with(kByteOrderMark)) bytes.remove_prefix(kByteOrderMark.size());
  std::string text;
  text.reserve(bytes.size());
  for (std::size_t at = 0; at < bytes.size();) {
    if (const std::size_t length = sequenceAt(bytes, at)) {
      text.append(bytes.substr(at, length));
      at += length;
    } else if (static_cast<std::uint8_t>(bytes[at]) == kMacRomanCopyright) {
      text.append(kReplacementCharacter);
      ++at;
    } else {
      return std::nullopt;
    }
  }
  return text;
}

}  // namespace brimlane::sim
