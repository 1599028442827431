#include "sim/cli/key_names.h"

#include <array>
#include <charconv>
#include <cstdio>
#include <optional>

namespace brimlane::sim::cli {
namespace {

struct NamedKey {
  std::string_view name;
  KeyCode code;
};

// Virtual key codes of the keys at these characters' places on the ANSI
// layout.
constexpr std::array<NamedKey, 36> kAnsiKeys{{
    {"a", 0},  {"s", 1},  {"d", 2},  {"f", 3},  {"h", 4},  {"g", 5},  {"z", 6},  {"x", 7},
    {"c", 8},  {"v", 9},  {"b", 11}, {"q", 12}, {"w", 13}, {"e", 14}, {"r", 15}, {"y", 16},
    {"t", 17}, {"1", 18}, {"2", 19}, {"3", 20}, {"4", 21}, {"6", 22}, {"5", 23}, {"9", 25},
    {"7", 26}, {"8", 28}, {"0", 29}, {"o", 31}, {"u", 32}, {"i", 34}, {"p", 35}, {"l", 37},
    {"j", 38}, {"k", 40}, {"n", 45}, {"m", 46},
}};

struct NamedModifier {
  std::string_view name;
  std::uint32_t hotKeyBit;
  EventFlags eventFlag;
};

// Quartz's flag masks for the modifier keys.
constexpr EventFlags kEventFlagMaskShift = 0x20000;
constexpr EventFlags kEventFlagMaskControl = 0x40000;
constexpr EventFlags kEventFlagMaskAlternate = 0x80000;

// In the order they are written; the first name of each is the one shown.
constexpr std::array<NamedModifier, 7> kModifiers{{
    {"cmd", kCmdKey, kEventFlagMaskCommand},
    {"shift", kShiftKey, kEventFlagMaskShift},
    {"option", kOptionKey, kEventFlagMaskAlternate},
    {"opt", kOptionKey, kEventFlagMaskAlternate},
    {"alt", kOptionKey, kEventFlagMaskAlternate},
    {"ctrl", kControlKey, kEventFlagMaskControl},
    {"control", kControlKey, kEventFlagMaskControl},
}};

std::string keyName(std::uint32_t code) {
  for (const NamedKey& key : kAnsiKeys) {
    if (key.code == code) return std::string(key.name);
  }
  return "key" + std::to_string(code);
}

// "key47": any virtual key code, by number.
std::optional<KeyCode> numberedKey(std::string_view part) {
  if (!part.starts_with("key") || part.size() == 3) return std::nullopt;
  unsigned code = 0;
  const auto [end, error] = std::from_chars(part.data() + 3, part.data() + part.size(), code);
  if (error != std::errc() || end != part.data() + part.size() || code > 127) return std::nullopt;
  return static_cast<KeyCode>(code);
}

// The modifiers in `bits`, each once, then the key.
template <class Bits, class BitOf>
std::string name(std::uint32_t keyCode, Bits bits, BitOf bitOf) {
  std::string text;
  Bits named = 0;
  for (const NamedModifier& modifier : kModifiers) {
    const Bits bit = bitOf(modifier);
    if (!(bits & bit) || (named & bit)) continue;
    named |= bit;
    text += std::string(modifier.name) + "+";
  }
  if (const Bits rest = bits & ~named) {
    char number[32];
    std::snprintf(number, sizeof number, "0x%llx+", static_cast<unsigned long long>(rest));
    text += number;
  }
  return text + keyName(keyCode);
}

}  // namespace

std::variant<KeyCombination, std::string> parseKeyCombination(std::string_view text) {
  KeyCombination combination;
  bool haveKey = false;
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t plus = std::min(text.find('+', start), text.size());
    const std::string_view part = text.substr(start, plus - start);
    start = plus + 1;
    bool known = false;
    for (const NamedModifier& modifier : kModifiers) {
      if (modifier.name != part) continue;
      combination.hotKeyModifiers |= modifier.hotKeyBit;
      combination.eventFlags |= modifier.eventFlag;
      known = true;
    }
    for (const NamedKey& key : kAnsiKeys) {
      if (known || haveKey || key.name != part) continue;
      combination.keyCode = key.code;
      haveKey = known = true;
    }
    if (const std::optional<KeyCode> code = numberedKey(part); code && !known && !haveKey) {
      combination.keyCode = *code;
      haveKey = known = true;
    }
    if (!known) {
      return "\"" + std::string(part) + "\" in \"" + std::string(text) +
             "\" is not a modifier or a key";
    }
  }
  if (!haveKey) return "\"" + std::string(text) + "\" names no key";
  return combination;
}

std::string nameHotKey(std::uint32_t keyCode, std::uint32_t modifiers) {
  return name(keyCode, modifiers, [](const NamedModifier& m) { return m.hotKeyBit; });
}

std::string nameKeystroke(KeyCode keyCode, EventFlags flags) {
  return name(keyCode, flags, [](const NamedModifier& m) { return m.eventFlag; });
}

}  // namespace brimlane::sim::cli
