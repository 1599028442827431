#include "app/textio/command_keystroke.h"

namespace brimlane {

std::optional<CommandKeystroke> makeCommandKeystroke(Keyboard& keyboard, char16_t character,
                                                     KeyCode usKeyCode) {
  const KeyCode key = keyboard.keyCodeForCharacterWithCommand(character).value_or(usKeyCode);
  // Without a source the events are still made, just without one.
  const std::unique_ptr<EventSource> source =
      keyboard.createEventSource(EventSourceState::kHIDSystemState);
  CommandKeystroke keystroke;
  keystroke.down = keyboard.createKeyboardEvent(source.get(), key, /*keyDown=*/true);
  if (!keystroke.down) return std::nullopt;
  keystroke.down->setFlags(kEventFlagMaskCommand);
  keystroke.up = keyboard.createKeyboardEvent(source.get(), key, /*keyDown=*/false);
  if (!keystroke.up) return std::nullopt;
  keystroke.up->setFlags(kEventFlagMaskCommand);
  return keystroke;
}

}  // namespace brimlane
