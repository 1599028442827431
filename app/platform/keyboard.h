// Synthetic keyboard events: an event source, key events with their modifier
// flags, the two ways to post them (to one process, or into the system's
// input stream), and which key the user's keyboard layout types a character
// with. Main thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "app/platform/types.h"

namespace brimlane {

using KeyCode = std::uint16_t;
using EventFlags = std::uint64_t;

inline constexpr EventFlags kEventFlagMaskCommand = 0x100000;

enum class EventSourceState : std::int32_t {
  kPrivate = -1,
  kCombinedSessionState = 0,
  kHIDSystemState = 1,
};

enum class EventTapLocation : std::uint32_t {
  kHIDEventTap = 0,
  kSessionEventTap = 1,
  kAnnotatedSessionEventTap = 2,
};

class EventSource {
 public:
  virtual ~EventSource() = default;
};

class KeyboardEvent {
 public:
  virtual ~KeyboardEvent() = default;

  // The event's modifier flags become exactly `flags`.
  virtual void setFlags(EventFlags flags) = 0;
};

class Keyboard {
 public:
  virtual ~Keyboard() = default;

  // An event source in the given state, or nullptr when none can be made.
  virtual std::unique_ptr<EventSource> createEventSource(EventSourceState state) = 0;

  // A key-down or key-up event, made from `source` (which may be nullptr), or
  // nullptr when the event cannot be made.
  virtual std::unique_ptr<KeyboardEvent> createKeyboardEvent(EventSource* source, KeyCode keyCode,
                                                             bool keyDown) = 0;

  // Delivers the event to one process only.
  virtual void postToPid(ProcessId pid, KeyboardEvent& event) = 0;

  // Injects the event into the system's input stream at `tap`, so it reaches
  // whichever application is frontmost when the event is handled.
  virtual void post(EventTapLocation tap, KeyboardEvent& event) = 0;

  // The virtual key code (0 to 127) that types `character` while Command
  // alone is held, in the current keyboard layout, which is how applications
  // read a Command shortcut; nothing when the layout cannot tell.
  virtual std::optional<KeyCode> keyCodeForCharacterWithCommand(char16_t character) = 0;
};

}  // namespace brimlane
