#include "sim/sim_hot_keys.h"

#include <algorithm>
#include <string>

namespace brimlane::sim {
namespace {

std::string describeCombination(std::uint32_t keyCode, std::uint32_t modifiers) {
  std::string text;
  if (modifiers & kControlKey) text += "ctrl+";
  if (modifiers & kOptionKey) text += "option+";
  if (modifiers & kCmdKey) text += "cmd+";
  if (modifiers & kShiftKey) text += "shift+";
  return text + (keyCode == 17 ? std::string("t") : "key " + std::to_string(keyCode));
}

}  // namespace

EventTargetRef SimHotKeys::applicationEventTarget() {
  return reinterpret_cast<EventTargetRef>(&applicationTarget_);
}

OSStatus SimHotKeys::installEventHandler(EventTargetRef target, EventHandler handler,
                                         std::span<const EventTypeSpec> types, void* userData) {
  if (installStatus != kNoErr) {
    timeline_.record(
        Source::kHotKey, "install refused",
        "The system refuses the hot-key handler (" + std::to_string(installStatus) + ").");
    return installStatus;
  }
  timeline_.record(Source::kHotKey, "install", "The host installs a hot-key handler.");
  handlers_.push_back({target, std::move(handler), {types.begin(), types.end()}, userData});
  return kNoErr;
}

OSStatus SimHotKeys::registerEventHotKey(std::uint32_t keyCode, std::uint32_t modifiers,
                                         EventHotKeyID id, EventTargetRef target,
                                         std::uint32_t options, EventHotKeyRef* outRef) {
  if (registerStatus != kNoErr) {
    timeline_.record(Source::kHotKey, "register refused",
                     "The system refuses the hot key (" + std::to_string(registerStatus) + ").");
    return registerStatus;
  }
  timeline_.record(Source::kHotKey, "register",
                   "The host registers " + describeCombination(keyCode, modifiers) + ".");
  registrations_.push_back({keyCode, modifiers, id, target, options});
  // Any distinct non-null value serves as the opaque reference.
  if (outRef) *outRef = reinterpret_cast<EventHotKeyRef>(registrations_.size());
  return kNoErr;
}

void SimHotKeys::removeAll() {
  handlers_.clear();
  registrations_.clear();
}

std::optional<OSStatus> SimHotKeys::press(std::uint32_t keyCode, std::uint32_t modifiers) {
  const std::string combination = describeCombination(keyCode, modifiers);
  const auto registration =
      std::find_if(registrations_.begin(), registrations_.end(),
                   [&](const auto& r) { return r.keyCode == keyCode && r.modifiers == modifiers; });
  if (registration == registrations_.end()) {
    timeline_.record(Source::kUser, "press", "The user presses " + combination + ".");
    return std::nullopt;
  }
  timeline_.record(Source::kHotKey, "press",
                   "The user presses " + combination + ", a registered hot key.");
  // The most recently installed handler is asked first; one that does not
  // handle the event passes it on.
  for (auto it = handlers_.rbegin(); it != handlers_.rend(); ++it) {
    const bool wanted =
        it->target == registration->target &&
        std::any_of(it->types.begin(), it->types.end(), [](const EventTypeSpec& t) {
          return t.eventClass == kEventClassKeyboard && t.eventKind == kEventHotKeyPressed;
        });
    if (!wanted) continue;
    const OSStatus status = it->handler(nullptr, nullptr, it->userData);
    timeline_.record(Source::kHotKey, "handled",
                     "The hot-key handler returns " + std::to_string(status) + ".");
    if (status != kEventNotHandledErr) return status;
  }
  return std::nullopt;
}

}  // namespace brimlane::sim
