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

}  // namespace

std::string describeKey(KeyCode keyCode, EventFlags flags, bool keyDown) {
  std::string text;
  if (flags & kEventFlagMaskCommand) text += "cmd+";
  if (flags & ~kEventFlagMaskCommand) text += "(other flags)+";
  return text + usKeyName(keyCode) + (keyDown ? " down" : " up");
}

std::unique_ptr<EventSource> SimKeyboard::createEventSource(EventSourceState state) {
  sourcesCreated_.push_back(state);
  if (failEventSource) return nullptr;
  return std::make_unique<SimEventSource>(state);
}

std::unique_ptr<KeyboardEvent> SimKeyboard::createKeyboardEvent(EventSource* source,
                                                                KeyCode keyCode, bool keyDown) {
  const std::optional<char> meaning = characterWithCommand(layout_, keyCode);
  if (meaning && failKeyEvents.contains({*meaning, keyDown})) return nullptr;
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

std::optional<KeyCode> SimKeyboard::keyCodeForCharacterWithCommand(char16_t character) {
  if (layout_ == KeyboardLayout::kNone) return std::nullopt;
  for (KeyCode keyCode = 0; keyCode < 128; ++keyCode) {
    const std::optional<char> typed = characterWithCommand(layout_, keyCode);
    if (typed && static_cast<char16_t>(*typed) == character) return keyCode;
  }
  return std::nullopt;
}

void SimKeyboard::setLayout(KeyboardLayout layout) {
  layout_ = layout;
  timeline_.record(Source::kUser, "layout",
                   "The user switches to " + std::string(describe(layout)) + ".");
}

void SimKeyboard::deliver(PostedKey key, SimApp* receiver) {
  // The system checks the trust of the posting process as each event is
  // posted, not when the host last asked: trust taken back a moment ago
  // stops the very next keystroke.
  key.dropped = !accessibility_.trusted();
  if (key.dropped) receiver = nullptr;
  if (receiver) key.receiver = receiver->name;
  const std::string route =
      key.pid ? "to pid " + std::to_string(*key.pid) : "into the input stream";
  // What an application makes of the key, said when the layout makes it
  // something else than on a US keyboard.
  const std::optional<char> typed = characterWithCommand(layout_, key.keyCode);
  const std::string read = typed ? std::string(1, *typed) : usKeyName(key.keyCode);
  const std::string readAs =
      typed == characterWithCommand(KeyboardLayout::kUs, key.keyCode)
          ? ""
          : ", read as cmd+" + read + " in " + std::string(describe(layout_));
  timeline_.record(Source::kKeyboard, describeKey(key.keyCode, key.flags, key.keyDown),
                   describeKey(key.keyCode, key.flags, key.keyDown) + " is posted " + route +
                       (key.dropped ? " and dropped: the host is not trusted"
                                    : (receiver ? " and reaches " + receiver->name
                                                : std::string(" and reaches no one")) +
                                          readAs) +
                       ".");
  if (onPost) onPost(key);
  posted_.push_back(key);
  if (receiver) workspace_.deliverKey(*receiver, read, key.flags, key.keyDown);
}

}  // namespace brimlane::sim
