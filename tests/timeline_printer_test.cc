// The simulator's JSON lines: one object per event, read back by a JSON
// parser, whatever bytes the texts hold.
#include "sim/cli/timeline_printer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "tests/json_lines.h"

namespace brimlane::sim::cli {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

TimelineEvent event(std::string details, std::string wire = {}) {
  return {SimTime(300'000), Source::kChannel, "call", std::move(details), std::move(wire)};
}

std::string printed(const TimelineEvent& e, bool wire = false) {
  std::ostringstream out;
  printEvent(out, e, OutputOptions{.json = true, .wire = wire});
  return out.str();
}

// The one line printed, parsed; fails the test unless it is a timeline event.
nlohmann::ordered_json parsedLine(const std::string& text) {
  EXPECT_TRUE(text.ends_with("\n"));
  const std::string line = text.substr(0, text.find('\n'));
  EXPECT_EQ(line.size() + 1, text.size()) << "more than one line: " << text;
  EXPECT_EQ(jsonLineProblem(line), "") << line;
  return nlohmann::ordered_json::parse(line, nullptr, false);
}

TEST(TimelinePrinterJsonTest, IsOneObjectWithTheEventsFieldsInOrder) {
  const auto line = parsedLine(printed(event("The UI calls \"x\".", "07 01 78 00")));
  EXPECT_EQ(line.dump(),
            R"({"time":0.3,"source":"channel","event":"call","details":"The UI calls \"x\"."})");
}

TEST(TimelinePrinterJsonTest, WireBytesOnlyWhenAskedFor) {
  EXPECT_EQ(parsedLine(printed(event("sent", "07 01 78 00"), true))["wire"], "07 01 78 00");
  EXPECT_FALSE(parsedLine(printed(event("sent", ""), true)).contains("wire"));
}

TEST(TimelinePrinterJsonTest, ControlCharactersQuotesAndBackslashesComeBackAsTheyWere) {
  const std::string details = "line one\nline two\ttab \"quoted\" back\\slash \x01\x1F\x7F";
  const auto line = parsedLine(printed(event(details)));
  EXPECT_EQ(line["details"], details);
  EXPECT_FALSE(line.contains("replaced"));
}

TEST(TimelinePrinterJsonTest, Utf8TextIsKeptAsItIs) {
  const auto line = parsedLine(printed(event("caf\u00e9 \u2713 \U0001F600")));
  EXPECT_EQ(line["details"], "caf\u00e9 \u2713 \U0001F600");
  EXPECT_FALSE(line.contains("replaced"));
}

// The printer used to copy such bytes into the line, which no JSON parser
// accepts.
TEST(TimelinePrinterJsonTest, TextThatIsNotUtf8IsReplacedAndSaidSo) {
  const auto line = parsedLine(printed(event("caf\xE9 noir \xFF")));
  EXPECT_EQ(line["details"], "caf\uFFFD noir \uFFFD");
  EXPECT_THAT(line["replaced"], ElementsAre("details"));
}

TEST(TimelinePrinterJsonTest, EveryTextFieldIsChecked) {
  TimelineEvent e = event("fine", "\xC3");
  e.event = "\xED\xA0\x80";
  const auto line = parsedLine(printed(e, true));
  EXPECT_THAT(line["replaced"], ElementsAre("event", "wire"));
}

TEST(TimelinePrinterJsonTest, TheCheckRefusesAnyLineThatIsNotAnEvent) {
  const std::string good = R"({"time":0.3,"source":"user","event":"e","details":"d"})";
  EXPECT_EQ(jsonLineProblem(good), "");
  EXPECT_THAT(jsonLineProblem(R"({"time":0.3,"source":"user","event":"e","details":"caf)"
                              "\xE9\"}"),
              HasSubstr("not JSON"));
  EXPECT_THAT(jsonLineProblem(""), HasSubstr("not JSON"));
  EXPECT_THAT(jsonLineProblem(good + good), HasSubstr("not JSON"));
  EXPECT_THAT(jsonLineProblem("[1]"), HasSubstr("not one JSON object"));
  EXPECT_THAT(jsonLineProblem(R"({"time":"0.3","source":"user","event":"e","details":"d"})"),
              HasSubstr("time"));
  EXPECT_THAT(jsonLineProblem(R"({"time":0.3,"source":"user","event":"e"})"), HasSubstr("details"));
  EXPECT_THAT(jsonLineProblem(R"({"time":0.3,"source":"user","event":"e","details":1})"),
              HasSubstr("details"));
  EXPECT_THAT(
      jsonLineProblem(R"({"time":0.3,"source":"user","event":"e","details":"d","extra":1})"),
      HasSubstr("extra"));
  EXPECT_THAT(
      jsonLineProblem(R"({"time":0.3,"source":"user","event":"e","details":"d","replaced":[]})"),
      HasSubstr("replaced"));
  EXPECT_THAT(
      jsonLineProblem(R"({"time":0.3,"source":"u","event":"e","details":"d","replaced":["wire"]})"),
      HasSubstr("wire"));
}

TEST(TimelinePrinterJsonTest, TextOutputIsUnchangedByIt) {
  std::ostringstream out;
  printEvent(out, event("caf\xE9"), OutputOptions{});
  EXPECT_EQ(out.str(), "   0.300  channel     caf\xE9\n");
}

}  // namespace
}  // namespace brimlane::sim::cli
