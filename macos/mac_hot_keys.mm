// Hot keys over the Carbon event manager: GetApplicationEventTarget,
// InstallEventHandler with a C trampoline, RegisterEventHotKey.
#include "macos/mac_hot_keys.h"

#include <Carbon/Carbon.h>

#include <vector>

// The seam mirrors Carbon's values and opaque references, under its own names.
static_assert(brimlane::kEventClassKeyboard == kEventClassKeyboard);
static_assert(brimlane::kEventHotKeyPressed == kEventHotKeyPressed);
static_assert(brimlane::kEventHotKeyReleased == kEventHotKeyReleased);
static_assert(brimlane::kEventHotKeyNoOptions == kEventHotKeyNoOptions);
static_assert(brimlane::kCmdKey == cmdKey);
static_assert(brimlane::kShiftKey == shiftKey);
static_assert(brimlane::kOptionKey == optionKey);
static_assert(brimlane::kControlKey == controlKey);
static_assert(brimlane::kNoErr == noErr);

namespace {

// What the Carbon user data of an installed handler points to. Handlers are
// never removed, so a record is never freed.
struct HandlerRecord {
  brimlane::EventHandler handler;
  void* userData;
};

// Carbon calls this on the main thread for each event of the listed kinds; all
// it does is hand the call on to the seam's handler.
OSStatus handlerTrampoline(EventHandlerCallRef nextHandler, EventRef event, void* record) {
  const auto& handlerRecord = *static_cast<const HandlerRecord*>(record);
  return handlerRecord.handler(reinterpret_cast<brimlane::EventHandlerCallRef>(nextHandler),
                               reinterpret_cast<brimlane::EventRef>(event), handlerRecord.userData);
}

::EventTargetRef toCarbon(brimlane::EventTargetRef target) {
  return reinterpret_cast<::EventTargetRef>(target);
}

}  // namespace

namespace brimlane {

EventTargetRef MacHotKeys::applicationEventTarget() {
  return reinterpret_cast<EventTargetRef>(GetApplicationEventTarget());
}

OSStatus MacHotKeys::installEventHandler(EventTargetRef target, EventHandler handler,
                                         std::span<const EventTypeSpec> types, void* userData) {
  static const EventHandlerUPP trampoline = NewEventHandlerUPP(handlerTrampoline);
  std::vector<::EventTypeSpec> carbonTypes;
  carbonTypes.reserve(types.size());
  for (const EventTypeSpec& type : types) carbonTypes.push_back({type.eventClass, type.eventKind});
  auto* record = new HandlerRecord{std::move(handler), userData};
  const ::OSStatus status = InstallEventHandler(toCarbon(target), trampoline, carbonTypes.size(),
                                                carbonTypes.data(), record, nullptr);
  // Not installed: nothing will ever call through the record.
  if (status != noErr) delete record;
  return status;
}

OSStatus MacHotKeys::registerEventHotKey(std::uint32_t keyCode, std::uint32_t modifiers,
                                         EventHotKeyID hotKeyID, EventTargetRef target,
                                         std::uint32_t options, EventHotKeyRef* outRef) {
  const ::EventHotKeyID carbonID{hotKeyID.signature, hotKeyID.id};
  ::EventHotKeyRef carbonRef = nullptr;
  const ::OSStatus status =
      RegisterEventHotKey(keyCode, modifiers, carbonID, toCarbon(target), options, &carbonRef);
  if (status == noErr && outRef) *outRef = reinterpret_cast<EventHotKeyRef>(carbonRef);
  return status;
}

}  // namespace brimlane
