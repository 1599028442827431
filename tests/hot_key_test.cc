// The global hot key Command-Shift-T.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "test_support.h"

namespace brimlane::sim {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr std::uint32_t kKeyT = 17;

class HotKeyTest : public HostTest {};

TEST_F(HotKeyTest, RegistersCommandShiftTOnTheApplicationTarget) {
  const SimHotKeys& hotKeys = desktop.hotKeys();
  ASSERT_EQ(hotKeys.handlers().size(), 1u);
  const InstalledHandler& handler = hotKeys.handlers().front();
  EXPECT_EQ(handler.target, desktop.hotKeys().applicationEventTarget());
  ASSERT_EQ(handler.types.size(), 1u);
  EXPECT_EQ(handler.types[0].eventClass, 0x6B657962u);  // 'keyb'
  EXPECT_EQ(handler.types[0].eventKind, 5u);            // pressed, not released
  EXPECT_EQ(handler.userData, nullptr);

  ASSERT_EQ(hotKeys.registrations().size(), 1u);
  const HotKeyRegistration& key = hotKeys.registrations().front();
  EXPECT_EQ(key.keyCode, 17u);
  EXPECT_EQ(key.modifiers, 768u);
  EXPECT_EQ(key.id.signature, 0x42524C4Eu);  // 'BRLN', B in the most significant byte
  EXPECT_EQ(key.id.id, 1u);
  EXPECT_EQ(key.target, handler.target);
  EXPECT_EQ(key.options, 0u);
  EXPECT_TRUE(host().hotKeyRef.has_value());
}

TEST_F(HotKeyTest, SummonsFromAnyApplicationEvenWhileThePanelIsVisible) {
  desktop.activate(mail);
  mail.selection = "from mail";
  ASSERT_TRUE(panel().isVisible());

  EXPECT_EQ(desktop.pressKeys(kKeyT, kCmdKey | kShiftKey), kNoErr);

  EXPECT_EQ(host().lastActiveApp->processIdentifier(), mail.pid);
  EXPECT_EQ(desktop.engine().received().back().call.arguments, ChannelValue("from mail"));
  EXPECT_TRUE(panel().isVisible());
  EXPECT_EQ(desktop.workspace().frontmost(), &desktop.workspace().host());

  desktop.pressKeys(kKeyT, kCmdKey | kShiftKey);  // from the host itself
  EXPECT_TRUE(panel().isVisible());
  EXPECT_EQ(host().lastActiveApp->processIdentifier(), mail.pid);
}

TEST_F(HotKeyTest, TheHandlerOnlyQueuesTheSummon) {
  host().hidePanel();
  std::vector<std::optional<OSStatus>> statuses;
  for (int press = 0; press < 3; ++press) {
    statuses.push_back(desktop.hotKeys().press(kKeyT, kCmdKey | kShiftKey));
  }

  // Every press answered at once, before any summon ran.
  EXPECT_THAT(statuses, ElementsAre(kNoErr, kNoErr, kNoErr));
  EXPECT_THAT(desktop.keyboard().posted(), IsEmpty());
  EXPECT_FALSE(panel().isVisible());
  EXPECT_EQ(desktop.scheduler().pendingMainTasks(), 3u);

  desktop.runDue();

  // One summon per press, one after the other.
  EXPECT_EQ(desktop.keyboard().posted().size(), 6u);
  EXPECT_EQ(desktop.engine().received().size(), 3u);
  EXPECT_EQ(desktop.timeline().eventsOf(Source::kPanel).back(), "show");
  EXPECT_TRUE(panel().isVisible());
}

TEST_F(HotKeyTest, OtherCombinationsDoNothing) {
  host().hidePanel();
  for (std::uint32_t modifiers : {kCmdKey, kShiftKey, 0u, kCmdKey | kShiftKey | kOptionKey}) {
    EXPECT_EQ(desktop.pressKeys(kKeyT, modifiers), std::nullopt);
  }
  EXPECT_EQ(desktop.pressKeys(16, kCmdKey | kShiftKey), std::nullopt);
  EXPECT_FALSE(panel().isVisible());
  EXPECT_THAT(desktop.keyboard().posted(), IsEmpty());
}

TEST_F(HotKeyTest, ARefusedRegistrationLeavesTheStatusItemWorking) {
  SimDesktop other;
  other.hotKeys().registerStatus = kEventHotKeyExistsErr;
  other.launch();
  other.delegate()->hidePanel();

  EXPECT_FALSE(other.delegate()->hotKeyRef.has_value());
  EXPECT_EQ(other.pressKeys(kKeyT, kCmdKey | kShiftKey), std::nullopt);
  EXPECT_FALSE(other.windows().panel()->isVisible());
  other.clickStatusItem(MouseButton::kLeft);
  EXPECT_TRUE(other.windows().panel()->isVisible());
}

struct MissingDelegateCase {
  const char* name;
  bool foreign;
  friend void PrintTo(const MissingDelegateCase& c, std::ostream* os) { *os << c.name; }
};

class HotKeyDelegateTest : public HotKeyTest,
                           public ::testing::WithParamInterface<MissingDelegateCase> {};

TEST_P(HotKeyDelegateTest, APressFindsNoHostAndDoesNothing) {
  host().hidePanel();
  if (GetParam().foreign) {
    desktop.installForeignDelegate();
  } else {
    desktop.releaseDelegate();
  }

  EXPECT_EQ(desktop.pressKeys(kKeyT, kCmdKey | kShiftKey), kNoErr);

  EXPECT_THAT(desktop.keyboard().posted(), IsEmpty());
  EXPECT_FALSE(panel().isVisible());
  EXPECT_THAT(desktop.engine().received(), IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(Cases, HotKeyDelegateTest,
                         ::testing::Values(MissingDelegateCase{"NoDelegate", false},
                                           MissingDelegateCase{"DelegateOfAnotherClass", true}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace brimlane::sim
