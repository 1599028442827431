#include "sim/cli/key_names.h"

#include <array>
#include <cstdio>
#include <optional>

#include "sim/keyboard_layout.h"

namespace brimlane::sim::cli {
namespace {

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
  // Carbon's key codes are 32-bit; none past the keyboard's has a label.
  if (keyCode > 0xFFFF) return text + "key" + std::to_string(keyCode);
  return text + usKeyName(static_cast<KeyCode>(keyCode));
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
    if (const std::optional<KeyCode> code = usKeyCodeNamed(part); code && !known && !haveKey) {
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
