#include "sim/sim_keyboard.h"

namespace brimlane::sim {
namespace {

class SimEventSource : public EventSource {
 public:
  explicit SimEventSource(EventSourceState state) : state(state) {}
  EventSourceState state;
};

class SimKeyboardEvent : public KeyboardEvent {
 public:
  SimKeyboardEvent(KeyCode keyCode, bool keyDown, std::optional<EventSourceState> source)
      : keyCode(keyCode), keyDown(keyDown), source(source) {}
  void setFlags(EventFlags newFlags) override { flags = newFlags; }

  KeyCode keyCode;
  bool keyDown;
  std::optional<EventSourceState> source;
  EventFlags flags = 0;
};

// Virtual key codes of the ANSI layout, for the keys worth naming.
std::string keyName(KeyCode keyCode) {
  switch (keyCode) {
    case 8:
      return "c";
    case 9:
      return "v";
    case 17:
      return "t";
    default:
      return "key " + std::to_string(keyCode);
  }
}

}  // namespace

std::string describeKey(KeyCode keyCode, EventFlags flags, bool keyDown) {
  std::string text;
  if (flags & kEventFlagMaskCommand) text += "cmd+";
  if (flags & ~kEventFlagMaskCommand) text += "(other flags)+";
  return text + keyName(keyCode) + (keyDown ? " down" : " up");
}

std::unique_ptr<EventSource> SimKeyboard::createEventSource(EventSourceState state) {
  sourcesCreated_.push_back(state);
  if (failEventSource) return nullptr;
  return std::make_unique<SimEventSource>(state);
}

std::unique_ptr<KeyboardEvent> SimKeyboard::createKeyboardEvent(EventSource* source,
                                                                KeyCode keyCode, bool keyDown) {
  if (failKeyEvents.contains({keyCode, keyDown})) return nullptr;
  std::optional<EventSourceState> state;
  if (source) state = static_cast<const SimEventSource*>(source)->state;
  return std::make_unique<SimKeyboardEvent>(keyCode, keyDown, state);
}

void SimKeyboard::postToPid(ProcessId pid, KeyboardEvent& event) {
  const auto& e = static_cast<const SimKeyboardEvent&>(event);
  deliver({scheduler_.now(), e.keyCode, e.flags, e.keyDown, e.source, pid, {}},
          workspace_.findByPid(pid));
}

void SimKeyboard::post(EventTapLocation, KeyboardEvent& event) {
  const auto& e = static_cast<const SimKeyboardEvent&>(event);
  // The input stream hands the event to whichever application is frontmost.
  deliver({scheduler_.now(), e.keyCode, e.flags, e.keyDown, e.source, std::nullopt, {}},
          workspace_.frontmost());
}

void SimKeyboard::deliver(PostedKey key, SimApp* receiver) {
  if (receiver) key.receiver = receiver->name;
  const std::string route =
      key.pid ? "to pid " + std::to_string(*key.pid) : "into the input stream";
  timeline_.record(Source::kKeyboard, describeKey(key.keyCode, key.flags, key.keyDown),
                   describeKey(key.keyCode, key.flags, key.keyDown) + " is posted " + route +
                       (receiver ? " and reaches " + receiver->name : " and reaches no one") + ".");
  if (onPost) onPost(key);
  posted_.push_back(key);
  if (receiver) workspace_.deliverKey(*receiver, key.keyCode, key.flags, key.keyDown);
}

}  // namespace brimlane::sim
