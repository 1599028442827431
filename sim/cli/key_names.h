// Keys and modifier keys as scenarios write them: "cmd+shift+t" for a hot key
// the user presses, "cmd+c" for a keystroke the host posts.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

#include "app/platform/hot_keys.h"
#include "app/platform/keyboard.h"

namespace brimlane::sim::cli {

// One key with the modifier keys held, in both of the platform's encodings:
// the hot-key registration's modifier bits and a keyboard event's flags.
struct KeyCombination {
  KeyCode keyCode = 0;
  std::uint32_t hotKeyModifiers = 0;
  EventFlags eventFlags = 0;
};

// Reads "cmd+shift+t": modifiers (cmd, shift, option or opt or alt, ctrl or
// control) and one key, named by its character on the ANSI layout or by its
// virtual key code ("key47"). The message says what is wrong.
std::variant<KeyCombination, std::string> parseKeyCombination(std::string_view text);

// "cmd+shift+t" from a hot key's key code and modifier bits; bits no
// modifier accounts for are shown as a number.
std::string nameHotKey(std::uint32_t keyCode, std::uint32_t modifiers);
// "cmd+c" from a keyboard event's key code and flags, likewise.
std::string nameKeystroke(KeyCode keyCode, EventFlags flags);

}  // namespace brimlane::sim::cli
