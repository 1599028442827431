// The global hot key Command-Shift-T, which summons the panel from any
// application.
#include "app/app_delegate.h"

namespace brimlane {
namespace {

constexpr std::uint32_t kVirtualKeyT = 17;  // the key at T's place on the ANSI layout
constexpr std::uint32_t kSummonModifiers = kCmdKey | kShiftKey;
constexpr EventHotKeyID kSummonHotKeyID{fourCharCode("BRLN"), 1};

// Carbon calls this on every press of a registered key. It only queues the
// summon, so the press is handled at once whatever the summon later costs; the
// summon finds the delegate when it runs instead of holding it.
EventHandler makeHotKeyHandler(MainQueue& mainQueue, Application& application) {
  return [&mainQueue, &application](EventHandlerCallRef, EventRef, void*) -> OSStatus {
    mainQueue.async([&application] {
      const std::shared_ptr<AppDelegate> delegate =
          std::dynamic_pointer_cast<AppDelegate>(application.delegate());
      if (!delegate) return;
      delegate->summonPanel();
    });
    return kNoErr;
  };
}

}  // namespace

void AppDelegate::setupGlobalHotKey() {
  HotKeys& hotKeys = services_.hotKeys;
  const EventTypeSpec hotKeyPressed{kEventClassKeyboard, kEventHotKeyPressed};
  // Neither status is acted on: without the hot key the status item still
  // summons the panel.
  hotKeys.installEventHandler(hotKeys.applicationEventTarget(),
                              makeHotKeyHandler(services_.mainQueue, services_.application),
                              {&hotKeyPressed, 1}, nullptr);
  EventHotKeyRef ref = nullptr;
  hotKeys.registerEventHotKey(kVirtualKeyT, kSummonModifiers, kSummonHotKeyID,
                              hotKeys.applicationEventTarget(), kEventHotKeyNoOptions, &ref);
  if (ref) hotKeyRef = ref;
}

}  // namespace brimlane
