// Helpers shared by the tests: reading the simulated desktop's timeline.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>
#include <sstream>
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
                     " → " +
                     (key.dropped            ? "dropped"
                      : key.receiver.empty() ? "no one"
                                             : key.receiver));
    }
    return keys;
  }
  // The UI code calls the host on a channel.
  UiCallOutcome callChannel(const std::string& channel, const std::string& method,
                            ChannelValue arguments) {
    return desktop.engine().call(channel, MethodCall{method, std::move(arguments)});
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

namespace brimlane::sim {

// A keystroke that cannot be made, and whether one is posted all the same.
struct KeystrokeFailureCase {
  const char* name;
  bool failSource;
  std::set<std::pair<char, bool>> failEvents;  // by meaning, as SimKeyboard takes them
  bool posted;
  friend void PrintTo(const KeystrokeFailureCase& c, std::ostream* os) { *os << c.name; }
};

inline const std::string kSelectionChannel = "com.brimlane.app/selection";
inline const std::string kSystemChannel = "com.brimlane.app/system";

inline DecodedReply successReply(ChannelValue value) {
  DecodedReply reply;
  reply.kind = DecodedReply::Kind::kSuccess;
  reply.value = std::move(value);
  return reply;
}

inline DecodedReply errorReply(std::string code, std::string message) {
  DecodedReply reply;
  reply.kind = DecodedReply::Kind::kError;
  reply.code = std::move(code);
  reply.message = std::move(message);
  return reply;
}

inline DecodedReply notImplementedReply() {
  return DecodedReply{};
}

inline const DecodedReply kNull = successReply(ChannelValue());
inline const DecodedReply kTrue = successReply(ChannelValue(true));
inline const DecodedReply kFalse = successReply(ChannelValue(false));

inline void PrintTo(const DecodedReply& reply, std::ostream* os) {
  switch (reply.kind) {
    case DecodedReply::Kind::kSuccess:
      *os << "success " << describe(reply.value);
      break;
    case DecodedReply::Kind::kError:
      *os << "error " << reply.code << " " << reply.message.value_or("<null>") << " "
          << describe(reply.details);
      break;
    case DecodedReply::Kind::kNotImplemented:
      *os << "not implemented";
      break;
  }
}

// Exactly one reply, given before the handler returned, and what it said.
MATCHER_P(AnsweredOnceWith, expected, "") {
  if (!arg.delivered || arg.replies.size() != 1 || arg.repliesBeforeReturn != 1) {
    *result_listener << "got " << arg.replies.size() << " replies, " << arg.repliesBeforeReturn
                     << " before the handler returned";
    return false;
  }
  const std::optional<DecodedReply> reply = arg.reply();
  if (!reply) {
    *result_listener << "the reply does not decode";
    return false;
  }
  if (*reply == expected) return true;
  std::ostringstream said;
  PrintTo(*reply, &said);
  *result_listener << "which answered " << said.str();
  return false;
}

}  // namespace brimlane::sim
