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
std::optional<CommandKeystroke> makeCommandKeystroke(Keyboard& keyboard, KeyCode key);

}  // namespace brimlane
