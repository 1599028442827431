// The simulated desktop's own contract, which the host's tests rely on: what
// other applications do, how keystrokes and notifications travel, and that
// every injected failure shows through the platform interface.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "test_support.h"

namespace brimlane::sim {
namespace {

using namespace std::chrono_literals;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr KeyCode kKeyC = 8;
constexpr KeyCode kKeyV = 9;

class SimDesktopTest : public ::testing::Test {
 protected:
  // Posts a Command-key press (down and up) the way the host makes one.
  void postCommandKey(KeyCode key, std::optional<ProcessId> pid) {
    Keyboard& keyboard = desktop.keyboard();
    auto source = keyboard.createEventSource(EventSourceState::kHIDSystemState);
    for (bool down : {true, false}) {
      auto event = keyboard.createKeyboardEvent(source.get(), key, down);
      event->setFlags(kEventFlagMaskCommand);
      if (pid) {
        keyboard.postToPid(*pid, *event);
      } else {
        keyboard.post(EventTapLocation::kHIDEventTap, *event);
      }
    }
  }

  SimDesktop desktop;
  SimApp& notes = desktop.launchApp("Notes");
  SimApp& mail = desktop.launchApp("Mail");
};

TEST_F(SimDesktopTest, ActivationNotifiesObserversThroughTheMainQueue) {
  std::vector<std::string> seen;
  desktop.workspace().addObserver(kWorkspaceDidActivateApplicationNotification,
                                  [&](const Notification& n) {
                                    const auto& app = std::get<std::shared_ptr<RunningApplication>>(
                                        n.userInfo->at(std::string(kWorkspaceApplicationKey)));
                                    seen.push_back(*app->bundleIdentifier());
                                  });

  desktop.workspace().activate(notes);
  EXPECT_THAT(seen, IsEmpty());
  desktop.runDue();
  EXPECT_THAT(seen, ElementsAre("com.example.notes"));
  EXPECT_EQ(desktop.workspace().frontmost(), &notes);

  desktop.workspace().activate(notes);  // already active: nothing new
  desktop.runDue();
  EXPECT_EQ(seen.size(), 1u);
}

TEST_F(SimDesktopTest, DeliversMalformedNotificationsAsGiven) {
  std::vector<Notification> seen;
  desktop.workspace().addObserver("custom", [&](const Notification& n) { seen.push_back(n); });
  desktop.workspace().postNotification({"custom", std::nullopt});
  desktop.workspace().postNotification({"custom", UserInfo{{"key", OtherObject{"NSString"}}}});
  desktop.workspace().postNotification({"other", UserInfo{}});
  desktop.runDue();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_FALSE(seen[0].userInfo.has_value());
  EXPECT_TRUE(std::holds_alternative<OtherObject>(seen[1].userInfo->at("key")));
}

TEST_F(SimDesktopTest, AnActivationMayComeWithoutANotification) {
  int seen = 0;
  desktop.workspace().addObserver(kWorkspaceDidActivateApplicationNotification,
                                  [&](const Notification&) { ++seen; });
  desktop.activate(notes, false);
  desktop.runUntilIdle();
  EXPECT_EQ(desktop.workspace().frontmost(), &notes);
  EXPECT_EQ(seen, 0);
}

struct ComesForwardCase {
  const char* name;
  bool panelOnScreen;
  // Whom the scenario names to come forward; nothing: the system picks.
  const char* named;
  const char* forward;
  friend void PrintTo(const ComesForwardCase& c, std::ostream* os) { *os << c.name; }
};

class ComesForwardTest : public SimDesktopTest,
                         public ::testing::WithParamInterface<ComesForwardCase> {};

// Notes, then the host, then Mail were active; Mail quits.
TEST_P(ComesForwardTest, TheSystemBringsForwardTheLatestApplicationWithAWindow) {
  const ComesForwardCase& c = GetParam();
  desktop.activate(notes);
  desktop.launch();
  if (!c.panelOnScreen) desktop.windows().panel()->orderOut();
  desktop.activate(mail);
  desktop.quit(mail, c.named ? desktop.workspace().find(c.named) : nullptr);
  EXPECT_EQ(desktop.workspace().frontmost()->name, c.forward);
  EXPECT_FALSE(desktop.workspace().runningApplication(mail)->activateWithOptions(
      kApplicationActivateIgnoringOtherApps));
  EXPECT_EQ(desktop.workspace().frontmost()->name, c.forward);
}

INSTANTIATE_TEST_SUITE_P(Cases, ComesForwardTest,
                         ::testing::Values(
                             // The host has nothing on screen to bring forward.
                             ComesForwardCase{"HostWithoutAWindow", false, nullptr, "Notes"},
                             ComesForwardCase{"HostWithItsPanelOnScreen", true, nullptr, "host"},
                             ComesForwardCase{"NamedByTheScenario", true, "Notes", "Notes"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SimDesktopTest, AnApplicationQuittingBehindTheFrontOneBringsNothingForward) {
  desktop.activate(notes);
  desktop.activate(mail);
  const std::size_t events = desktop.timeline().events().size();
  desktop.quit(notes);
  EXPECT_EQ(desktop.workspace().frontmost(), &mail);
  // The quit, and no activation.
  EXPECT_EQ(desktop.timeline().events().size(), events + 1);
}

TEST_F(SimDesktopTest, AnApplicationStartedAgainIsANewProcess) {
  const std::shared_ptr<RunningApplication> before = desktop.workspace().runningApplication(notes);
  desktop.quit(notes);
  SimApp& again = desktop.launchApp("Notes");
  EXPECT_NE(again.pid, notes.pid);
  EXPECT_EQ(desktop.workspace().find("Notes"), &again);
  EXPECT_TRUE(before->isTerminated());
  EXPECT_FALSE(desktop.workspace().runningApplication(again)->isTerminated());
  EXPECT_EQ(desktop.workspace().findByPid(again.pid), &again);
  EXPECT_EQ(desktop.workspace().findByPid(notes.pid), nullptr);
}

TEST_F(SimDesktopTest, CopyToAProcessLandsAfterTheApplicationsLatency) {
  notes.selection = "hello";
  notes.copyLatency = 250ms;
  desktop.activate(mail);

  postCommandKey(kKeyC, notes.pid);

  ASSERT_EQ(desktop.keyboard().posted().size(), 2u);
  for (const PostedKey& key : desktop.keyboard().posted()) {
    EXPECT_EQ(key.receiver, "Notes");
    EXPECT_EQ(key.pid, notes.pid);
    EXPECT_EQ(key.flags, kEventFlagMaskCommand);
    EXPECT_TRUE(key.source.has_value());
  }
  desktop.scheduler().sleepMainThread(249ms);
  EXPECT_EQ(plainText(desktop.pasteboard()), "<none>");
  desktop.scheduler().sleepMainThread(1ms);
  EXPECT_EQ(plainText(desktop.pasteboard()), "hello");
  EXPECT_EQ(desktop.pasteboard().items().size(), 1u);
}

struct CopyCase {
  const char* name;
  CopyBehavior copies;
  std::vector<SimPasteboardItem> expected;
  friend void PrintTo(const CopyCase& c, std::ostream* os) { *os << c.name; }
};

class CopyBehaviorTest : public SimDesktopTest, public ::testing::WithParamInterface<CopyCase> {};

TEST_P(CopyBehaviorTest, PutsWhatTheApplicationCopies) {
  const SimPasteboardItem before = SimPasteboardItem::plainText("before");
  desktop.pasteboard().setItems({before}, "test");
  notes.selection = "text";
  notes.copies = GetParam().copies;

  postCommandKey(kKeyC, notes.pid);
  desktop.advance(Seconds(1));

  EXPECT_EQ(desktop.pasteboard().items(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Behaviours, CopyBehaviorTest,
    ::testing::Values(
        CopyCase{"Text", CopyBehavior::kText, {SimPasteboardItem::plainText("text")}},
        CopyCase{"Image", CopyBehavior::kImage, {{{{"public.png", pngBytes()}}}}},
        CopyCase{"Nothing", CopyBehavior::kNothing, {SimPasteboardItem::plainText("before")}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SimDesktopTest, KeystrokesReachOnlyTheirTarget) {
  notes.selection = "from notes";
  desktop.activate(mail);

  postCommandKey(kKeyC, 99999);  // no such process
  desktop.advance(Seconds(1));
  EXPECT_EQ(desktop.keyboard().posted().front().receiver, "");
  EXPECT_EQ(plainText(desktop.pasteboard()), "<none>");

  desktop.quit(notes);
  postCommandKey(kKeyC, notes.pid);
  desktop.advance(Seconds(1));
  EXPECT_EQ(plainText(desktop.pasteboard()), "<none>");
}

// The system checks the poster's trust as each event is posted, whatever the
// route.
TEST_F(SimDesktopTest, KeystrokesPostedWithoutTheTrustAreDropped) {
  notes.selection = "from notes";
  desktop.pasteboard().setItems({SimPasteboardItem::plainText("pasted")}, "test");
  desktop.activate(mail);
  desktop.accessibility().setTrusted(false);

  postCommandKey(kKeyC, notes.pid);
  postCommandKey(kKeyV, std::nullopt);
  desktop.advance(Seconds(1));

  ASSERT_EQ(desktop.keyboard().posted().size(), 4u);
  for (const PostedKey& key : desktop.keyboard().posted()) {
    EXPECT_TRUE(key.dropped);
    EXPECT_EQ(key.receiver, "");
  }
  EXPECT_EQ(plainText(desktop.pasteboard()), "pasted");
  EXPECT_EQ(mail.document, "");
  EXPECT_EQ(desktop.timeline().events().back().details,
            "cmd+v up is posted into the input stream and dropped: the host is not trusted.");
}

TEST_F(SimDesktopTest, TrustChangesShowInTheTimeline) {
  desktop.accessibility().setTrusted(true);  // no change
  desktop.accessibility().setTrusted(false);
  desktop.accessibility().setTrusted(false);
  desktop.accessibility().setTrusted(true);
  EXPECT_THAT(steps(desktop.timeline(), {Source::kUser}),
              ElementsAre("user: distrust", "user: trust"));
}

TEST_F(SimDesktopTest, PasteIntoTheInputStreamReachesTheFrontmostApplication) {
  desktop.pasteboard().setItems({SimPasteboardItem::plainText("pasted")}, "test");
  desktop.activate(mail);

  postCommandKey(kKeyV, std::nullopt);
  desktop.advance(Seconds(1));

  EXPECT_EQ(desktop.keyboard().posted().front().receiver, "Mail");
  EXPECT_FALSE(desktop.keyboard().posted().front().pid.has_value());
  EXPECT_EQ(mail.document, "pasted");
  EXPECT_EQ(notes.document, "");
}

TEST_F(SimDesktopTest, APasteReadsThePasteboardWhenTheApplicationHandlesIt) {
  desktop.pasteboard().setItems({SimPasteboardItem::plainText("first")}, "test");
  desktop.activate(mail);
  mail.pasteLatency = 600ms;

  postCommandKey(kKeyV, std::nullopt);
  desktop.advance(Seconds(0.5));
  desktop.pasteboard().setItems({SimPasteboardItem::plainText("restored")}, "test");
  desktop.advance(Seconds(0.5));

  EXPECT_EQ(mail.document, "restored");
}

struct LayoutQueryCase {
  const char* name;
  KeyboardLayout layout;
  std::optional<KeyCode> c;
  std::optional<KeyCode> v;
  // Whether the keys of C and V on a US keyboard copy and paste, and what
  // Notes receives instead when they do not.
  bool usKeysWork;
  std::vector<std::string> received;
  friend void PrintTo(const LayoutQueryCase& c, std::ostream* os) { *os << c.name; }
};

class KeyboardLayoutTest : public SimDesktopTest,
                           public ::testing::WithParamInterface<LayoutQueryCase> {};

// On Dvorak the keys of C and V on a US keyboard are Command-J and Command-K:
// an application receiving them copies and pastes nothing, and does whatever
// those shortcuts do there.
TEST_P(KeyboardLayoutTest, ApplicationsReadShortcutsThroughTheLayout) {
  const LayoutQueryCase& c = GetParam();
  desktop.keyboard().setLayout(c.layout);
  EXPECT_EQ(desktop.keyboard().keyCodeForCharacterWithCommand(u'c'), c.c);
  EXPECT_EQ(desktop.keyboard().keyCodeForCharacterWithCommand(u'v'), c.v);
  EXPECT_EQ(desktop.keyboard().keyCodeForCharacterWithCommand(u'\u0441'), std::nullopt);  // с

  notes.selection = "text";
  desktop.activate(notes);
  postCommandKey(kKeyC, notes.pid);
  desktop.advance(Seconds(1));
  postCommandKey(kKeyV, std::nullopt);
  desktop.advance(Seconds(1));

  std::vector<std::string> received;
  for (const TimelineEvent& e : desktop.timeline().events()) {
    if (e.event == "shortcut") received.push_back(e.details);
  }
  EXPECT_EQ(received, c.received);
  EXPECT_EQ(plainText(desktop.pasteboard()), c.usKeysWork ? "text" : "<none>");
  EXPECT_EQ(notes.document, c.usKeysWork ? "text" : "");
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, KeyboardLayoutTest,
    ::testing::Values(
        LayoutQueryCase{"Us", KeyboardLayout::kUs, 8, 9, true, {}},
        LayoutQueryCase{"Dvorak",
                        KeyboardLayout::kDvorak,
                        34,
                        47,
                        false,
                        {"Notes receives cmd+j.", "Notes receives cmd+k."}},
        LayoutQueryCase{
            "DvorakQwertyCommand", KeyboardLayout::kDvorakQwertyCommand, 8, 9, true, {}},
        LayoutQueryCase{"Russian", KeyboardLayout::kRussian, 8, 9, true, {}},
        LayoutQueryCase{
            "NoLayoutData", KeyboardLayout::kNone, std::nullopt, std::nullopt, true, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SimDesktopTest, AKeyEventFailsByWhatItMeansInTheLayout) {
  desktop.keyboard().failKeyEvents = {{'c', true}};
  Keyboard& keyboard = desktop.keyboard();
  EXPECT_EQ(keyboard.createKeyboardEvent(nullptr, 8, true), nullptr);
  EXPECT_NE(keyboard.createKeyboardEvent(nullptr, 8, false), nullptr);
  desktop.keyboard().setLayout(KeyboardLayout::kDvorak);
  EXPECT_NE(keyboard.createKeyboardEvent(nullptr, 8, true), nullptr);   // j
  EXPECT_EQ(keyboard.createKeyboardEvent(nullptr, 34, true), nullptr);  // c
}

TEST_F(SimDesktopTest, EveryInjectedFailureShowsThroughTheInterface) {
  desktop.keyboard().failEventSource = true;
  desktop.keyboard().failKeyEvents = {{'v', false}};
  desktop.statusBar().failSymbol = true;
  desktop.pasteboard().failItemList = true;
  desktop.loginItems().registerRefusal = "Operation not permitted";
  desktop.loginItems().unregisterRefusal = "Not found";
  Keyboard& keyboard = desktop.keyboard();

  EXPECT_EQ(keyboard.createEventSource(EventSourceState::kHIDSystemState), nullptr);
  EXPECT_NE(keyboard.createKeyboardEvent(nullptr, kKeyV, true), nullptr);
  EXPECT_EQ(keyboard.createKeyboardEvent(nullptr, kKeyV, false), nullptr);
  EXPECT_EQ(desktop.statusBar().imageWithSystemSymbolName("textbox", "Brimlane"), nullptr);
  EXPECT_FALSE(desktop.pasteboard().pasteboardItems().has_value());
  EXPECT_EQ(desktop.loginItems().registerMainAppService()->description, "Operation not permitted");
  EXPECT_EQ(desktop.loginItems().unregisterMainAppService()->description, "Not found");
  EXPECT_EQ(desktop.loginItems().status, kAppServiceStatusNotRegistered);

  desktop.statusBar().failButton = true;
  EXPECT_EQ(desktop.statusBar().statusItemWithLength(kSquareStatusItemLength)->button(), nullptr);
  desktop.statusBar().failStatusItem = true;
  EXPECT_EQ(desktop.statusBar().statusItemWithLength(kSquareStatusItemLength), nullptr);

  desktop.hotKeys().installStatus = kParamErr;
  desktop.hotKeys().registerStatus = kEventHotKeyExistsErr;
  EventHotKeyRef ref = nullptr;
  HotKeys& hotKeys = desktop.hotKeys();
  const EventTypeSpec spec{kEventClassKeyboard, kEventHotKeyPressed};
  EXPECT_EQ(hotKeys.installEventHandler(
                hotKeys.applicationEventTarget(), [](auto, auto, auto) { return kNoErr; },
                {&spec, 1}, nullptr),
            kParamErr);
  EXPECT_EQ(
      hotKeys.registerEventHotKey(17, kCmdKey, {1, 1}, hotKeys.applicationEventTarget(), 0, &ref),
      kEventHotKeyExistsErr);
  EXPECT_EQ(ref, nullptr);
}

TEST_F(SimDesktopTest, OnlyARegisteredCombinationReachesTheHandler) {
  HotKeys& hotKeys = desktop.hotKeys();
  int presses = 0;
  const EventTypeSpec spec{kEventClassKeyboard, kEventHotKeyPressed};
  hotKeys.installEventHandler(
      hotKeys.applicationEventTarget(),
      [&](auto, auto, auto) {
        ++presses;
        return kNoErr;
      },
      {&spec, 1}, nullptr);
  EventHotKeyRef ref = nullptr;
  hotKeys.registerEventHotKey(17, kCmdKey | kShiftKey, {fourCharCode("TEST"), 1},
                              hotKeys.applicationEventTarget(), 0, &ref);
  EXPECT_NE(ref, nullptr);

  for (std::uint32_t modifiers : {kCmdKey, kShiftKey, 0u, kCmdKey | kShiftKey | kOptionKey}) {
    EXPECT_EQ(desktop.pressKeys(17, modifiers), std::nullopt) << modifiers;
  }
  EXPECT_EQ(presses, 0);
  EXPECT_EQ(desktop.pressKeys(17, kCmdKey | kShiftKey), kNoErr);
  EXPECT_EQ(presses, 1);
}

TEST_F(SimDesktopTest, PasteboardKeepsTypesWithoutBytesAndRepeatedNames) {
  desktop.pasteboard().setItems({{{{"a", toBytes("1")}, {"b", std::nullopt}, {"a", toBytes("2")}}}},
                                "test");
  auto items = desktop.pasteboard().pasteboardItems();
  ASSERT_TRUE(items.has_value());
  ASSERT_EQ(items->size(), 1u);
  EXPECT_THAT(items->front()->types(), ElementsAre("a", "b", "a"));
  EXPECT_EQ(items->front()->dataForType("b"), std::nullopt);
  EXPECT_EQ(items->front()->dataForType("missing"), std::nullopt);

  const Bytes bytes = toBytes("x");
  const PasteboardEntry entry{"c", bytes};
  desktop.pasteboard().writeItem({&entry, 1});
  EXPECT_EQ(desktop.pasteboard().items().size(), 2u);
}

TEST_F(SimDesktopTest, LoginItemsFollowRegistrationAndTheSystemVersion) {
  SimLoginItems& login = desktop.loginItems();
  login.osVersion = {12, 6, 0};
  EXPECT_FALSE(login.isOperatingSystemAtLeastVersion({13, 0, 0}));
  login.osVersion = {13, 0, 0};
  EXPECT_TRUE(login.isOperatingSystemAtLeastVersion({13, 0, 0}));
  EXPECT_FALSE(login.registerMainAppService().has_value());
  EXPECT_EQ(login.mainAppServiceStatus(), kAppServiceStatusEnabled);
  EXPECT_FALSE(login.unregisterMainAppService().has_value());
  EXPECT_EQ(login.mainAppServiceStatus(), kAppServiceStatusNotRegistered);
}

TEST_F(SimDesktopTest, TheSystemPromptsOnlyAProcessThatIsNotTrusted) {
  SimAccessibility& ax = desktop.accessibility();
  EXPECT_TRUE(ax.isProcessTrustedWithOptions(true));
  ax.setTrusted(false);
  EXPECT_FALSE(ax.isProcessTrustedWithOptions(false));
  EXPECT_EQ(ax.prompts, 0);
  EXPECT_FALSE(ax.isProcessTrustedWithOptions(true));
  EXPECT_EQ(ax.prompts, 1);
}

}  // namespace
}  // namespace brimlane::sim
