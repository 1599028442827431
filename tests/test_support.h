// Helpers shared by the tests: reading the simulated desktop's timeline.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/describe.h"
#include "sim/sim_desktop.h"

namespace brimlane::sim {

// "source: event" for each timeline event, in order, optionally only those of
// the given sources.
inline std::vector<std::string> steps(const Timeline& timeline, std::vector<Source> sources = {}) {
  std::vector<std::string> result;
  for (const TimelineEvent& e : timeline.events()) {
    if (!sources.empty() && std::find(sources.begin(), sources.end(), e.source) == sources.end()) {
      continue;
    }
    result.push_back(std::string(sourceName(e.source)) + ": " + e.event);
  }
  return result;
}

inline std::string plainText(const SimPasteboard& pasteboard) {
  auto& mutablePasteboard = const_cast<SimPasteboard&>(pasteboard);
  return mutablePasteboard.stringForTypeString().value_or("<none>");
}

}  // namespace brimlane::sim

namespace brimlane::sim {

// A launched host on a desktop where the user works in Notes (and has Mail
// open too). The user's clipboard holds one plain-text item.
class HostTest : public ::testing::Test {
 protected:
  HostTest() {
    notes.selection = "selected text";
    desktop.pasteboard().setItems({userClipboard()}, "The user");
    desktop.activate(notes);
    desktop.launch();
    desktop.activate(notes);
  }

  static SimPasteboardItem userClipboard() {
    return SimPasteboardItem::plainText("user's clipboard");
  }

  AppDelegate& host() { return *desktop.delegate(); }
  SimPanel& panel() { return *desktop.windows().panel(); }
  // Keystrokes posted since the last call, as "cmd+c down → Notes".
  std::vector<std::string> newKeystrokes() {
    std::vector<std::string> keys;
    const auto& posted = desktop.keyboard().posted();
    for (; keystrokesSeen_ < posted.size(); ++keystrokesSeen_) {
      const PostedKey& key = posted[keystrokesSeen_];
      keys.push_back(describeKey(key.keyCode, key.flags, key.keyDown) + " → " +
                     (key.pid ? "pid " + std::to_string(*key.pid) : std::string("input stream")) +
                     " → " + (key.receiver.empty() ? "no one" : key.receiver));
    }
    return keys;
  }
  // Seconds of virtual time since the start.
  double seconds() const { return toSeconds(desktop.now()); }

  SimDesktop desktop;
  SimApp& notes = desktop.launchApp("Notes");
  SimApp& mail = desktop.launchApp("Mail");

 private:
  std::size_t keystrokesSeen_ = 0;
};

}  // namespace brimlane::sim
