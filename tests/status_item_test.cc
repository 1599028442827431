// The status item: what the menu bar shows, and what left and right clicks do.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "test_support.h"

namespace brimlane::sim {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class StatusItemTest : public HostTest {
 protected:
  SimStatusItem& item() { return *desktop.statusBar().item(); }
  // The steps since `mark` that show a summon or a hide.
  std::vector<std::string> visibleSteps(std::size_t mark) {
    std::vector<std::string> result;
    const auto& events = desktop.timeline().events();
    for (std::size_t i = mark; i < events.size(); ++i) {
      const TimelineEvent& e = events[i];
      if (e.source == Source::kKeyboard || e.source == Source::kChannel ||
          e.source == Source::kPanel || e.source == Source::kMenuBar) {
        result.push_back(std::string(sourceName(e.source)) + ": " + e.event);
      }
    }
    return result;
  }
  std::size_t mark() { return desktop.timeline().events().size(); }
};

TEST_F(StatusItemTest, ShowsTheTextboxSymbolAsATemplate) {
  EXPECT_EQ(item().length, -2.0);
  EXPECT_EQ(desktop.statusBar().shows(), "image textbox");
  const SimImage& image = *item().simButton()->image;
  EXPECT_EQ(image.accessibilityDescription, "Brimlane");
  EXPECT_TRUE(image.isTemplate);
  EXPECT_EQ(item().simButton()->title, "");
  EXPECT_EQ(item().simButton()->actionMask, 20u);  // left and right mouse up
  EXPECT_FALSE(item().menu.has_value());
}

TEST_F(StatusItemTest, ShowsTheLetterTWithoutTheSymbol) {
  SimDesktop other;
  other.statusBar().failSymbol = true;
  other.launch();
  EXPECT_EQ(other.statusBar().shows(), "title T");
  EXPECT_EQ(other.statusBar().item()->simButton()->image, nullptr);
}

TEST_F(StatusItemTest, WithoutAButtonTheItemStaysBare) {
  SimDesktop other;
  other.statusBar().failButton = true;
  other.launch();
  EXPECT_NE(other.delegate()->statusItem, nullptr);
  EXPECT_EQ(other.statusBar().shows(), "");
  other.clickStatusItem(MouseButton::kLeft);
  EXPECT_TRUE(other.windows().panel()->isVisible());  // nothing reached the host
}

TEST_F(StatusItemTest, LeftClickTogglesThePanel) {
  host().hidePanel();
  std::size_t before = mark();

  desktop.clickStatusItem(MouseButton::kLeft);

  // Record, capture from Notes, then show: the capture ran while Notes was
  // still in front.
  EXPECT_THAT(visibleSteps(before), ElementsAre("keyboard: cmd+c down", "keyboard: cmd+c up",
                                                "channel: invoke", "panel: center", "panel: show"));
  EXPECT_EQ(host().lastActiveApp->processIdentifier(), notes.pid);
  EXPECT_TRUE(panel().isVisible());

  before = mark();
  desktop.clickStatusItem(MouseButton::kLeft);

  EXPECT_THAT(visibleSteps(before), ElementsAre("panel: hide"));
  EXPECT_FALSE(panel().isVisible());
  EXPECT_EQ(desktop.workspace().frontmost(), &desktop.workspace().host());
  EXPECT_THAT(desktop.pasteboard().items(), ElementsAre(userClipboard()));
}

TEST_F(StatusItemTest, ModifierKeysDoNotChangeALeftClick) {
  host().hidePanel();
  desktop.clickStatusItem(MouseButton::kLeft, {"cmd", "option", "ctrl", "shift"});
  EXPECT_TRUE(panel().isVisible());
  EXPECT_EQ(desktop.engine().received().size(), 1u);
  desktop.clickStatusItem(MouseButton::kLeft, {"ctrl"});
  EXPECT_FALSE(panel().isVisible());
  EXPECT_THAT(desktop.statusBar().menusShown, IsEmpty());
}

TEST_F(StatusItemTest, AnActionWithoutAnEventIsALeftClick) {
  host().hidePanel();
  desktop.statusBar().clickWithoutEvent();
  desktop.runDue();
  EXPECT_TRUE(panel().isVisible());
  desktop.statusBar().clickWithoutEvent();
  EXPECT_FALSE(panel().isVisible());
}

TEST_F(StatusItemTest, ClickingWithoutAPanelStillRecordsAndCaptures) {
  SimDesktop other;
  SimApp& notes2 = other.launchApp("Notes");
  notes2.selection = "text";
  other.loadMainInterface();
  other.delegate()->setupStatusItem();
  other.delegate()->setupMethodChannel(other.engine().createViewController());
  other.activate(notes2);

  other.clickStatusItem(MouseButton::kLeft);

  EXPECT_EQ(other.delegate()->lastActiveApp->processIdentifier(), notes2.pid);
  EXPECT_EQ(other.keyboard().posted().size(), 2u);
  EXPECT_EQ(other.engine().received().size(), 1u);
  EXPECT_TRUE(other.windows().panels().empty());
}

struct MenuCase {
  const char* name;
  bool panelVisible;
  std::optional<std::string> choose;
  friend void PrintTo(const MenuCase& c, std::ostream* os) { *os << c.name; }
};

class RightClickTest : public StatusItemTest, public ::testing::WithParamInterface<MenuCase> {};

TEST_P(RightClickTest, OffersQuitAndLeavesThePanelAlone) {
  const MenuCase& c = GetParam();
  if (!c.panelVisible) host().hidePanel();
  desktop.statusBar().menuAnswer.choose = c.choose;
  const std::size_t before = mark();

  desktop.clickStatusItem(MouseButton::kRight);

  ASSERT_EQ(desktop.statusBar().menusShown.size(), 1u);
  const Menu& menu = desktop.statusBar().menusShown.front();
  ASSERT_EQ(menu.items.size(), 1u);
  EXPECT_EQ(menu.items[0].title, "Quit");
  EXPECT_EQ(menu.items[0].action, "terminate:");
  EXPECT_EQ(menu.items[0].keyEquivalent, "q");  // Command-Q
  EXPECT_FALSE(desktop.application().terminated());
  EXPECT_EQ(panel().isVisible(), c.panelVisible);
  EXPECT_THAT(visibleSteps(before), ElementsAre("menu bar: menu"));
  EXPECT_THAT(desktop.keyboard().posted(), IsEmpty());
  // Detached again, so the next left click reaches the host instead.
  EXPECT_FALSE(item().menu.has_value());
  desktop.clickStatusItem(MouseButton::kLeft);
  EXPECT_EQ(panel().isVisible(), !c.panelVisible);
  EXPECT_EQ(desktop.statusBar().menusShown.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Cases, RightClickTest,
                         ::testing::Values(MenuCase{"DismissedWhileVisible", true, std::nullopt},
                                           MenuCase{"DismissedWhileHidden", false, std::nullopt},
                                           // A title the menu does not have dismisses it.
                                           MenuCase{"NoSuchItem", true, "Close"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(StatusItemTest, QuitEndsTheHostAsItsProcessWouldEnd) {
  desktop.pressKeys(17, kCmdKey | kShiftKey);
  newKeystrokes();
  desktop.hotKeys().press(17, kCmdKey | kShiftKey);  // its summon is queued, not yet run
  ASSERT_GT(desktop.scheduler().pendingMainTasks(), 0u);
  desktop.statusBar().menuAnswer.choose = "Quit";
  desktop.statusBar().click(MouseButton::kRight);

  EXPECT_TRUE(desktop.application().terminated());
  EXPECT_EQ(desktop.delegate(), nullptr);
  EXPECT_EQ(desktop.scheduler().pendingMainTasks(), 0u);
  EXPECT_FALSE(panel().isVisible());
  EXPECT_EQ(desktop.statusBar().shows(), "");
  EXPECT_FALSE(desktop.workspace().host().running);
  EXPECT_EQ(desktop.workspace().frontmost(), &notes);
  EXPECT_EQ(desktop.timeline().events().back().event, "quit");

  // Nothing of the host acts any more: not its queued summon, not the hot
  // key, not a click, not a call from the UI, not an activation.
  const std::size_t received = desktop.engine().received().size();
  desktop.advance(Seconds(5));
  EXPECT_EQ(desktop.pressKeys(17, kCmdKey | kShiftKey), std::nullopt);
  desktop.clickStatusItem(MouseButton::kLeft);
  desktop.activate(mail);
  const UiCallOutcome call = callChannel(kSelectionChannel, "checkPermission", ChannelValue());
  desktop.advance(Seconds(5));
  EXPECT_FALSE(call.delivered);
  EXPECT_THAT(call.replies, IsEmpty());
  EXPECT_THAT(newKeystrokes(), IsEmpty());
  EXPECT_EQ(desktop.engine().received().size(), received);
  EXPECT_FALSE(panel().isVisible());
  EXPECT_EQ(desktop.workspace().frontmost(), &mail);
  EXPECT_THAT(desktop.pasteboard().items(), ElementsAre(userClipboard()));
}

TEST_F(StatusItemTest, EachRightClickBuildsItsMenuAfresh) {
  desktop.clickStatusItem(MouseButton::kRight);
  desktop.clickStatusItem(MouseButton::kRight);
  EXPECT_EQ(desktop.statusBar().menusShown.size(), 2u);
  EXPECT_EQ(desktop.statusBar().menusShown[1].items.size(), 1u);
}

TEST_F(StatusItemTest, WithoutAStatusItemNoMenuIsShown) {
  SimDesktop other;
  other.statusBar().failStatusItem = true;
  other.launch();
  other.delegate()->showStatusBarMenu();
  EXPECT_THAT(other.statusBar().menusShown, IsEmpty());
  EXPECT_FALSE(other.application().terminated());
}

}  // namespace
}  // namespace brimlane::sim
