// Pasting text from the UI back into the user's application.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "test_support.h"

namespace brimlane::sim {
namespace {

using namespace std::chrono_literals;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

class PasteBackTest : public HostTest {
 protected:
  PasteBackTest() {
    desktop.pressKeys(17, kCmdKey | kShiftKey);  // the user summons the panel from Notes
    newKeystrokes();
    start = desktop.now();
    mark = desktop.timeline().events().size();
  }

  // Runs queued work until `seconds` after the start of the test's paste.
  void runUntil(double seconds) {
    desktop.scheduler().advanceBy(start + toSimTime(Seconds(seconds)) - desktop.now());
  }
  std::string pasteKey(const char* direction, const std::string& receiver) {
    return std::string("cmd+v ") + direction + " → input stream → " + receiver;
  }
  // Times (since the start) of the given step of the pasteboard.
  std::vector<double> timesOf(const std::string& event) {
    std::vector<double> times;
    const auto& events = desktop.timeline().events();
    for (std::size_t i = mark; i < events.size(); ++i) {
      if (events[i].source == Source::kPasteboard && events[i].event == event) {
        times.push_back(toSeconds(events[i].time - start));
      }
    }
    return times;
  }

  SimTime start;
  std::size_t mark = 0;
};

TEST_F(PasteBackTest, PastesIntoTheUserApplicationAndGivesTheClipboardBack) {
  ASSERT_TRUE(panel().isVisible());

  EXPECT_TRUE(host().pasteTextToLastActiveApp("rewritten"));

  // At once: the text on the pasteboard, the panel gone, Notes in front.
  EXPECT_THAT(desktop.pasteboard().items(), ElementsAre(SimPasteboardItem::plainText("rewritten")));
  EXPECT_FALSE(panel().isVisible());
  EXPECT_EQ(desktop.workspace().frontmost(), &notes);
  EXPECT_THAT(newKeystrokes(), IsEmpty());

  runUntil(0.299);
  EXPECT_THAT(newKeystrokes(), IsEmpty());
  runUntil(0.3);
  EXPECT_THAT(newKeystrokes(), ElementsAre(pasteKey("down", "Notes"), pasteKey("up", "Notes")));
  runUntil(0.35);
  EXPECT_EQ(notes.document, "rewritten");

  runUntil(0.799);
  EXPECT_EQ(plainText(desktop.pasteboard()), "rewritten");
  runUntil(0.8);
  EXPECT_THAT(desktop.pasteboard().items(), ElementsAre(userClipboard()));
  EXPECT_THAT(timesOf("clear"), ElementsAre(0.0, 0.8));
  EXPECT_EQ(desktop.scheduler().pendingMainTasks(), 0u);
  EXPECT_EQ(desktop.accessibility().promptingChecks, 0);
}

TEST_F(PasteBackTest, UntrustedChangesNothing) {
  desktop.accessibility().setTrusted(false);
  const int changesBefore = desktop.pasteboard().changeCount();

  EXPECT_FALSE(host().pasteTextToLastActiveApp("rewritten"));

  EXPECT_EQ(desktop.pasteboard().changeCount(), changesBefore);
  EXPECT_TRUE(panel().isVisible());
  EXPECT_EQ(desktop.workspace().frontmost(), &desktop.workspace().host());
  EXPECT_EQ(desktop.scheduler().pendingMainTasks(), 0u);
  EXPECT_EQ(desktop.accessibility().prompts, 0);
}

TEST_F(PasteBackTest, WithoutARecordedApplicationChangesNothing) {
  desktop.releaseDelegate();
  desktop.loadMainInterface();
  const int changesBefore = desktop.pasteboard().changeCount();

  EXPECT_FALSE(host().pasteTextToLastActiveApp("rewritten"));

  EXPECT_EQ(desktop.pasteboard().changeCount(), changesBefore);
  EXPECT_EQ(desktop.scheduler().pendingMainTasks(), 0u);
}

TEST_F(PasteBackTest, PastesAnEmptyTextLikeAnyOther) {
  EXPECT_TRUE(host().pasteTextToLastActiveApp(""));
  EXPECT_EQ(plainText(desktop.pasteboard()), "");
  runUntil(1);
  EXPECT_THAT(newKeystrokes(), ElementsAre(pasteKey("down", "Notes"), pasteKey("up", "Notes")));
  EXPECT_THAT(desktop.pasteboard().items(), ElementsAre(userClipboard()));
}

TEST_F(PasteBackTest, TheKeystrokeGoesToWhoeverIsFrontmostWhenItIsTyped) {
  EXPECT_TRUE(host().pasteTextToLastActiveApp("rewritten"));
  runUntil(0.2);
  desktop.activate(mail);
  runUntil(1);
  EXPECT_THAT(newKeystrokes(), ElementsAre(pasteKey("down", "Mail"), pasteKey("up", "Mail")));
  EXPECT_EQ(mail.document, "rewritten");
  EXPECT_EQ(notes.document, "");
}

TEST_F(PasteBackTest, RefusesWhenTheRecordedApplicationHasQuit) {
  desktop.quit(notes);  // the host is in front: the record still names Notes
  ASSERT_EQ(host().lastActiveApp->processIdentifier(), notes.pid);
  const int changesBefore = desktop.pasteboard().changeCount();

  EXPECT_FALSE(host().pasteTextToLastActiveApp("rewritten"));
  runUntil(2);

  EXPECT_EQ(desktop.pasteboard().changeCount(), changesBefore);
  EXPECT_TRUE(panel().isVisible());
  EXPECT_THAT(newKeystrokes(), IsEmpty());
  EXPECT_EQ(desktop.scheduler().pendingMainTasks(), 0u);
}

struct QuitBeforeKeystrokeCase {
  const char* name;
  // What the user brings to the front, 0.05 s after the call, before Notes
  // quits at 0.1 s.
  std::vector<const char*> activated;
  // What the system brings forward as Notes quits; nothing: the one it picks.
  const char* comesForward;
  // Where the activation of whatever the system puts in front leaves the record.
  const char* recordAfterQuit;
  friend void PrintTo(const QuitBeforeKeystrokeCase& c, std::ostream* os) { *os << c.name; }
};

class QuitBeforeKeystrokeTest : public PasteBackTest,
                                public ::testing::WithParamInterface<QuitBeforeKeystrokeCase> {};

// Pins the fault where Command-V went to whichever application the system put
// in front after the target quit, while the UI was told the paste succeeded.
TEST_P(QuitBeforeKeystrokeTest, TypesIntoNoOtherApplicationAndRestoresAtOnce) {
  const QuitBeforeKeystrokeCase& c = GetParam();
  EXPECT_TRUE(host().pasteTextToLastActiveApp("rewritten"));
  runUntil(0.05);
  for (const char* name : c.activated) desktop.activate(*desktop.workspace().find(name));
  runUntil(0.1);
  desktop.quit(notes, c.comesForward ? desktop.workspace().find(c.comesForward) : nullptr);
  runUntil(0.2);
  ASSERT_EQ(host().lastActiveApp->processIdentifier(),
            desktop.workspace().find(c.recordAfterQuit)->pid);
  runUntil(2);

  EXPECT_THAT(newKeystrokes(), IsEmpty());
  EXPECT_EQ(mail.document, "");
  EXPECT_THAT(timesOf("clear"), ElementsAre(0.0, 0.3));
  EXPECT_THAT(desktop.pasteboard().items(), ElementsAre(userClipboard()));
  EXPECT_EQ(desktop.scheduler().pendingMainTasks(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, QuitBeforeKeystrokeTest,
    ::testing::Values(
        // The host comes back to the front; the record still names Notes.
        QuitBeforeKeystrokeCase{"HostComesToFront", {}, "host", "Notes"},
        // Mail comes back to the front and is recorded: the record alone
        // cannot tell it from an application the user picked.
        QuitBeforeKeystrokeCase{"MailComesToFront", {"Mail", "Notes"}, nullptr, "Mail"},
        // The user had brought Mail forward, then Notes quit: whether Mail
        // was meant cannot be known, and typing nothing is the safe side.
        QuitBeforeKeystrokeCase{"UserHadPickedMail", {"Mail"}, nullptr, "Mail"}),
    [](const auto& info) { return std::string(info.param.name); });

// Notes quits in the very moment of the paste step, after the user had
// worked in Mail, which the system brings forward at once. The workspace's
// news of it reaches the host's main thread only after the paste step (on the
// Mac, a running application's terminated flag too changes only on a later
// turn of the main run loop): the step asks the application itself.
TEST_F(PasteBackTest, AnApplicationThatQuitsInTheTurnOfThePasteStepGetsNoKeystroke) {
  EXPECT_TRUE(host().pasteTextToLastActiveApp("rewritten"));
  runUntil(0.05);
  desktop.activate(mail);
  desktop.activate(notes);
  runUntil(0.1);
  desktop.scheduler().postWorld(toSimTime(Seconds(0.2)), [this] { desktop.quit(notes); });
  runUntil(2);

  EXPECT_THAT(newKeystrokes(), IsEmpty());
  EXPECT_EQ(mail.document, "");
  EXPECT_THAT(timesOf("clear"), ElementsAre(0.0, 0.3));
  EXPECT_THAT(desktop.pasteboard().items(), ElementsAre(userClipboard()));
  // The news came after all, and the record followed it.
  EXPECT_EQ(host().lastActiveApp->processIdentifier(), mail.pid);
}

TEST_F(PasteBackTest, AnApplicationQuittingAfterTheKeystrokeChangesNothing) {
  EXPECT_TRUE(host().pasteTextToLastActiveApp("rewritten"));
  runUntil(0.4);
  desktop.quit(notes);
  runUntil(2);
  EXPECT_EQ(notes.document, "rewritten");
  EXPECT_THAT(timesOf("clear"), ElementsAre(0.0, 0.8));
  EXPECT_THAT(desktop.pasteboard().items(), ElementsAre(userClipboard()));
}

// The paste step does not ask for the trust again; the system drops a
// keystroke posted without it, and the user's clipboard still comes back.
TEST_F(PasteBackTest, TrustTakenBackBeforeTheKeystrokeTypesNothingAndStillRestores) {
  EXPECT_TRUE(host().pasteTextToLastActiveApp("rewritten"));
  const int checks = desktop.accessibility().silentChecks;
  runUntil(0.2);
  desktop.accessibility().setTrusted(false);
  runUntil(2);

  EXPECT_THAT(newKeystrokes(), ElementsAre("cmd+v down → input stream → dropped",
                                           "cmd+v up → input stream → dropped"));
  EXPECT_EQ(notes.document, "");
  EXPECT_EQ(desktop.accessibility().silentChecks, checks);
  EXPECT_THAT(timesOf("clear"), ElementsAre(0.0, 0.8));
  EXPECT_THAT(desktop.pasteboard().items(), ElementsAre(userClipboard()));
}

TEST_F(PasteBackTest, AnEmptyClipboardLeavesThePastedTextBehind) {
  desktop.pasteboard().setItems({}, "The user");
  EXPECT_TRUE(host().pasteTextToLastActiveApp("rewritten"));
  runUntil(2);
  EXPECT_EQ(notes.document, "rewritten");
  EXPECT_THAT(desktop.pasteboard().items(), ElementsAre(SimPasteboardItem::plainText("rewritten")));
}

TEST_F(PasteBackTest, ASlowApplicationPastesTheRestoredClipboard) {
  notes.pasteLatency = 600ms;
  EXPECT_TRUE(host().pasteTextToLastActiveApp("rewritten"));
  runUntil(1);
  EXPECT_EQ(notes.document, "user's clipboard");
}

struct GoneCase {
  const char* name;
  double goneAt;  // seconds after the call
  bool keystroke;
  friend void PrintTo(const GoneCase& c, std::ostream* os) { *os << c.name; }
};

class DelegateGoneTest : public PasteBackTest, public ::testing::WithParamInterface<GoneCase> {};

TEST_P(DelegateGoneTest, NoDelayedStepActsForAGoneHost) {
  EXPECT_TRUE(host().pasteTextToLastActiveApp("rewritten"));
  runUntil(GetParam().goneAt);
  desktop.releaseDelegate();
  runUntil(2);

  if (GetParam().keystroke) {
    EXPECT_THAT(newKeystrokes(), ElementsAre(pasteKey("down", "Notes"), pasteKey("up", "Notes")));
  } else {
    EXPECT_THAT(newKeystrokes(), IsEmpty());
  }
  EXPECT_THAT(desktop.pasteboard().items(), ElementsAre(SimPasteboardItem::plainText("rewritten")));
}

INSTANTIATE_TEST_SUITE_P(Cases, DelegateGoneTest,
                         ::testing::Values(GoneCase{"BeforeThePasteStep", 0.1, false},
                                           GoneCase{"BeforeTheRestoreStep", 0.5, true}),
                         [](const auto& info) { return std::string(info.param.name); });

class PasteKeystrokeFailureTest : public PasteBackTest,
                                  public ::testing::WithParamInterface<KeystrokeFailureCase> {};

TEST_P(PasteKeystrokeFailureTest, RestoresAtOnceWhenTheKeystrokeCannotBeMade) {
  desktop.keyboard().failEventSource = GetParam().failSource;
  desktop.keyboard().failKeyEvents = GetParam().failEvents;

  EXPECT_TRUE(host().pasteTextToLastActiveApp("rewritten"));
  runUntil(2);

  if (GetParam().posted) {
    EXPECT_EQ(newKeystrokes().size(), 2u);
    EXPECT_THAT(timesOf("clear"), ElementsAre(0.0, 0.8));
  } else {
    EXPECT_THAT(newKeystrokes(), IsEmpty());
    EXPECT_THAT(timesOf("clear"), ElementsAre(0.0, 0.3));
  }
  EXPECT_THAT(desktop.pasteboard().items(), ElementsAre(userClipboard()));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PasteKeystrokeFailureTest,
    ::testing::Values(KeystrokeFailureCase{"NoEventSource", true, {}, true},
                      KeystrokeFailureCase{"NoKeyDown", false, {{'v', true}}, false},
                      KeystrokeFailureCase{"NoKeyUp", false, {{'v', false}}, false}),
    [](const auto& info) { return std::string(info.param.name); });

struct OverlapCase {
  double secondAfter;
  // When Notes quits, if it does.
  std::optional<double> quitAfter;
  // A second paste before the first keystroke leaves its own text for both.
  const char* document;
  // The one time the user's contents go back.
  double restoredAt;
  friend void PrintTo(const OverlapCase& c, std::ostream* os) {
    *os << "second at " << c.secondAfter << " s";
    if (c.quitAfter) *os << ", quit at " << *c.quitAfter << " s";
  }
};

// A second paste while the first still has the user's clipboard to give back.
class OverlappingPasteTest : public PasteBackTest,
                             public ::testing::WithParamInterface<OverlapCase> {};

TEST_P(OverlappingPasteTest, PastesTheLaterTextAndRestoresTheUsersClipboardOnce) {
  const OverlapCase& c = GetParam();
  EXPECT_TRUE(host().pasteTextToLastActiveApp("first "));
  runUntil(c.secondAfter);
  EXPECT_TRUE(host().pasteTextToLastActiveApp("second "));
  if (c.quitAfter) {
    runUntil(*c.quitAfter);
    desktop.quit(notes);
  }
  runUntil(3);

  EXPECT_EQ(notes.document, c.document);
  EXPECT_THAT(desktop.pasteboard().items(), ElementsAre(userClipboard()));
  EXPECT_THAT(timesOf("write item"), ElementsAre(c.restoredAt));
}

INSTANTIATE_TEST_SUITE_P(Cases, OverlappingPasteTest,
                         ::testing::Values(OverlapCase{0.1, std::nullopt, "second second ", 0.9},
                                           OverlapCase{0.5, std::nullopt, "first second ", 1.3},
                                           OverlapCase{0.79, std::nullopt, "first second ", 1.59},
                                           // Notes quits: neither keystroke is typed, and the
                                           // second paste gives the clipboard back at its step.
                                           OverlapCase{0.1, 0.2, "", 0.4},
                                           // Only the first is typed; the second paste gives the
                                           // clipboard back at its step, before the first paste's
                                           // restore step would have.
                                           OverlapCase{0.4, 0.6, "first ", 0.7}));

TEST_F(PasteBackTest, ACaptureBetweenPasteAndRestoreKeepsTheUsersClipboard) {
  EXPECT_TRUE(host().pasteTextToLastActiveApp("rewritten"));
  runUntil(0.4);
  desktop.pressKeys(17, kCmdKey | kShiftKey);  // summoned again from Notes
  runUntil(3);

  EXPECT_EQ(desktop.engine().received().back().call.arguments, ChannelValue("selected text"));
  EXPECT_EQ(notes.document, "rewritten");
  EXPECT_THAT(desktop.pasteboard().items(), ElementsAre(userClipboard()));
}

TEST_F(PasteBackTest, AStaleRestoreNeverActsForALaterPaste) {
  EXPECT_TRUE(host().pasteTextToLastActiveApp("first "));
  runUntil(0.1);
  EXPECT_TRUE(host().pasteTextToLastActiveApp("second "));
  runUntil(0.35);
  // The second paste's keystroke cannot be made: it gives the clipboard back
  // at once, while the first paste's restore step is still queued.
  desktop.keyboard().failKeyEvents = {{'v', true}};
  runUntil(0.45);
  desktop.keyboard().failKeyEvents.clear();
  EXPECT_THAT(desktop.pasteboard().items(), ElementsAre(userClipboard()));
  EXPECT_TRUE(host().pasteTextToLastActiveApp("third"));  // its keystroke comes at 0.8
  runUntil(3);

  EXPECT_EQ(notes.document, "second third");
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

class QuitWhilePastingTest : public PasteBackTest,
                             public ::testing::WithParamInterface<QuitWhilePastingCase> {};

// Pins the fault where quitting while a paste was under way left the pasted
// text on the pasteboard in place of the user's contents.
TEST_P(QuitWhilePastingTest, GivesTheUsersClipboardBackAtOnceAndDoesNothingElse) {
  const QuitWhilePastingCase& c = GetParam();
  for (std::size_t i = 0; i < c.pastes.size(); ++i) {
    runUntil(c.pastes[i]);
    ASSERT_TRUE(host().pasteTextToLastActiveApp("paste " + std::to_string(i + 1) + " "));
  }
  runUntil(c.quitAt);
  const std::size_t atQuit = desktop.timeline().events().size();
  desktop.statusBar().menuAnswer.choose = "Quit";
  desktop.clickStatusItem(MouseButton::kRight);
  runUntil(5);

  EXPECT_EQ(notes.document, c.document);
  EXPECT_THAT(timesOf("write item"), ElementsAreArray(c.restoredAt));
  EXPECT_THAT(desktop.pasteboard().items(), ElementsAre(userClipboard()));
  // Between the choice and the end of the process: the restore, and nothing
  // else of the host.
  std::vector<std::string> hostSteps = steps(desktop.timeline());
  hostSteps.erase(hostSteps.begin(), hostSteps.begin() + static_cast<std::ptrdiff_t>(atQuit));
  std::vector<std::string> expected{"user: right click", "menu bar: menu", "user: choose",
                                    "launch: will terminate"};
  if (c.restoredAt.back() == c.quitAt) {
    expected.insert(expected.end(), {"pasteboard: clear", "pasteboard: write item"});
  }
  expected.insert(expected.end(),
                  {"menu bar: status item gone", "workspace: quit", "launch: quit"});
  EXPECT_THAT(hostSteps, ElementsAreArray(expected));
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
