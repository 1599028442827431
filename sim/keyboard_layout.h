// The keyboard layouts of the simulated desktop, as far as Command shortcuts
// go: applications read a shortcut by the character its key types while
// Command is held, so the same virtual key code means Command-C on one layout
// and Command-J on another.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "app/platform/keyboard.h"

namespace brimlane::sim {

enum class KeyboardLayout {
  kUs,
  kDvorak,
  // Dvorak, switching to QWERTY while Command is held.
  kDvorakQwertyCommand,
  // Cyrillic letters, and the Latin ones of QWERTY under Command.
  kRussian,
  // An input source without layout data: the host cannot tell where a
  // character is, and applications read the keys as on a US keyboard.
  kNone,
};

// By the names scenarios use: us, dvorak, dvorak-qwerty-command, russian, none.
std::optional<KeyboardLayout> keyboardLayoutNamed(std::string_view name);
// "the Dvorak layout", for timelines.
std::string_view describe(KeyboardLayout layout);

// The character `keyCode` types while Command alone is held, or nothing for a
// key that types no character (return, tab, the arrows…).
std::optional<char> characterWithCommand(KeyboardLayout layout, KeyCode keyCode);

// The key as a US keyboard labels it: its letter or digit, or "keyN" for the
// others, so that every name is one word of a scenario.
std::string usKeyName(KeyCode keyCode);
// The key a US keyboard labels `name` ("c", "7"), or any key by its code
// ("key47", up to key127); nothing for other names.
std::optional<KeyCode> usKeyCodeNamed(std::string_view name);

}  // namespace brimlane::sim
