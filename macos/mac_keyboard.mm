// Keyboard over Quartz event services: CGEventSource, CGEvent keyboard events,
// their flags, and posting to a process or to an event tap; and the current
// keyboard layout over Text Input Sources and UCKeyTranslate.
#include "macos/mac_keyboard.h"

#include <ApplicationServices/ApplicationServices.h>
#include <Carbon/Carbon.h>
#import <Foundation/Foundation.h>

#include <iterator>

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

// The 'uchr' data of an input source, owned by the source, or nullptr when it
// has none.
const UCKeyboardLayout* unicodeLayout(TISInputSourceRef source) {
  if (!source) return nullptr;
  const auto data =
      static_cast<CFDataRef>(TISGetInputSourceProperty(source, kTISPropertyUnicodeKeyLayoutData));
  if (!data) return nullptr;
  return reinterpret_cast<const UCKeyboardLayout*>(CFDataGetBytePtr(data));
}

// Virtual key codes go up to 127; the character keys are all below that.
constexpr UInt16 kKeyCodeCount = 128;
// UCKeyTranslate takes the Carbon modifier bits shifted down by eight.
constexpr UInt32 kCommandModifierState = (cmdKey >> 8) & 0xFF;

// The key that types `character` in `layout` while Command alone is held, or
// nothing when no key does (or there is no layout).
std::optional<KeyCode> keyCodeTypingWithCommand(const UCKeyboardLayout* layout,
                                                char16_t character) {
  if (!layout) return std::nullopt;
  const UInt32 keyboardType = LMGetKbdType();
  for (UInt16 keyCode = 0; keyCode < kKeyCodeCount; ++keyCode) {
    UInt32 deadKeyState = 0;
    UniChar typed[4];
    UniCharCount length = 0;
    // Dead keys are not followed: a key that only starts an accent types no
    // character of its own.
    const OSStatus status = UCKeyTranslate(layout, keyCode, kUCKeyActionDown, kCommandModifierState,
                                           keyboardType, kUCKeyTranslateNoDeadKeysMask,
                                           &deadKeyState, std::size(typed), &length, typed);
    if (status == noErr && length == 1 && typed[0] == character) return keyCode;
  }
  return std::nullopt;
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

std::optional<KeyCode> MacKeyboard::keyCodeForCharacterWithCommand(char16_t character) {
  // Text Input Source calls are made on the main thread only; elsewhere the
  // layout cannot be asked, and the host falls back on the US keys.
  if (!NSThread.isMainThread) return std::nullopt;
  // The keyboard layout, not the input source: under an input method (for
  // Japanese, Chinese or Korean) it is the layout that input method types
  // with, which is also the one Command shortcuts are read through, and it
  // may well be Dvorak.
  CFOwned<TISInputSourceRef> current(TISCopyCurrentKeyboardLayoutInputSource());
  const std::optional<KeyCode> inLayout =
      keyCodeTypingWithCommand(unicodeLayout(current.get()), character);
  if (inLayout) return inLayout;
  // A layout without Unicode layout data, or without the letter on its
  // Command level: the ASCII-capable layout the system types Latin letters
  // with.
  CFOwned<TISInputSourceRef> asciiCapable(TISCopyCurrentASCIICapableKeyboardLayoutInputSource());
  return keyCodeTypingWithCommand(unicodeLayout(asciiCapable.get()), character);
}

}  // namespace brimlane
