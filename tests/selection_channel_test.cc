// The selection channel as the UI code calls it: bytes in, bytes out.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "test_support.h"

namespace brimlane::sim {
namespace {

using namespace std::chrono_literals;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

const DecodedReply kTextRequired = errorReply("INVALID_ARGUMENT", "Text argument required");

class SelectionChannelTest : public HostTest {
 protected:
  UiCallOutcome call(const std::string& method, ChannelValue arguments = ChannelValue()) {
    return callChannel(kSelectionChannel, method, std::move(arguments));
  }
};

// Arguments sent with methods that take none.
const std::vector<ChannelValue> kIgnoredArguments{
    ChannelValue(), ChannelValue(true), ChannelValue(std::int32_t{7}), ChannelValue("text"),
    ChannelValue(ChannelMap{{ChannelValue("text"), ChannelValue("x")}})};

TEST_F(SelectionChannelTest, GetSelectionAnswersTheCapturedText) {
  for (const ChannelValue& arguments : kIgnoredArguments) {
    EXPECT_THAT(call("getSelection", arguments),
                AnsweredOnceWith(successReply(ChannelValue("selected text"))));
  }
  EXPECT_THAT(desktop.pasteboard().items(), ElementsAre(userClipboard()));
  EXPECT_EQ(desktop.engine().received().size(), 0u);  // the answer, not "updateSelection"
}

// Text of ordinary length with a NUL in it crosses whole both ways: the
// selection the UI is handed and answered, and the text it has pasted.
TEST_F(SelectionChannelTest, TextWithANulInsideCrossesWhole) {
  const std::string text("first line\0second line of the selection", 39);
  notes.selection = text;
  host().hidePanel();
  desktop.pressKeys(17, kCmdKey | kShiftKey);

  ASSERT_EQ(desktop.engine().received().size(), 1u);
  EXPECT_EQ(desktop.engine().received().front().call.arguments, ChannelValue(text));
  EXPECT_THAT(call("getSelection"), AnsweredOnceWith(successReply(ChannelValue(text))));
  EXPECT_THAT(call("pasteText", ChannelValue(text)), AnsweredOnceWith(kTrue));
  desktop.advance(Seconds(1));
  EXPECT_EQ(notes.document, text);
}

struct NoSelectionCase {
  const char* name;
  CopyBehavior copies;
  std::string selection;
  friend void PrintTo(const NoSelectionCase& c, std::ostream* os) { *os << c.name; }
};

class GetSelectionNullTest : public SelectionChannelTest,
                             public ::testing::WithParamInterface<NoSelectionCase> {};

TEST_P(GetSelectionNullTest, AnswersNullOnlyOnceTheCaptureGaveUp) {
  notes.copies = GetParam().copies;
  notes.selection = GetParam().selection;
  const SimTime start = desktop.now();

  EXPECT_THAT(call("getSelection"), AnsweredOnceWith(kNull));

  const TimelineEvent& answer = desktop.timeline().events().back();
  EXPECT_EQ(answer.event, "answer");
  EXPECT_EQ(answer.time - start, 1s);
}

INSTANTIATE_TEST_SUITE_P(Cases, GetSelectionNullTest,
                         ::testing::Values(NoSelectionCase{"NothingCopied", CopyBehavior::kNothing,
                                                           ""},
                                           NoSelectionCase{"ImageOnly", CopyBehavior::kImage, ""},
                                           NoSelectionCase{"EmptyText", CopyBehavior::kText, ""}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SelectionChannelTest, UntrustedGetSelectionAnswersNullWithoutTouchingAnything) {
  desktop.accessibility().setTrusted(false);
  const int changes = desktop.pasteboard().changeCount();
  EXPECT_THAT(call("getSelection"), AnsweredOnceWith(kNull));
  EXPECT_EQ(desktop.pasteboard().changeCount(), changes);
  EXPECT_THAT(desktop.keyboard().posted(), IsEmpty());
  EXPECT_EQ(desktop.accessibility().prompts, 0);
}

TEST_F(SelectionChannelTest, CheckPermissionAnswersTheTrustSilently) {
  for (const ChannelValue& arguments : kIgnoredArguments) {
    EXPECT_THAT(call("checkPermission", arguments), AnsweredOnceWith(kTrue));
  }
  desktop.accessibility().setTrusted(false);
  EXPECT_THAT(call("checkPermission"), AnsweredOnceWith(kFalse));
  EXPECT_EQ(desktop.accessibility().prompts, 0);
  EXPECT_EQ(desktop.accessibility().promptingChecks, 0);
}

class RequestPermissionTest : public SelectionChannelTest,
                              public ::testing::WithParamInterface<bool> {};

TEST_P(RequestPermissionTest, HidesThePanelThenAnswersTheTrustOfTheMoment) {
  const bool trusted = GetParam();
  desktop.accessibility().setTrusted(trusted);
  host().showPanel();

  EXPECT_THAT(call("requestPermission"), AnsweredOnceWith(trusted ? kTrue : kFalse));

  EXPECT_FALSE(panel().isVisible());
  EXPECT_EQ(desktop.accessibility().promptingChecks, 1);
  EXPECT_EQ(desktop.accessibility().prompts, trusted ? 0 : 1);
  // The panel went before the system's question came up.
  const std::vector<std::string> order = steps(desktop.timeline(), {Source::kPanel, Source::kUser});
  if (!trusted) {
    EXPECT_THAT(std::vector<std::string>(order.end() - 2, order.end()),
                ElementsAre("panel: hide", "user: prompt"));
  }
  // Granting it later does not reopen the panel.
  desktop.accessibility().setTrusted(true);
  desktop.runUntilIdle();
  EXPECT_FALSE(panel().isVisible());
}

INSTANTIATE_TEST_SUITE_P(Trusted, RequestPermissionTest, ::testing::Bool());

TEST_F(SelectionChannelTest, PasteTextAnswersBeforeItsDelayedSteps) {
  EXPECT_THAT(call("pasteText", ChannelValue("rewritten")), AnsweredOnceWith(kTrue));
  EXPECT_THAT(desktop.keyboard().posted(), IsEmpty());
  EXPECT_EQ(plainText(desktop.pasteboard()), "rewritten");
  desktop.advance(Seconds(1));
  EXPECT_EQ(notes.document, "rewritten");
  EXPECT_THAT(desktop.pasteboard().items(), ElementsAre(userClipboard()));
}

TEST_F(SelectionChannelTest, PasteTextAcceptsAnEmptyString) {
  EXPECT_THAT(call("pasteText", ChannelValue("")), AnsweredOnceWith(kTrue));
}

struct BadArgumentCase {
  const char* name;
  ChannelValue arguments;
  friend void PrintTo(const BadArgumentCase& c, std::ostream* os) { *os << c.name; }
};

class PasteTextArgumentTest : public SelectionChannelTest,
                              public ::testing::WithParamInterface<BadArgumentCase> {};

TEST_P(PasteTextArgumentTest, RefusesAnythingButAString) {
  const int changes = desktop.pasteboard().changeCount();

  EXPECT_THAT(call("pasteText", GetParam().arguments), AnsweredOnceWith(kTextRequired));

  EXPECT_EQ(desktop.pasteboard().changeCount(), changes);
  EXPECT_TRUE(panel().isVisible());
  EXPECT_EQ(desktop.scheduler().pendingMainTasks(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Values, PasteTextArgumentTest,
    ::testing::Values(BadArgumentCase{"Null", ChannelValue()},
                      BadArgumentCase{"Bool", ChannelValue(true)},
                      BadArgumentCase{"Int32", ChannelValue(std::int32_t{1})},
                      BadArgumentCase{"Int64", ChannelValue(std::int64_t{1} << 40)},
                      BadArgumentCase{"Double", ChannelValue(1.5)},
                      BadArgumentCase{"List", ChannelValue(ChannelList{ChannelValue("text")})},
                      BadArgumentCase{
                          "MapWithText",
                          ChannelValue(ChannelMap{{ChannelValue("text"), ChannelValue("hello")}})},
                      BadArgumentCase{"Bytes", ChannelValue(std::vector<std::uint8_t>{'h', 'i'})}),
    [](const auto& info) { return std::string(info.param.name); });

// A "pasteText" call whose argument is a string of exactly these bytes.
Bytes pasteTextOfBytes(std::initializer_list<std::uint8_t> text) {
  Bytes message{
      7, 9, 'p', 'a', 's', 't', 'e', 'T', 'e', 'x', 't', 7, static_cast<std::uint8_t>(text.size())};
  message.insert(message.end(), text);
  return message;
}

TEST_F(SelectionChannelTest, StringThatIsNotUtf8ReachesTheHostAsNull) {
  const int changes = desktop.pasteboard().changeCount();

  EXPECT_THAT(desktop.engine().send(kSelectionChannel, pasteTextOfBytes({'c', 'a', 'f', 0xE9})),
              AnsweredOnceWith(kTextRequired));

  EXPECT_EQ(desktop.pasteboard().changeCount(), changes);
  EXPECT_TRUE(panel().isVisible());
  EXPECT_EQ(desktop.scheduler().pendingMainTasks(), 0u);
  const auto call =
      std::find_if(desktop.timeline().events().rbegin(), desktop.timeline().events().rend(),
                   [](const TimelineEvent& e) { return e.event == "call"; });
  ASSERT_NE(call, desktop.timeline().events().rend());
  EXPECT_EQ(call->details,
            "The UI calls \"pasteText\" with null on com.brimlane.app/selection; the engine "
            "reads 1 string that is not UTF-8 as null.");
  EXPECT_EQ(call->wire, "07 09 70 61 73 74 65 54 65 78 74 07 04 63 61 66 E9");
}

TEST_F(SelectionChannelTest, PasteTextPastesTheTextTheMacEngineReads) {
  EXPECT_THAT(desktop.engine().send(kSelectionChannel, pasteTextOfBytes({'a', 0xA9, 'z'})),
              AnsweredOnceWith(kTrue));
  EXPECT_EQ(plainText(desktop.pasteboard()), "a\uFFFDz");
  desktop.advance(Seconds(1));

  EXPECT_THAT(
      desktop.engine().send(kSelectionChannel, pasteTextOfBytes({0xEF, 0xBB, 0xBF, 'h', 'i'})),
      AnsweredOnceWith(kTrue));
  EXPECT_EQ(plainText(desktop.pasteboard()), "hi");
}

TEST_F(SelectionChannelTest, PasteTextThatCannotPasteAnswersFalse) {
  desktop.accessibility().setTrusted(false);
  EXPECT_THAT(call("pasteText", ChannelValue("rewritten")), AnsweredOnceWith(kFalse));
  EXPECT_TRUE(panel().isVisible());
}

TEST_F(SelectionChannelTest, WithTheRecordedApplicationQuitNeitherMethodTouchesAnything) {
  host().showPanel();
  desktop.quit(notes);  // the record still names Notes
  const int changes = desktop.pasteboard().changeCount();
  const SimTime start = desktop.now();

  EXPECT_THAT(call("getSelection"), AnsweredOnceWith(kNull));
  EXPECT_THAT(call("pasteText", ChannelValue("rewritten")), AnsweredOnceWith(kFalse));
  desktop.advance(Seconds(1));

  EXPECT_EQ(desktop.timeline().events().back().time, start);  // nothing happened since
  EXPECT_EQ(desktop.pasteboard().changeCount(), changes);
  EXPECT_THAT(desktop.keyboard().posted(), IsEmpty());
  EXPECT_TRUE(panel().isVisible());
}

TEST_F(SelectionChannelTest, StartWindowDragFollowsTheCurrentEvent) {
  desktop.application().setCurrentEvent(std::make_shared<SimEvent>(EventType::kLeftMouseDown));
  EXPECT_THAT(call("startWindowDrag", ChannelValue("ignored")), AnsweredOnceWith(kNull));
  EXPECT_EQ(panel().dragsStarted, 1);

  desktop.application().setCurrentEvent(nullptr);
  EXPECT_THAT(call("startWindowDrag"), AnsweredOnceWith(kNull));
  EXPECT_EQ(panel().dragsStarted, 1);
}

TEST_F(SelectionChannelTest, UnknownNamesAreNotImplemented) {
  for (const char* method : {"GetSelection", "getselection", "PASTETEXT", "pasteText ", "",
                             "setLaunchAtLogin", "getLaunchAtLogin", "updateSelection"}) {
    EXPECT_THAT(call(method, ChannelValue("text")), AnsweredOnceWith(notImplementedReply()))
        << method;
  }
  EXPECT_THAT(desktop.keyboard().posted(), IsEmpty());
  EXPECT_TRUE(panel().isVisible());
}

TEST_F(SelectionChannelTest, WithTheHostGoneEveryMethodAnswersAsAMissingHost) {
  desktop.accessibility().setTrusted(false);
  desktop.application().setCurrentEvent(std::make_shared<SimEvent>(EventType::kLeftMouseDown));
  desktop.releaseDelegate();

  EXPECT_THAT(call("getSelection"), AnsweredOnceWith(kNull));
  EXPECT_THAT(call("checkPermission"), AnsweredOnceWith(kFalse));
  EXPECT_THAT(call("requestPermission"), AnsweredOnceWith(kFalse));
  EXPECT_THAT(call("pasteText", ChannelValue("text")), AnsweredOnceWith(kFalse));
  EXPECT_THAT(call("pasteText", ChannelValue()), AnsweredOnceWith(kTextRequired));
  EXPECT_THAT(call("startWindowDrag"), AnsweredOnceWith(kNull));
  EXPECT_THAT(call("other"), AnsweredOnceWith(notImplementedReply()));

  EXPECT_EQ(desktop.accessibility().silentChecks + desktop.accessibility().promptingChecks, 0);
  EXPECT_TRUE(panel().isVisible());
  EXPECT_EQ(panel().dragsStarted, 0);
  EXPECT_THAT(desktop.keyboard().posted(), IsEmpty());
}

TEST_F(SelectionChannelTest, UpdateSelectionCrossesAsAStandardMethodCall) {
  host().hidePanel();
  desktop.pressKeys(17, kCmdKey | kShiftKey);
  ASSERT_EQ(desktop.engine().received().size(), 1u);
  const UiMessage& message = desktop.engine().received().front();
  EXPECT_EQ(message.channel, kSelectionChannel);
  EXPECT_EQ(message.call.method, "updateSelection");
  EXPECT_EQ(message.call.arguments, ChannelValue("selected text"));
  EXPECT_EQ(toHex(message.bytes),
            toHex(encodeMethodCall({"updateSelection", ChannelValue("selected text")})));
}

struct MalformedCase {
  const char* name;
  Bytes message;
  friend void PrintTo(const MalformedCase& c, std::ostream* os) { *os << c.name; }
};

class MalformedMessageTest : public SelectionChannelTest,
                             public ::testing::WithParamInterface<MalformedCase> {};

TEST_P(MalformedMessageTest, IsRefusedByTheEngineAndNeverDispatched) {
  const UiCallOutcome outcome = desktop.engine().send(kSelectionChannel, GetParam().message);
  ASSERT_EQ(outcome.replies.size(), 1u);
  ASSERT_TRUE(outcome.reply().has_value());
  EXPECT_EQ(outcome.reply()->kind, DecodedReply::Kind::kError);
  EXPECT_EQ(outcome.reply()->code, "MALFORMED_MESSAGE");
  EXPECT_EQ(desktop.accessibility().silentChecks, 0);
  EXPECT_EQ(desktop.pasteboard().items(), std::vector<SimPasteboardItem>{userClipboard()});
}

INSTANTIATE_TEST_SUITE_P(Messages, MalformedMessageTest,
                         ::testing::Values(MalformedCase{"Empty", {}},
                                           MalformedCase{"NameNotAString", {3, 1, 0, 0, 0, 0}},
                                           MalformedCase{"NameNotUtf8", {7, 1, 0xFF, 0}},
                                           MalformedCase{"Truncated", {7, 12, 'g', 'e', 't'}},
                                           MalformedCase{"UnknownType", {7, 1, 'x', 99}},
                                           MalformedCase{"TrailingBytes", {7, 1, 'x', 0, 0}}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace brimlane::sim
