// System-wide hot keys: an event handler on an event target and the
// registration of a key combination that delivers hot-key events to it from
// any application. Main thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <span>

namespace brimlane {

using OSStatus = std::int32_t;
inline constexpr OSStatus kNoErr = 0;

using FourCharCode = std::uint32_t;

// The four characters packed with the first one in the most significant byte.
constexpr FourCharCode fourCharCode(const char (&code)[5]) {
  return (FourCharCode{static_cast<unsigned char>(code[0])} << 24) |
         (FourCharCode{static_cast<unsigned char>(code[1])} << 16) |
         (FourCharCode{static_cast<unsigned char>(code[2])} << 8) |
         FourCharCode{static_cast<unsigned char>(code[3])};
}

inline constexpr std::uint32_t kEventClassKeyboard = fourCharCode("keyb");
inline constexpr std::uint32_t kEventHotKeyPressed = 5;
inline constexpr std::uint32_t kEventHotKeyReleased = 6;
inline constexpr std::uint32_t kEventHotKeyNoOptions = 0;

// Modifier bits of a hot-key registration.
inline constexpr std::uint32_t kCmdKey = 1 << 8;
inline constexpr std::uint32_t kShiftKey = 1 << 9;
inline constexpr std::uint32_t kOptionKey = 1 << 11;
inline constexpr std::uint32_t kControlKey = 1 << 12;

struct EventTypeSpec {
  std::uint32_t eventClass;
  std::uint32_t eventKind;
};

struct EventHotKeyID {
  FourCharCode signature;
  std::uint32_t id;
};

struct OpaqueEventTarget;
struct OpaqueEventHotKey;
struct OpaqueEventHandlerCall;
struct OpaqueEvent;
using EventTargetRef = OpaqueEventTarget*;
using EventHotKeyRef = OpaqueEventHotKey*;
using EventHandlerCallRef = OpaqueEventHandlerCall*;
using EventRef = OpaqueEvent*;

// Called with the next handler in the chain, the event and the user data; its
// status tells whether the event was handled (kNoErr) or should go on.
using EventHandler = std::function<OSStatus(EventHandlerCallRef, EventRef, void* userData)>;

class HotKeys {
 public:
  virtual ~HotKeys() = default;

  virtual EventTargetRef applicationEventTarget() = 0;

  // Installs `handler` for the listed event kinds sent to `target`.
  virtual OSStatus installEventHandler(EventTargetRef target, EventHandler handler,
                                       std::span<const EventTypeSpec> types, void* userData) = 0;

  // Registers the combination; on success writes the registration to *outRef.
  virtual OSStatus registerEventHotKey(std::uint32_t keyCode, std::uint32_t modifiers,
                                       EventHotKeyID id, EventTargetRef target,
                                       std::uint32_t options, EventHotKeyRef* outRef) = 0;
};

}  // namespace brimlane
