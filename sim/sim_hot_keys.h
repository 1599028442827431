// Simulated system-wide hot keys: a key combination pressed anywhere reaches
// the installed handlers only if that combination is registered.
#pragma once

#include <optional>
#include <vector>

#include "app/platform/hot_keys.h"
#include "sim/timeline.h"

namespace brimlane::sim {

struct InstalledHandler {
  EventTargetRef target;
  EventHandler handler;
  std::vector<EventTypeSpec> types;
  void* userData;
};

struct HotKeyRegistration {
  std::uint32_t keyCode;
  std::uint32_t modifiers;
  EventHotKeyID id;
  EventTargetRef target;
  std::uint32_t options;
};

class SimHotKeys : public HotKeys {
 public:
  explicit SimHotKeys(Timeline& timeline) : timeline_(timeline) {}

  // HotKeys
  EventTargetRef applicationEventTarget() override;
  OSStatus installEventHandler(EventTargetRef target, EventHandler handler,
                               std::span<const EventTypeSpec> types, void* userData) override;
  OSStatus registerEventHotKey(std::uint32_t keyCode, std::uint32_t modifiers, EventHotKeyID id,
                               EventTargetRef target, std::uint32_t options,
                               EventHotKeyRef* outRef) override;

  // The user presses a combination (Carbon modifier bits) in any application.
  // Gives the status of the handler that took the event, or nothing when no
  // registered hot key matched or no handler took it.
  std::optional<OSStatus> press(std::uint32_t keyCode, std::uint32_t modifiers);

  // The host's process has ended: the system lets go of its handlers and
  // hot keys.
  void removeAll();

  const std::vector<InstalledHandler>& handlers() const { return handlers_; }
  const std::vector<HotKeyRegistration>& registrations() const { return registrations_; }
  // Statuses the system answers with instead of success.
  OSStatus installStatus = kNoErr;
  OSStatus registerStatus = kNoErr;

 private:
  Timeline& timeline_;
  std::vector<InstalledHandler> handlers_;
  std::vector<HotKeyRegistration> registrations_;
  char applicationTarget_ = 0;
};

// Common refusals, with the platform's numbers.
inline constexpr OSStatus kParamErr = -50;
inline constexpr OSStatus kEventHotKeyExistsErr = -9878;
inline constexpr OSStatus kEventNotHandledErr = -9874;

}  // namespace brimlane::sim
