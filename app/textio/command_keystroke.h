// A synthetic Command-key press: the key-down and key-up events that copy and
// paste are made of.
#pragma once

#include <memory>
#include <optional>

#include "app/platform/keyboard.h"

namespace brimlane {

struct CommandKeystroke {
  std::unique_ptr<KeyboardEvent> down;
  std::unique_ptr<KeyboardEvent> up;
};

// Both events with the Command flag alone (whatever modifiers the user holds
// must not turn Command-C into something else), made from a HID-state source
// when one can be had. Nothing when either event cannot be made.
//
// The key is the one that types `character` under Command in the user's
// keyboard layout, asked as the events are made since the layout can change
// at any time: applications read the shortcut through the layout, so on
// Dvorak the key of C on a US keyboard means Command-J. When the layout
// cannot tell, `usKeyCode`, the key of the character on a US keyboard.
std::optional<CommandKeystroke> makeCommandKeystroke(Keyboard& keyboard, char16_t character,
                                                     KeyCode usKeyCode);

}  // namespace brimlane
