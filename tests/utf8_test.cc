// Which bytes are UTF-8, and what the Mac's string class makes of them: the
// boundaries of each sequence length, overlong forms, surrogates, code points
// past U+10FFFF, cut-off sequences, and the reader's two leniencies.
#include "sim/utf8.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <string_view>

namespace brimlane::sim {
namespace {

using namespace std::string_view_literals;

struct Utf8Case {
  const char* name;
  std::string_view bytes;
  bool utf8;
  // What an NSString made from the bytes holds, as UTF-8; nothing for nil.
  std::optional<std::string_view> nsString;
  friend void PrintTo(const Utf8Case& c, std::ostream* os) { *os << c.name; }
};

// Well-formed bytes read as they are.
Utf8Case same(const char* name, std::string_view bytes) {
  return {name, bytes, true, bytes};
}
// Bytes that are not UTF-8, and that the Mac reads as nil.
Utf8Case refused(const char* name, std::string_view bytes) {
  return {name, bytes, false, std::nullopt};
}

class Utf8Test : public ::testing::TestWithParam<Utf8Case> {};

TEST_P(Utf8Test, IsUtf8AndReadsOnTheMacAsTheStringClassReadsIt) {
  const Utf8Case& c = GetParam();
  EXPECT_EQ(isUtf8(c.bytes), c.utf8);
  const std::optional<std::string> expected =
      c.nsString ? std::optional<std::string>(*c.nsString) : std::nullopt;
  EXPECT_EQ(nsStringFromUtf8(c.bytes), expected);
}

INSTANTIATE_TEST_SUITE_P(
    WellFormed, Utf8Test,
    ::testing::Values(
        same("Empty", ""), same("Ascii", "plain text"), same("Nul", "a\x00z"sv),
        same("Delete", "\x7F"), same("LowestTwoByte", "\xC2\x80"),
        same("HighestTwoByte", "\xDF\xBF"), same("LowestThreeByte", "\xE0\xA0\x80"),
        same("BelowTheSurrogates", "\xED\x9F\xBF"), same("AboveTheSurrogates", "\xEE\x80\x80"),
        same("NoncharacterFFFF", "\xEF\xBF\xBF"), same("ReplacementCharacter", "\xEF\xBF\xBD"),
        same("LowestFourByte", "\xF0\x90\x80\x80"), same("HighestCodePoint", "\xF4\x8F\xBF\xBF"),
        same("A9AsAContinuationByte", "\xE2\x82\xA9"), same("MarkAfterTheStart", "a\xEF\xBB\xBF")),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    NotUtf8, Utf8Test,
    ::testing::Values(
        refused("OverlongNul", "\xC0\x80"), refused("OverlongC1", "\xC1\xBF"),
        refused("OverlongThreeByte", "\xE0\x9F\xBF"),
        refused("OverlongFourByte", "\xF0\x8F\xBF\xBF"), refused("LowestSurrogate", "\xED\xA0\x80"),
        refused("HighestSurrogate", "\xED\xBF\xBF"),
        refused("SurrogatePairEncodedAlone", "\xED\xA0\xBD\xED\xB2\xA9"),
        refused("PastU10FFFF", "\xF4\x90\x80\x80"), refused("LeadF5", "\xF5\x80\x80\x80"),
        refused("FiveByteForm", "\xF8\x88\x80\x80\x80"), refused("ByteFE", "\xFE"),
        refused("ByteFF", "\xFF"), refused("LoneContinuation", "\x80"),
        refused("LoneContinuationBF", "a\xBF"), refused("TwoByteCutOff", "\xC3"),
        refused("ThreeByteCutOff", "\xE2\x82"), refused("FourByteCutOff", "\xF0\x9F\x98"),
        refused("AsciiWhereAContinuationBelongs", "\xC3\x28"), refused("Latin1", "caf\xE9"),
        refused("Latin1InTheMiddle", "caf\xE9 noir"),
        refused("MarkThenLatin1", "\xEF\xBB\xBF\xE9")),
    [](const auto& info) { return std::string(info.param.name); });

// Core Foundation's reader drops one byte order mark at the start and reads a
// lone A9 as U+FFFD; neither is UTF-8 by the book's rules for the A9.
INSTANTIATE_TEST_SUITE_P(
    ReadLeniently, Utf8Test,
    ::testing::Values(
        Utf8Case{"MarkThenText", "\xEF\xBB\xBFtext", true, "text"},
        Utf8Case{"MarkAlone", "\xEF\xBB\xBF", true, ""},
        Utf8Case{"OnlyTheFirstMark", "\xEF\xBB\xBF\xEF\xBB\xBFx", true, "\xEF\xBB\xBFx"},
        Utf8Case{"LoneA9", "\xA9", false, "\xEF\xBF\xBD"},
        Utf8Case{"A9BetweenLetters", "a\xA9z", false, "a\xEF\xBF\xBDz"},
        Utf8Case{"A9AfterACompleteSequence", "\xC3\xA9\xA9", false, "\xC3\xA9\xEF\xBF\xBD"},
        Utf8Case{"A9DoesNotExcuseOtherBytes", "\xA9\xAA", false, std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace brimlane::sim
