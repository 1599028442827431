// The copy and paste keystrokes on the user's keyboard layout: applications
// read a Command shortcut by the character its key types, so the host asks
// the layout which key types C and V instead of assuming a US keyboard.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "test_support.h"

namespace brimlane::sim {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class CommandKeyLayoutTest : public HostTest {
 protected:
  // What the applications received that was neither a copy nor a paste.
  std::vector<std::string> strayShortcuts() {
    std::vector<std::string> received;
    for (const TimelineEvent& e : desktop.timeline().events()) {
      if (e.event == "shortcut") received.push_back(e.details);
    }
    return received;
  }
  // Key codes and targets of the keystrokes posted since the last call.
  std::vector<std::string> newKeyCodes() {
    std::vector<std::string> keys;
    const auto& posted = desktop.keyboard().posted();
    for (; keysSeen_ < posted.size(); ++keysSeen_) {
      const PostedKey& key = posted[keysSeen_];
      keys.push_back(std::to_string(key.keyCode) + (key.keyDown ? " down" : " up") + " → " +
                     key.receiver);
    }
    return keys;
  }

 private:
  std::size_t keysSeen_ = 0;
};

struct LayoutCase {
  const char* name;
  KeyboardLayout layout;
  KeyCode copyKey;
  KeyCode pasteKey;
  friend void PrintTo(const LayoutCase& c, std::ostream* os) { *os << c.name; }
};

class LayoutKeystrokeTest : public CommandKeyLayoutTest,
                            public ::testing::WithParamInterface<LayoutCase> {};

// Pins the fault where the host sent the keys of C and V on a US keyboard:
// on Dvorak those are Command-J and Command-K, which copy and paste nothing
// and may do something the user never asked for.
TEST_P(LayoutKeystrokeTest, CopiesAndPastesWhateverKeysTheLayoutPutsCAndVOn) {
  const LayoutCase& c = GetParam();
  const std::string copyDown = std::to_string(c.copyKey) + " down → Notes";
  const std::string copyUp = std::to_string(c.copyKey) + " up → Notes";
  const std::string pasteDown = std::to_string(c.pasteKey) + " down → Notes";
  const std::string pasteUp = std::to_string(c.pasteKey) + " up → Notes";
  desktop.keyboard().setLayout(c.layout);

  desktop.pressKeys(17, kCmdKey | kShiftKey);
  EXPECT_THAT(newKeyCodes(), ElementsAre(copyDown, copyUp));
  ASSERT_EQ(desktop.engine().received().size(), 1u);
  EXPECT_EQ(desktop.engine().received().front().call.arguments, ChannelValue("selected text"));

  EXPECT_TRUE(host().pasteTextToLastActiveApp("rewritten"));
  desktop.advance(Seconds(1));
  EXPECT_THAT(newKeyCodes(), ElementsAre(pasteDown, pasteUp));
  EXPECT_EQ(notes.document, "rewritten");

  EXPECT_THAT(strayShortcuts(), IsEmpty());
  EXPECT_THAT(desktop.pasteboard().items(), ElementsAre(userClipboard()));
}

INSTANTIATE_TEST_SUITE_P(Layouts, LayoutKeystrokeTest,
                         ::testing::Values(LayoutCase{"Us", KeyboardLayout::kUs, 8, 9},
                                           LayoutCase{"Dvorak", KeyboardLayout::kDvorak, 34, 47},
                                           // QWERTY while Command is held, and Latin letters under
                                           // Command: the keys of today.
                                           LayoutCase{"DvorakQwertyCommand",
                                                      KeyboardLayout::kDvorakQwertyCommand, 8, 9},
                                           LayoutCase{"Russian", KeyboardLayout::kRussian, 8, 9},
                                           // The layout cannot tell: the keys of a US keyboard.
                                           LayoutCase{"NoLayoutData", KeyboardLayout::kNone, 8, 9}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(CommandKeyLayoutTest, TheLayoutIsAskedWhenTheKeystrokeIsMade) {
  EXPECT_TRUE(host().pasteTextToLastActiveApp("rewritten"));
  desktop.advance(Seconds(0.1));
  desktop.keyboard().setLayout(KeyboardLayout::kDvorak);  // before the keystroke at 0.3 s
  desktop.advance(Seconds(1));

  EXPECT_THAT(newKeyCodes(), ElementsAre("47 down → Notes", "47 up → Notes"));
  EXPECT_EQ(notes.document, "rewritten");
  EXPECT_THAT(strayShortcuts(), IsEmpty());
}

// The hot key is registered by key code, where T is on a US keyboard, and
// stays there whatever the layout.
TEST(HotKeyLayoutTest, TheHotKeyIsRegisteredOnTheKeyOfTOnAUsKeyboard) {
  SimDesktop desktop;
  desktop.keyboard().setLayout(KeyboardLayout::kDvorak);
  desktop.launch();
  ASSERT_EQ(desktop.hotKeys().registrations().size(), 1u);
  EXPECT_EQ(desktop.hotKeys().registrations().front().keyCode, 17u);
}

}  // namespace
}  // namespace brimlane::sim
