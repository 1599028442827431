// Simulated synthetic keystrokes: every event posted is recorded, and reaches
// the application it was aimed at, provided the host is trusted for
// Accessibility when it posts: the system drops it otherwise.
#pragma once

#include <functional>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "app/platform/keyboard.h"
#include "sim/keyboard_layout.h"
#include "sim/sim_accessibility.h"
#include "sim/sim_workspace.h"
#include "sim/timeline.h"

namespace brimlane::sim {

struct PostedKey {
  SimTime time;
  KeyCode keyCode;
  EventFlags flags;
  bool keyDown;
  // The state of the event source it was made from; nothing: made without one.
  std::optional<EventSourceState> source;
  std::optional<ProcessId> pid;  // posted to this process; nothing: to the HID tap
  std::string receiver;          // the application it reached, or empty
  // The system dropped it: the host was not trusted when it posted.
  bool dropped = false;
};

class SimKeyboard : public Keyboard {
 public:
  SimKeyboard(Scheduler& scheduler, Timeline& timeline, SimWorkspace& workspace,
              const SimAccessibility& accessibility)
      : scheduler_(scheduler),
        timeline_(timeline),
        workspace_(workspace),
        accessibility_(accessibility) {}

  // Keyboard
  std::unique_ptr<EventSource> createEventSource(EventSourceState state) override;
  std::unique_ptr<KeyboardEvent> createKeyboardEvent(EventSource* source, KeyCode keyCode,
                                                     bool keyDown) override;
  void postToPid(ProcessId pid, KeyboardEvent& event) override;
  void post(EventTapLocation tap, KeyboardEvent& event) override;
  std::optional<KeyCode> keyCodeForCharacterWithCommand(char16_t character) override;

  // The user's keyboard layout; applications read the shortcuts they receive
  // through it.
  KeyboardLayout layout() const { return layout_; }
  void setLayout(KeyboardLayout layout);

  const std::vector<PostedKey>& posted() const { return posted_; }
  // Event sources made so far, with the state each was asked for.
  const std::vector<EventSourceState>& sourcesCreated() const { return sourcesCreated_; }

  // Told of every event as it is posted, before it reaches anyone.
  std::function<void(const PostedKey&)> onPost;

  // Failure injection. A key event fails by what it means: (the character its
  // key types under Command in the current layout, key down).
  bool failEventSource = false;
  std::set<std::pair<char, bool>> failKeyEvents;

 private:
  void deliver(PostedKey key, SimApp* receiver);

  Scheduler& scheduler_;
  Timeline& timeline_;
  SimWorkspace& workspace_;
  const SimAccessibility& accessibility_;
  std::vector<PostedKey> posted_;
  std::vector<EventSourceState> sourcesCreated_;
  KeyboardLayout layout_ = KeyboardLayout::kUs;
};

// "cmd+c down" and the like, for timelines and messages: the key as a US
// keyboard labels it, whatever the layout makes of it.
std::string describeKey(KeyCode keyCode, EventFlags flags, bool keyDown);

}  // namespace brimlane::sim
