// The keyboard service over Quartz event services and, for the layout, the
// Text Input Sources of HIToolbox. Objective-C++ only.
#pragma once

#include "app/platform/keyboard.h"

namespace brimlane {

class MacKeyboard : public Keyboard {
 public:
  std::unique_ptr<EventSource> createEventSource(EventSourceState state) override;
  std::unique_ptr<KeyboardEvent> createKeyboardEvent(EventSource* source, KeyCode keyCode,
                                                     bool keyDown) override;
  void postToPid(ProcessId pid, KeyboardEvent& event) override;
  void post(EventTapLocation tap, KeyboardEvent& event) override;
  std::optional<KeyCode> keyCodeForCharacterWithCommand(char16_t character) override;
};

}  // namespace brimlane
