// Reading scenario lines: what the simulator accepts, and what it refuses with
// a message a person can act on.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <limits>
#include <locale>
#include <sstream>

#include "sim/cli/line_reader.h"
#include "sim/cli/scenario_lexer.h"
#include "sim/cli/scenario_runner.h"

namespace brimlane::sim::cli {
namespace {

using ::testing::HasSubstr;

class ScenarioReaderTest : public ::testing::Test {
 protected:
  std::string errorOf(const std::string& line) {
    auto result = runner.read(line);
    const auto* error = std::get_if<std::string>(&result);
    return error ? *error : "";
  }
  // Reads and runs each line; the failures written, if any.
  std::string run(const std::vector<std::string>& lines) {
    int number = 0;
    for (const std::string& line : lines) {
      auto result = runner.read(line);
      ++number;
      if (const auto* error = std::get_if<std::string>(&result)) return "cannot read: " + *error;
      runner.run(number, std::get<ScenarioRunner::Command>(result));
    }
    return err.str();
  }

  std::ostringstream out;
  std::ostringstream err;
  ScenarioRunner runner{"test.scenario", OutputOptions{.quiet = true}, out, err};
};

TEST_F(ScenarioReaderTest, AcceptsEveryKindOfLine) {
  for (const char* line :
       {"",
        "   # only a comment",
        "launch # trailing comment",
        "macos 12.6",
        "macos 14.0.1",
        "host bundle none",
        "app Notes bundle none pid 42",
        "select Notes \"a \\\"quoted\\\" \\\\ b\"",
        "clipboard item public.utf8-plain-text=\"x\" public.png=hex:89504E47 x.y=nodata",
        "call selection pasteText {\"text\": [1, 2.5, -3, true, null, bytes:0A1B]}",
        "call system setLaunchAtLogin false",
        "send selection hex:07017800",
        "press ctrl+option+cmd+shift+k",
        "click status right cmd ctrl",
        "other-app writes \"x\" after 0.3",
        "other-app writes x.y=hex:00FF public.utf8-plain-text=\"t\"",
        "user copies \"x\"",
        "at 0.15 quit Notes, Mail comes forward",
        "at 0 expect clipboard a=\"b\" c=nodata",
        "activate Notes no-notification",
        "expect no answer",
        "expect menu \"Quit\" cmd+q \"Other\" none",
        "expect keys Notes cmd+c cmd+c",
        "expect answer error \"CODE\" \"message\"",
        "expect answer [1, {\"k\": \"v\"}]",
        "expect time 0.8",
        "expect keys Notes cmd+c Mail cmd+v cmd+v",
        "expect keys from private to Notes ctrl+option+shift+cmd+c from none hid v into nobody c",
        "expect ui updateSelection \"a\" updateSelection \"b\"",
        "expect activated Notes all-windows ignoring-other-apps Mail no-options",
        "expect panel level 25",
        "expect panel collection none",
        "expect status-item length 24.5",
        "expect hotkey returned 0 -9874 unhandled",
        "press cmd+shift+t cmd+shift+t t",
        "undo fail key-event paste up",
        "reopen visible-windows",
        "wait .5",
        "wait 5.",
        "wait 2.5E+0",
        "wait 1e-3",
        "call selection pasteText [0.1, -2.5e-3, -.5, inf, -Infinity, nan]"}) {
    EXPECT_EQ(errorOf(line), "") << line;
  }
}

struct RefusedCase {
  const char* line;
  const char* says;
  friend void PrintTo(const RefusedCase& c, std::ostream* os) { *os << c.line; }
};

class RefusedLineTest : public ScenarioReaderTest,
                        public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(RefusedLineTest, SaysWhatIsWrong) {
  EXPECT_THAT(errorOf(GetParam().line), HasSubstr(GetParam().says));
}

INSTANTIATE_TEST_SUITE_P(
    Lines, RefusedLineTest,
    ::testing::Values(
        RefusedCase{"summon Notes", "unknown command \"summon\""},
        RefusedCase{"select Notes \"open", "never closed"},
        RefusedCase{"select Notes \"bad \\q escape\"", "unknown escape \\q"},
        RefusedCase{"select Notes text", "in double quotes"}, RefusedCase{"wait soon", "\"soon\""},
        RefusedCase{"wait -1", "between 0 and"}, RefusedCase{"wait 1 2", "unexpected \"2\""},
        RefusedCase{"wait +1", "a duration as a number, found \"+1\""},
        RefusedCase{"wait 0x1", "a duration as a number, found \"0x1\""},
        RefusedCase{"wait 1e", "a duration as a number, found \"1e\""},
        RefusedCase{"wait .", "a duration as a number, found \".\""},
        RefusedCase{"wait 1e400", "a duration as a number, found \"1e400\""},
        RefusedCase{"wait 1e-400", "a duration as a number, found \"1e-400\""},
        RefusedCase{"wait inf", "a duration as a number, found \"inf\""},
        RefusedCase{"call selection pasteText 1.5.2", "\"1.5.2\" is not a value"},
        RefusedCase{"macos twelve", "not a version"},
        RefusedCase{"trusted maybe", "expected yes|no"},
        RefusedCase{"press cmd+shift", "names no key"},
        RefusedCase{"press cmd+shift+t+y", "not a modifier or a key"},
        RefusedCase{"call selection pasteText [1, 2",
                    "expected ',' or ']' at column 31, found the end of the line"},
        RefusedCase{"call selection pasteText [1 2]",
                    "expected ',' or ']' at column 29, found \"2\""},
        RefusedCase{"call selection pasteText {\"k\" 1}", "expected ':' at column 31, found \"1\""},
        RefusedCase{"call selection pasteText {\"k\": 1",
                    "expected ',' or '}' at column 33, found the end of the line"},
        RefusedCase{"call elsewhere getSelection", "selection or system"},
        RefusedCase{"send selection hex:0A1", "even number of hex digits"},
        RefusedCase{"clipboard item text", "TYPE=VALUE"},
        RefusedCase{"clipboard item a=3", "must be \"text\", hex:HEX or nodata"},
        RefusedCase{"fail network", "expected event-source"},
        RefusedCase{"keyboard layout colemak", "expected us|dvorak|"},
        RefusedCase{"keyboard dvorak", "expected layout"}, RefusedCase{"app host", "reserved"},
        RefusedCase{"app Notes pid 0", "positive"},
        RefusedCase{"expect weather sunny", "expected clipboard|"},
        RefusedCase{"expect panel open", "visible|hidden"},
        RefusedCase{"quit host", "only through its menu"}, RefusedCase{"app into", "reserved"},
        RefusedCase{"expect panel open", "|style|level|"},
        RefusedCase{"clipboard bogus", "expected \"TEXT\"|empty|nolist|item"},
        RefusedCase{"fail key-evnt", "|key-event|login-register|"},
        RefusedCase{"expect panel style round", "expected titled|closable"},
        RefusedCase{"expect keys Notes", "key combination"},
        RefusedCase{"expect keys from somewhere Notes cmd+c", "hid-system"},
        RefusedCase{"expect activated Notes", "no-options"},
        RefusedCase{"expect hotkey cmd+shift+t \"BRL\" 1", "four characters"},
        RefusedCase{"expect prompts -1", "cannot be negative"},
        RefusedCase{"undo fail network", "expected event-source"},
        RefusedCase{"notify activation", "application name"},
        RefusedCase{"\"launch\"", "expected a command"},
        RefusedCase{"at 1 wait 2", "`wait` cannot be timed"},
        RefusedCase{"at 1 at 2 launch", "`at` cannot be timed"},
        RefusedCase{"at 1", "expected a command to run at that time"},
        RefusedCase{"at soon quit Notes", "\"soon\""},
        RefusedCase{"at 1 summon Notes", "unknown command \"summon\""},
        RefusedCase{"at 1 quit Notes Mail", "unexpected \"Mail\""},
        RefusedCase{"quit Notes, Mail comes", "expected forward at the end of the line"},
        RefusedCase{"activate Notes quietly", "expected no-notification"},
        RefusedCase{"user copies", "TYPE=VALUE"},
        RefusedCase{"other-app writes \"x\" later", "expected after, found \"later\""},
        RefusedCase{"expect clipboard public.png=3", "hex:HEX or nodata"},
        RefusedCase{"expect no answer yet", "unexpected \"yet\""}),
    [](const auto& info) { return "Line" + std::to_string(info.index); });

TEST_F(ScenarioReaderTest, FailedExpectationsNameTheirLine) {
  EXPECT_EQ(run({"launch", "expect panel hidden", "expect time 0", "expect quit yes"}),
            "test.scenario:2: expected panel hidden, got a 600 × 600 panel at (420, 150), "
            "visible, key\n"
            "test.scenario:4: expected quit yes, got still running\n");
  EXPECT_EQ(runner.failures(), 2);
}

TEST_F(ScenarioReaderTest, FailedExpectationsShowWhatIsThereTheWayTheyAreWritten) {
  EXPECT_EQ(
      run({"app Notes", "select Notes \"s\"", "activate Notes", "launch", "activate Notes",
           "press cmd+shift+t", "expect keys from private into Notes cmd+shift+c",
           "expect panel level normal", "expect panel style titled", "expect hotkey none",
           "expect hotkey returned unhandled", "expect status-item acts-on left-mouse-up",
           "expect activated none", "expect panel background-view within-window active sidebar"}),
      "test.scenario:7: expected keys from private into Notes cmd+shift+c, got from "
      "hid-system to Notes cmd+c\n"
      "test.scenario:8: expected panel level normal, got floating\n"
      "test.scenario:9: expected panel style titled, got titled closable resizable "
      "full-size-content\n"
      "test.scenario:10: expected hotkey none, got cmd+shift+t \"BRLN\" 1\n"
      "test.scenario:11: expected hotkey returned unhandled, got 0\n"
      "test.scenario:12: expected status-item acts-on left-mouse-up, got left-mouse-up "
      "right-mouse-up\n"
      "test.scenario:14: expected panel background-view within-window active sidebar, got "
      "behind-window active sidebar\n");
}

TEST_F(ScenarioReaderTest, TimedLinesNameTheirLineAndMustComeToRun) {
  EXPECT_EQ(run({"app Notes", "at 0.5 expect time 0.4", "wait 1", "at 0.5 quit Notes",
                 "at 3 quit Notes", "at 2 expect quit yes"}),
            "test.scenario:2: expected time 0.400, got 0.500\n"
            "test.scenario:4: expected a time still to come, got 0.500, with the time at 1.000\n");
  runner.finish();
  EXPECT_EQ(err.str().substr(err.str().find("test.scenario:5")),
            "test.scenario:5: expected the line run at 3.000, got the scenario's end at 1.000\n"
            "test.scenario:6: expected the line run at 2.000, got the scenario's end at 1.000\n");
}

TEST_F(ScenarioReaderTest, LaunchesOnceAndLoadsOnlyBefore) {
  EXPECT_EQ(errorOf("load"), "");
  EXPECT_EQ(errorOf("launch"), "");
  EXPECT_EQ(errorOf("launch"), "the host is launched once per scenario");
  EXPECT_EQ(errorOf("load"), "the interface file is loaded once, before launch");
}

TEST_F(ScenarioReaderTest, KeysAndUiAreReadOnce) {
  EXPECT_EQ(run({"app Notes", "select Notes \"s\"", "activate Notes", "launch", "activate Notes",
                 "press cmd+shift+t", "expect keys Notes cmd+c", "expect keys none",
                 "expect ui updateSelection \"s\"", "expect ui none"}),
            "");
}

// Decimals the way much of Europe writes them, with a comma.
struct CommaDecimals : std::numpunct<char> {
  char do_decimal_point() const override { return ','; }
  char do_thousands_sep() const override { return '.'; }
  std::string do_grouping() const override { return "\3"; }
};

TEST_F(ScenarioReaderTest, ReadsTimesTheSameWhateverTheLocale) {
  const std::locale previous =
      std::locale::global(std::locale(std::locale::classic(), new CommaDecimals));
  const std::string failures =
      run({"launch", "wait 0.25", "expect time 0.25", "wait 1.5e-1", "expect time 0.4"});
  std::locale::global(previous);
  EXPECT_EQ(failures, "");
}

ChannelValue readValue(const std::string& text) {
  LineReader reader(std::get<std::vector<Token>>(lex(text)));
  return reader.value();
}

TEST(ScenarioValueTest, ReadsDecimalsAsTheNearestDouble) {
  EXPECT_EQ(readValue("0.1"), ChannelValue(0.1));
  EXPECT_EQ(readValue("-2.5e-3"), ChannelValue(-2.5e-3));
  EXPECT_EQ(readValue("3.141592653589793"), ChannelValue(3.141592653589793));
  EXPECT_EQ(readValue("1.7976931348623157e308"), ChannelValue(std::numeric_limits<double>::max()));
  EXPECT_EQ(readValue("2.2250738585072014e-308"), ChannelValue(std::numeric_limits<double>::min()));
  EXPECT_EQ(readValue("-Inf"), ChannelValue(-std::numeric_limits<double>::infinity()));
  // Whole numbers stay integers.
  EXPECT_EQ(readValue("7"), ChannelValue(std::int32_t{7}));
}

}  // namespace
}  // namespace brimlane::sim::cli
