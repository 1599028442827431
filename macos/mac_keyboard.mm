// Keyboard over Quartz event services: CGEventSource, CGEvent keyboard events,
// their flags, and posting to a process or to an event tap.
#include "macos/mac_keyboard.h"

#include <ApplicationServices/ApplicationServices.h>

namespace brimlane {
namespace {

static_assert(static_cast<CGEventSourceStateID>(EventSourceState::kPrivate) ==
              kCGEventSourceStatePrivate);
static_assert(static_cast<CGEventSourceStateID>(EventSourceState::kCombinedSessionState) ==
              kCGEventSourceStateCombinedSessionState);
static_assert(static_cast<CGEventSourceStateID>(EventSourceState::kHIDSystemState) ==
              kCGEventSourceStateHIDSystemState);
static_assert(static_cast<CGEventTapLocation>(EventTapLocation::kHIDEventTap) == kCGHIDEventTap);
static_assert(static_cast<CGEventTapLocation>(EventTapLocation::kSessionEventTap) ==
              kCGSessionEventTap);
static_assert(static_cast<CGEventTapLocation>(EventTapLocation::kAnnotatedSessionEventTap) ==
              kCGAnnotatedSessionEventTap);
static_assert(kEventFlagMaskCommand == kCGEventFlagMaskCommand);

// Owns one reference to a Core Foundation object and releases it when done.
template <class Ref>
class CFOwned {
 public:
  explicit CFOwned(Ref ref) : ref_(ref) {}
  CFOwned(const CFOwned&) = delete;
  CFOwned& operator=(const CFOwned&) = delete;
  ~CFOwned() {
    if (ref_) CFRelease(ref_);
  }
  Ref get() const { return ref_; }

 private:
  Ref ref_;
};

class MacEventSource : public EventSource {
 public:
  explicit MacEventSource(CGEventSourceRef source) : source_(source) {}
  CGEventSourceRef get() const { return source_.get(); }

 private:
  CFOwned<CGEventSourceRef> source_;
};

class MacKeyboardEvent : public KeyboardEvent {
 public:
  explicit MacKeyboardEvent(CGEventRef event) : event_(event) {}
  void setFlags(EventFlags flags) override {
    CGEventSetFlags(event_.get(), static_cast<CGEventFlags>(flags));
  }
  CGEventRef get() const { return event_.get(); }

 private:
  CFOwned<CGEventRef> event_;
};

// Every event and source the host posts or uses was made by this service.
CGEventRef nativeEvent(KeyboardEvent& event) {
  return static_cast<MacKeyboardEvent&>(event).get();
}

}  // namespace

std::unique_ptr<EventSource> MacKeyboard::createEventSource(EventSourceState state) {
  CGEventSourceRef source = CGEventSourceCreate(static_cast<CGEventSourceStateID>(state));
  if (!source) return nullptr;
  return std::make_unique<MacEventSource>(source);
}

std::unique_ptr<KeyboardEvent> MacKeyboard::createKeyboardEvent(EventSource* source,
                                                                KeyCode keyCode, bool keyDown) {
  CGEventSourceRef nativeSource = source ? static_cast<MacEventSource*>(source)->get() : nullptr;
  CGEventRef event =
      CGEventCreateKeyboardEvent(nativeSource, static_cast<CGKeyCode>(keyCode), keyDown);
  if (!event) return nullptr;
  return std::make_unique<MacKeyboardEvent>(event);
}

void MacKeyboard::postToPid(ProcessId pid, KeyboardEvent& event) {
  CGEventPostToPid(static_cast<pid_t>(pid), nativeEvent(event));
}

void MacKeyboard::post(EventTapLocation tap, KeyboardEvent& event) {
  CGEventPost(static_cast<CGEventTapLocation>(tap), nativeEvent(event));
}

}  // namespace brimlane
