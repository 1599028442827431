// The hot-key service over the Carbon event manager. Objective-C++ only.
#pragma once

#include "app/platform/hot_keys.h"

namespace brimlane {

class MacHotKeys : public HotKeys {
 public:
  EventTargetRef applicationEventTarget() override;
  OSStatus installEventHandler(EventTargetRef target, EventHandler handler,
                               std::span<const EventTypeSpec> types, void* userData) override;
  OSStatus registerEventHotKey(std::uint32_t keyCode, std::uint32_t modifiers,
                               EventHotKeyID hotKeyID, EventTargetRef target, std::uint32_t options,
                               EventHotKeyRef* outRef) override;
};

}  // namespace brimlane
