// Quitting from the status item's menu: the host ends as a process does, and
// a paste still under way gives the user's clipboard back first.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "test_support.h"

namespace brimlane::sim {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class QuitTest : public HostTest {
 protected:
  void quit() {
    desktop.statusBar().menuAnswer.choose = "Quit";
    desktop.clickStatusItem(MouseButton::kRight);
  }
  // Runs queued work until `seconds` after the start.
  void runUntil(double seconds) {
    desktop.scheduler().advanceBy(toSimTime(Seconds(seconds)) - desktop.now());
  }
  // Times of the given step of the pasteboard since `from`.
  std::vector<double> timesOf(const std::string& event, std::size_t from) {
    std::vector<double> times;
    const auto& events = desktop.timeline().events();
    for (std::size_t i = from; i < events.size(); ++i) {
      if (events[i].source == Source::kPasteboard && events[i].event == event) {
        times.push_back(toSeconds(events[i].time));
      }
    }
    return times;
  }
};

TEST_F(QuitTest, EndsTheHostAsTheProcessWouldEnd) {
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
  runUntil(5);
  EXPECT_EQ(desktop.pressKeys(17, kCmdKey | kShiftKey), std::nullopt);
  desktop.clickStatusItem(MouseButton::kLeft);
  desktop.activate(mail);
  const UiCallOutcome call = callChannel(kSelectionChannel, "checkPermission", ChannelValue());
  runUntil(10);
  EXPECT_FALSE(call.delivered);
  EXPECT_THAT(call.replies, IsEmpty());
  EXPECT_THAT(newKeystrokes(), IsEmpty());
  EXPECT_EQ(desktop.engine().received().size(), received);
  EXPECT_FALSE(panel().isVisible());
  EXPECT_EQ(desktop.workspace().frontmost(), &mail);
  EXPECT_THAT(desktop.pasteboard().items(), ElementsAre(userClipboard()));
}

struct QuitWhilePastingCase {
  const char* name;
  // When the UI asks for pastes, and when the user quits.
  std::vector<double> pastes;
  double quitAt;
  // What Notes has pasted by the end, and when the user's clipboard went back.
  const char* document;
  std::vector<double> restoredAt;
  friend void PrintTo(const QuitWhilePastingCase& c, std::ostream* os) { *os << c.name; }
};

class QuitWhilePastingTest : public QuitTest,
                             public ::testing::WithParamInterface<QuitWhilePastingCase> {};

// Pins the fault where quitting while a paste was under way left the pasted
// text on the pasteboard in place of the user's contents.
TEST_P(QuitWhilePastingTest, GivesTheUsersClipboardBackAtOnceAndDoesNothingElse) {
  const QuitWhilePastingCase& c = GetParam();
  const std::size_t from = desktop.timeline().events().size();
  for (std::size_t i = 0; i < c.pastes.size(); ++i) {
    runUntil(c.pastes[i]);
    ASSERT_TRUE(host().pasteTextToLastActiveApp("paste " + std::to_string(i + 1) + " "));
  }
  runUntil(c.quitAt);
  const std::size_t atQuit = desktop.timeline().events().size();
  quit();
  runUntil(5);

  EXPECT_EQ(notes.document, c.document);
  EXPECT_THAT(timesOf("write item", from), testing::ElementsAreArray(c.restoredAt));
  EXPECT_THAT(desktop.pasteboard().items(), ElementsAre(userClipboard()));
  // Between the choice and the end of the process: the restore, and nothing
  // else of the host.
  std::vector<std::string> hostSteps;
  for (const std::string& step : steps(desktop.timeline())) hostSteps.push_back(step);
  hostSteps.erase(hostSteps.begin(), hostSteps.begin() + static_cast<std::ptrdiff_t>(atQuit));
  std::vector<std::string> expected{"user: right click", "menu bar: menu", "user: choose",
                                    "launch: will terminate"};
  if (c.restoredAt.back() == c.quitAt) {
    expected.insert(expected.end(), {"pasteboard: clear", "pasteboard: write item"});
  }
  expected.insert(expected.end(),
                  {"menu bar: status item gone", "workspace: quit", "launch: quit"});
  EXPECT_THAT(hostSteps, testing::ElementsAreArray(expected));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, QuitWhilePastingTest,
    ::testing::Values(
        // Quit before the keystroke: nothing is typed, the clipboard goes back at once.
        QuitWhilePastingCase{"BeforeTheKeystroke", {0.0}, 0.1, "", {0.1}},
        // Quit after the keystroke, before the restore step.
        QuitWhilePastingCase{"BeforeTheRestore", {0.0}, 0.5, "paste 1 ", {0.5}},
        // Two pastes in a series: the user's own clipboard, not the first text.
        QuitWhilePastingCase{"DuringASeries", {0.0, 0.4}, 0.5, "paste 1 ", {0.5}},
        // Nothing under way any more: the restore step did it, quitting adds nothing.
        QuitWhilePastingCase{"AfterTheRestore", {0.0}, 1.0, "paste 1 ", {0.8}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace brimlane::sim
