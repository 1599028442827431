#include "sim/keyboard_layout.h"

#include <array>
#include <cctype>
#include <charconv>

namespace brimlane::sim {
namespace {

// What each virtual key code of the ANSI keyboard types on a US layout, by
// code; a space for codes that type no character worth a shortcut (the ISO
// section key, return, tab, and everything past the grave accent).
// Virtual key codes go up to 127.
constexpr KeyCode kKeyCodeCount = 128;

constexpr std::string_view kUsByKeyCode = "asdfhgzxcv bqweryt123465=97-80]ou[ip lj'k;\\,/nm.  `";

// Dvorak from the same keys, row by row: what a key types on US (first) and
// on Dvorak (second).
constexpr std::string_view kUsRows = "`1234567890-=qwertyuiop[]\\asdfghjkl;'zxcvbnm,./";
constexpr std::string_view kDvorakRows = "`1234567890[]',.pyfgcrl/=\\aoeuidhtns-;qjkxbmwvz";
static_assert(kUsRows.size() == kDvorakRows.size());

struct NamedLayout {
  std::string_view name;
  KeyboardLayout layout;
  std::string_view described;
};

constexpr std::array<NamedLayout, 5> kLayouts{{
    {"us", KeyboardLayout::kUs, "the US layout"},
    {"dvorak", KeyboardLayout::kDvorak, "the Dvorak layout"},
    {"dvorak-qwerty-command", KeyboardLayout::kDvorakQwertyCommand,
     "the Dvorak layout that is QWERTY under Command"},
    {"russian", KeyboardLayout::kRussian, "the Russian layout"},
    {"none", KeyboardLayout::kNone, "an input source without layout data"},
}};

std::optional<char> usCharacter(KeyCode keyCode) {
  if (keyCode >= kUsByKeyCode.size() || kUsByKeyCode[keyCode] == ' ') return std::nullopt;
  return kUsByKeyCode[keyCode];
}

}  // namespace

std::optional<KeyboardLayout> keyboardLayoutNamed(std::string_view name) {
  for (const NamedLayout& named : kLayouts) {
    if (named.name == name) return named.layout;
  }
  return std::nullopt;
}

std::string_view describe(KeyboardLayout layout) {
  for (const NamedLayout& named : kLayouts) {
    if (named.layout == layout) return named.described;
  }
  return "an unknown layout";
}

std::optional<char> characterWithCommand(KeyboardLayout layout, KeyCode keyCode) {
  const std::optional<char> us = usCharacter(keyCode);
  if (!us || layout != KeyboardLayout::kDvorak) return us;
  return kDvorakRows[kUsRows.find(*us)];
}

std::string usKeyName(KeyCode keyCode) {
  const std::optional<char> us = usCharacter(keyCode);
  if (us && std::isalnum(static_cast<unsigned char>(*us))) return std::string(1, *us);
  return "key" + std::to_string(keyCode);
}

std::optional<KeyCode> usKeyCodeNamed(std::string_view name) {
  if (name.size() == 1) {
    for (KeyCode code = 0; code < kKeyCodeCount; ++code) {
      if (usKeyName(code) == name) return code;
    }
    return std::nullopt;
  }
  if (!name.starts_with("key") || name.size() == 3) return std::nullopt;
  unsigned code = 0;
  const auto [end, error] = std::from_chars(name.data() + 3, name.data() + name.size(), code);
  if (error != std::errc() || end != name.data() + name.size() || code >= kKeyCodeCount) {
    return std::nullopt;
  }
  return static_cast<KeyCode>(code);
}

}  // namespace brimlane::sim
