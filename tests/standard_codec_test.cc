// The standard method codec on the wire: the exact bytes of every kind of
// value, method calls and reply envelopes, and the refusal of messages that
// are cut short, oversized, too deep or otherwise malformed.
#include "sim/standard_codec.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <limits>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "sim/describe.h"

namespace brimlane {

// Failure messages show values as the simulator prints them. These live in the
// values' own namespaces, where the test framework looks for them.
static void PrintTo(const ChannelValue& value, std::ostream* out) {
  *out << sim::describe(value);
}

namespace sim {

static void PrintTo(const DecodedReply& reply, std::ostream* out) {
  switch (reply.kind) {
    case DecodedReply::Kind::kSuccess:
      *out << "success " << describe(reply.value);
      break;
    case DecodedReply::Kind::kError:
      *out << "error " << quote(reply.code) << " "
           << (reply.message ? quote(*reply.message) : "null") << " " << describe(reply.details)
           << " trace " << (reply.stackTrace ? quote(*reply.stackTrace) : "none");
      break;
    case DecodedReply::Kind::kNotImplemented:
      *out << "not implemented";
      break;
  }
}

namespace {

using ::testing::AssertionFailure;
using ::testing::AssertionResult;
using ::testing::AssertionSuccess;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

// ---------------------------------------------------------------------------
// Writing expected bytes

// Hex pairs; spaces and '|' are only there to group the bytes for the reader.
Bytes wire(std::string_view hex) {
  std::string digits;
  for (char c : hex) {
    if (std::isxdigit(static_cast<unsigned char>(c))) digits += c;
  }
  if (digits.size() % 2 != 0) ADD_FAILURE() << "odd number of hex digits in " << hex;
  Bytes bytes;
  for (std::size_t i = 0; i + 1 < digits.size(); i += 2) {
    bytes.push_back(static_cast<std::uint8_t>(std::stoi(digits.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

Bytes repeated(std::string_view hex, std::size_t times) {
  const Bytes once = wire(hex);
  Bytes bytes;
  for (std::size_t i = 0; i < times; ++i) bytes.insert(bytes.end(), once.begin(), once.end());
  return bytes;
}

Bytes concat(std::initializer_list<Bytes> parts) {
  Bytes bytes;
  for (const Bytes& part : parts) bytes.insert(bytes.end(), part.begin(), part.end());
  return bytes;
}

ChannelValue i32(std::int32_t value) {
  return value;
}
ChannelValue i64(std::int64_t value) {
  return value;
}
ChannelValue list(std::initializer_list<ChannelValue> values) {
  return ChannelList(values);
}
ChannelValue map(std::initializer_list<std::pair<ChannelValue, ChannelValue>> entries) {
  return ChannelMap(entries);
}

// ---------------------------------------------------------------------------
// Checking

std::string shortDescription(const ChannelValue& value) {
  std::string text = describe(value);
  if (text.size() > 120) text = text.substr(0, 120) + "...";
  return text;
}

// Where two byte strings part, with a few bytes of context, so that long
// messages still give a readable failure.
std::string firstDifference(const Bytes& actual, const Bytes& expected) {
  const auto differ = std::mismatch(actual.begin(), actual.end(), expected.begin(), expected.end());
  const std::size_t at = static_cast<std::size_t>(differ.first - actual.begin());
  const std::size_t from = at < 8 ? 0 : at - 8;
  auto window = [from](const Bytes& bytes) {
    const std::size_t begin = std::min(from, bytes.size());
    const std::size_t end = std::min(from + 24, bytes.size());
    return toHex(std::span(bytes).subspan(begin, end - begin));
  };
  return "differs at offset " + std::to_string(at) + " (" + std::to_string(actual.size()) +
         " bytes, expected " + std::to_string(expected.size()) + ")\n  actual   from " +
         std::to_string(from) + ": " + window(actual) + "\n  expected from " +
         std::to_string(from) + ": " + window(expected);
}

template <class T>
std::string failureOf(const Decoded<T>& decoded) {
  const auto* error = std::get_if<CodecError>(&decoded);
  return error ? "error at offset " + std::to_string(error->offset) + ": " + error->message
               : "no error";
}

// The value encodes to exactly these bytes, and the bytes decode back to it.
AssertionResult encodesTo(const ChannelValue& value, const Bytes& expected) {
  const Bytes actual = encodeValue(value);
  if (actual != expected) {
    return AssertionFailure() << shortDescription(value) << " "
                              << firstDifference(actual, expected);
  }
  const Decoded<ChannelValue> decoded = decodeValue(actual);
  const auto* back = std::get_if<ChannelValue>(&decoded);
  if (!back) return AssertionFailure() << shortDescription(value) << ": " << failureOf(decoded);
  if (*back != value) {
    return AssertionFailure() << shortDescription(value) << " came back as "
                              << shortDescription(*back);
  }
  return AssertionSuccess();
}

AssertionResult callEncodesTo(const MethodCall& call, const Bytes& expected) {
  const Bytes actual = encodeMethodCall(call);
  if (actual != expected)
    return AssertionFailure() << call.method << " " << firstDifference(actual, expected);
  const Decoded<MethodCall> decoded = decodeMethodCall(actual);
  const auto* back = std::get_if<MethodCall>(&decoded);
  if (!back) return AssertionFailure() << call.method << ": " << failureOf(decoded);
  if (back->method != call.method || back->arguments != call.arguments) {
    return AssertionFailure() << "came back as " << back->method << " "
                              << shortDescription(back->arguments);
  }
  return AssertionSuccess();
}

template <class T>
T decodedOrDefault(const Decoded<T>& decoded) {
  if (std::holds_alternative<CodecError>(decoded)) {
    ADD_FAILURE() << failureOf(decoded);
    return T{};
  }
  return std::get<T>(decoded);
}

DecodedReply success(ChannelValue value) {
  DecodedReply reply;
  reply.kind = DecodedReply::Kind::kSuccess;
  reply.value = std::move(value);
  return reply;
}

DecodedReply error(std::string code, std::optional<std::string> message, ChannelValue details,
                   std::optional<std::string> stackTrace = std::nullopt) {
  DecodedReply reply;
  reply.kind = DecodedReply::Kind::kError;
  reply.code = std::move(code);
  reply.message = std::move(message);
  reply.details = std::move(details);
  reply.stackTrace = std::move(stackTrace);
  return reply;
}

// ---------------------------------------------------------------------------
// One value of each kind

TEST(StandardCodecValueTest, NullAndBooleansAreTheirTypeByteAlone) {
  EXPECT_TRUE(encodesTo(ChannelValue(), wire("00")));
  EXPECT_TRUE(encodesTo(true, wire("01")));
  EXPECT_TRUE(encodesTo(false, wire("02")));
}

TEST(StandardCodecValueTest, Int32IsFourBytesLittleEndian) {
  EXPECT_TRUE(encodesTo(i32(0x01020304), wire("03 04 03 02 01")));
  EXPECT_TRUE(encodesTo(i32(-1), wire("03 FF FF FF FF")));
  EXPECT_TRUE(encodesTo(i32(std::numeric_limits<std::int32_t>::min()), wire("03 00 00 00 80")));
  EXPECT_TRUE(encodesTo(i32(std::numeric_limits<std::int32_t>::max()), wire("03 FF FF FF 7F")));
}

TEST(StandardCodecValueTest, Int64IsEightBytesLittleEndian) {
  EXPECT_TRUE(encodesTo(i64(0x0102030405060708), wire("04 08 07 06 05 04 03 02 01")));
  EXPECT_TRUE(encodesTo(i64(-2), wire("04 FE FF FF FF FF FF FF FF")));
  EXPECT_TRUE(
      encodesTo(i64(std::numeric_limits<std::int64_t>::min()), wire("04 00 00 00 00 00 00 00 80")));
}

TEST(StandardCodecValueTest, Int32AndInt64OfTheSameNumberStayDistinct) {
  EXPECT_TRUE(encodesTo(i32(7), wire("03 07 00 00 00")));
  EXPECT_TRUE(encodesTo(i64(7), wire("04 07 00 00 00 00 00 00 00")));

  const auto narrow = decodedOrDefault(decodeValue(wire("03 07 00 00 00")));
  const auto wide = decodedOrDefault(decodeValue(wire("04 07 00 00 00 00 00 00 00")));
  EXPECT_TRUE(std::holds_alternative<std::int32_t>(narrow));
  EXPECT_TRUE(std::holds_alternative<std::int64_t>(wide));
}

TEST(StandardCodecValueTest, Float64IsAlignedToEightFromTheStartOfTheMessage) {
  EXPECT_TRUE(encodesTo(1.5, wire("06 00 00 00 00 00 00 00 | 00 00 00 00 00 00 F8 3F")));
  EXPECT_TRUE(encodesTo(-0.0, wire("06 00 00 00 00 00 00 00 | 00 00 00 00 00 00 00 80")));
  EXPECT_TRUE(encodesTo(std::numeric_limits<double>::infinity(),
                        wire("06 00 00 00 00 00 00 00 | 00 00 00 00 00 00 F0 7F")));
}

TEST(StandardCodecValueTest, StringIsItsUtf8BytesAfterTheirCount) {
  EXPECT_TRUE(encodesTo(ChannelValue("abc"), wire("07 03 61 62 63")));
  EXPECT_TRUE(encodesTo(ChannelValue("h\u00e9llo"), wire("07 06 68 C3 A9 6C 6C 6F")));
  EXPECT_TRUE(encodesTo(ChannelValue(""), wire("07 00")));
}

TEST(StandardCodecValueTest, BytesThatAreNotUtf8AreCarriedAsTheyAre) {
  EXPECT_TRUE(encodesTo(ChannelValue("\xFF\xFE"), wire("07 02 FF FE")));
}

TEST(StandardCodecValueTest, LargeIntegerIsReadAsItsDigitsAndWrittenBackAsAString) {
  const auto decimal = decodedOrDefault(decodeValue(wire("05 05 31 32 33 34 35")));
  EXPECT_EQ(decimal, ChannelValue("12345"));
  const auto hex = decodedOrDefault(decodeValue(wire("05 04 30 78 31 46")));
  EXPECT_EQ(hex, ChannelValue("0x1F"));

  EXPECT_EQ(toHex(encodeValue(decimal)), "07 05 31 32 33 34 35");
}

TEST(StandardCodecValueTest, Uint8ListIsItsBytesAfterTheirCount) {
  EXPECT_TRUE(
      encodesTo(std::vector<std::uint8_t>{0x00, 0x7F, 0x80, 0xFF}, wire("08 04 00 7F 80 FF")));
  EXPECT_TRUE(encodesTo(std::vector<std::uint8_t>{}, wire("08 00")));
}

TEST(StandardCodecValueTest, Int32ListElementsStartOnAMultipleOfFour) {
  EXPECT_TRUE(
      encodesTo(std::vector<std::int32_t>{1, -2}, wire("09 02 00 00 | 01 00 00 00 | FE FF FF FF")));
  EXPECT_TRUE(encodesTo(std::vector<std::int32_t>{}, wire("09 00 00 00")));
}

TEST(StandardCodecValueTest, Int64ListElementsStartOnAMultipleOfEight) {
  EXPECT_TRUE(encodesTo(std::vector<std::int64_t>{1, -1},
                        wire("0A 02 00 00 00 00 00 00 | 01 00 00 00 00 00 00 00 | "
                             "FF FF FF FF FF FF FF FF")));
  EXPECT_TRUE(encodesTo(std::vector<std::int64_t>{}, wire("0A 00 00 00 00 00 00 00")));
}

TEST(StandardCodecValueTest, Float64ListElementsStartOnAMultipleOfEight) {
  EXPECT_TRUE(encodesTo(std::vector<double>{1.5, -2.0},
                        wire("0B 02 00 00 00 00 00 00 | 00 00 00 00 00 00 F8 3F | "
                             "00 00 00 00 00 00 00 C0")));
}

TEST(StandardCodecValueTest, Float32ListElementsStartOnAMultipleOfFour) {
  EXPECT_TRUE(
      encodesTo(std::vector<float>{1.5f, -0.5f}, wire("0E 02 00 00 | 00 00 C0 3F | 00 00 00 BF")));
  EXPECT_TRUE(encodesTo(std::vector<float>{}, wire("0E 00 00 00")));
}

TEST(StandardCodecValueTest, ListIsItsCountThenEachValue) {
  EXPECT_TRUE(encodesTo(list({ChannelValue(), true, i32(5), ChannelValue("x")}),
                        wire("0C 04 | 00 | 01 | 03 05 00 00 00 | 07 01 78")));
  EXPECT_TRUE(encodesTo(ChannelList{}, wire("0C 00")));
}

TEST(StandardCodecValueTest, MapKeepsItsEntriesInWireOrderWithRepeatedKeys) {
  const ChannelValue repeated =
      map({{ChannelValue("b"), i32(1)}, {ChannelValue("a"), i32(2)}, {ChannelValue("b"), i32(3)}});
  EXPECT_TRUE(encodesTo(repeated, wire("0D 03 | 07 01 62 03 01 00 00 00 | "
                                       "07 01 61 03 02 00 00 00 | 07 01 62 03 03 00 00 00")));

  const auto decoded = decodedOrDefault(decodeValue(encodeValue(repeated)));
  const auto* entries = std::get_if<ChannelMap>(&decoded);
  ASSERT_NE(entries, nullptr);
  ASSERT_EQ(entries->size(), 3u);
  EXPECT_EQ((*entries)[0].first, ChannelValue("b"));
  EXPECT_EQ((*entries)[1].first, ChannelValue("a"));
  EXPECT_EQ((*entries)[2].first, ChannelValue("b"));
  EXPECT_EQ((*entries)[2].second, i32(3));
}

TEST(StandardCodecValueTest, MapKeysNeedNotBeStrings) {
  EXPECT_TRUE(encodesTo(map({{i32(1), ChannelValue()}, {ChannelValue(), ChannelList{}}}),
                        wire("0D 02 | 03 01 00 00 00 00 | 00 0C 00")));
  EXPECT_TRUE(encodesTo(ChannelMap{}, wire("0D 00")));
}

TEST(StandardCodecValueTest, ListsAndMapsNest) {
  const ChannelValue nested =
      map({{ChannelValue("items"), list({list({i32(1)}), map({{ChannelValue("k"), list({})}})})}});
  EXPECT_TRUE(
      encodesTo(nested, wire("0D 01 | 07 05 69 74 65 6D 73 | 0C 02 | 0C 01 03 01 00 00 00 | "
                             "0D 01 07 01 6B 0C 00")));
}

TEST(StandardCodecValueTest, HexShowsEachByteAsTwoUpperCaseDigits) {
  EXPECT_EQ(toHex(wire("0a 1b 00 ff")), "0A 1B 00 FF");
  EXPECT_EQ(toHex({}), "");
}

// ---------------------------------------------------------------------------
// Sizes and counts: one byte below 254, then 254 + uint16, then 255 + uint32

TEST(StandardCodecSizeTest, StringOf253BytesHasAOneByteSize) {
  EXPECT_TRUE(encodesTo(std::string(253, 'a'), concat({wire("07 FD"), repeated("61", 253)})));
}

TEST(StandardCodecSizeTest, StringOf254BytesHasASixteenBitSize) {
  EXPECT_TRUE(encodesTo(std::string(254, 'a'), concat({wire("07 FE FE 00"), repeated("61", 254)})));
}

TEST(StandardCodecSizeTest, StringOf0xFFFFBytesStillHasASixteenBitSize) {
  EXPECT_TRUE(
      encodesTo(std::string(0xFFFF, 'a'), concat({wire("07 FE FF FF"), repeated("61", 0xFFFF)})));
}

TEST(StandardCodecSizeTest, StringOf0x10000BytesHasAThirtyTwoBitSize) {
  EXPECT_TRUE(encodesTo(std::string(0x10000, 'a'),
                        concat({wire("07 FF 00 00 01 00"), repeated("61", 0x10000)})));
}

TEST(StandardCodecSizeTest, Uint8ListSizesFollowTheSameSteps) {
  EXPECT_TRUE(encodesTo(std::vector<std::uint8_t>(253, 0x11),
                        concat({wire("08 FD"), repeated("11", 253)})));
  EXPECT_TRUE(encodesTo(std::vector<std::uint8_t>(254, 0x11),
                        concat({wire("08 FE FE 00"), repeated("11", 254)})));
  EXPECT_TRUE(encodesTo(std::vector<std::uint8_t>(0x10000, 0x11),
                        concat({wire("08 FF 00 00 01 00"), repeated("11", 0x10000)})));
}

TEST(StandardCodecSizeTest, ListAndMapCountsFollowTheSameSteps) {
  EXPECT_TRUE(encodesTo(ChannelList(254), concat({wire("0C FE FE 00"), repeated("00", 254)})));
  EXPECT_TRUE(encodesTo(ChannelMap(0x10000),
                        concat({wire("0D FF 00 00 01 00"), repeated("00 00", 0x10000)})));
}

TEST(StandardCodecSizeTest, LongTypedListPutsItsPaddingAfterTheLongSize) {
  // Type byte and a three-byte size end on a multiple of four: no padding.
  EXPECT_TRUE(encodesTo(std::vector<std::int32_t>(300, 1),
                        concat({wire("09 FE 2C 01"), repeated("01 00 00 00", 300)})));
  // Type byte and a five-byte size end at six: two bytes of padding.
  EXPECT_TRUE(encodesTo(
      std::vector<std::int64_t>(0x10000, 1),
      concat({wire("0A FF 00 00 01 00 | 00 00"), repeated("01 00 00 00 00 00 00 00", 0x10000)})));
}

// ---------------------------------------------------------------------------
// Alignment counts from the first byte of the whole message

TEST(StandardCodecAlignmentTest, Float64InAListPadsAfterAnOddLengthString) {
  EXPECT_TRUE(encodesTo(list({ChannelValue("ab"), 1.5}),
                        wire("0C 02 07 02 61 62 06 00 | 00 00 00 00 00 00 F8 3F")));
  // One more character and the float already starts on a multiple of eight.
  EXPECT_TRUE(encodesTo(list({ChannelValue("abc"), 1.5}),
                        wire("0C 02 07 03 61 62 63 06 | 00 00 00 00 00 00 F8 3F")));
}

TEST(StandardCodecAlignmentTest, TypedListsInAListPadToTheirElementSize) {
  const ChannelValue value =
      list({ChannelValue("a"), std::vector<std::int32_t>{5}, std::vector<std::int64_t>{6},
            std::vector<float>{1.5f}, std::vector<double>{2.0}});
  EXPECT_TRUE(encodesTo(value, wire("0C 05 07 01 61 | 09 01 00 | 05 00 00 00 | "
                                    "0A 01 00 00 | 06 00 00 00 00 00 00 00 | "
                                    "0E 01 00 00 | 00 00 C0 3F | "
                                    "0B 01 00 00 00 00 00 00 | 00 00 00 00 00 00 00 40")));
}

TEST(StandardCodecAlignmentTest, MethodCallArgumentsAlignFromTheStartOfTheCall) {
  EXPECT_TRUE(
      callEncodesTo({"ab", 1.5}, wire("07 02 61 62 06 00 00 00 | 00 00 00 00 00 00 F8 3F")));
  EXPECT_TRUE(callEncodesTo({"abc", std::vector<std::int64_t>{1}},
                            wire("07 03 61 62 63 0A 01 00 | 01 00 00 00 00 00 00 00")));
}

TEST(StandardCodecAlignmentTest, EnvelopeValuesAlignFromTheEnvelopesFirstByte) {
  EXPECT_EQ(toHex(encodeSuccessEnvelope(1.5)),
            toHex(wire("00 06 00 00 00 00 00 00 | 00 00 00 00 00 00 F8 3F")));
  EXPECT_EQ(decodedOrDefault(decodeReply(encodeSuccessEnvelope(1.5))), success(1.5));

  const Bytes withDetails = encodeErrorEnvelope("E", std::nullopt, 1.5);
  EXPECT_EQ(toHex(withDetails), toHex(wire("01 07 01 45 00 06 00 00 | 00 00 00 00 00 00 F8 3F")));
  EXPECT_EQ(decodedOrDefault(decodeReply(withDetails)), error("E", std::nullopt, 1.5));
}

TEST(StandardCodecAlignmentTest, PaddingIsSkippedWhateverItHolds) {
  EXPECT_EQ(
      decodedOrDefault(decodeValue(wire("06 AA AA AA AA AA AA AA | 00 00 00 00 00 00 F8 3F"))),
      ChannelValue(1.5));
}

// ---------------------------------------------------------------------------
// Method calls

TEST(StandardCodecMethodCallTest, IsTheNameAsAStringThenTheArguments) {
  EXPECT_TRUE(callEncodesTo({"show", ChannelValue()}, wire("07 04 73 68 6F 77 00")));
  EXPECT_TRUE(callEncodesTo({"", ChannelValue()}, wire("07 00 00")));
}

TEST(StandardCodecMethodCallTest, CarriesAMapOfArguments) {
  const MethodCall call{
      "paste", map({{ChannelValue("text"), ChannelValue("hi")}, {ChannelValue("delay"), i32(5)}})};
  EXPECT_TRUE(callEncodesTo(call, wire("07 05 70 61 73 74 65 | 0D 02 | 07 04 74 65 78 74 | "
                                       "07 02 68 69 | 07 05 64 65 6C 61 79 | 03 05 00 00 00")));
}

// ---------------------------------------------------------------------------
// What the host is handed: strings as the Mac engine reads them

struct HostReadingCase {
  const char* name;
  const char* arguments;  // hex, after the method name "m"
  ChannelValue expected;
  std::size_t readAsNull;
};

std::vector<HostReadingCase> hostReadingCases() {
  const ChannelValue null;
  const ChannelValue a("A");
  return {
      {"utf-8 as it came", "07 02 C3 A9", ChannelValue("\u00e9"), 0},
      {"not utf-8, alone", "07 02 C3 28", null, 1},
      {"not utf-8, in a list", "0C 02 | 07 02 C3 28 | 07 01 41", list({null, a}), 1},
      {"not utf-8, as a map key", "0D 01 | 07 01 FF | 07 01 41", map({{null, a}}), 1},
      {"not utf-8, as a map value", "0D 01 | 07 01 41 | 07 01 FF", map({{a, null}}), 1},
      {"not utf-8, deep inside", "0C 01 | 0D 01 | 07 01 41 | 0C 02 | 07 01 80 | 07 01 41",
       list({map({{a, list({null, a})}})}), 1},
      {"not utf-8, everywhere", "0C 02 | 07 01 FF | 0D 01 | 07 01 FE | 07 01 ED",
       list({null, map({{null, null}})}), 3},
      {"a large integer's digits", "05 01 FF", null, 1},
      {"byte order mark dropped", "07 04 EF BB BF 41", a, 0},
      {"lone A9 as U+FFFD", "07 03 41 A9 41", ChannelValue("A\uFFFDA"), 0},
      {"bytes are no string", "08 02 C3 28", std::vector<std::uint8_t>{0xC3, 0x28}, 0},
  };
}

TEST(StandardCodecHostTest, StringThatIsNotUtf8ArrivesAsNullNotAsItsBytes) {
  for (const HostReadingCase& c : hostReadingCases()) {
    SCOPED_TRACE(c.name);
    const Bytes message = concat({wire("07 01 6D"), wire(c.arguments)});
    const HostCall host = decodedOrDefault(decodeMethodCallForHost(message));
    EXPECT_EQ(host.call.method, "m");
    EXPECT_EQ(host.call.arguments, c.expected);
    EXPECT_EQ(host.stringsReadAsNull, c.readAsNull);
  }
}

TEST(StandardCodecHostTest, MethodNameIsReadLikeAnyString) {
  EXPECT_EQ(decodedOrDefault(decodeMethodCallForHost(wire("07 04 EF BB BF 6D | 00"))).call.method,
            "m");
  const auto notUtf8 = decodeMethodCallForHost(wire("07 01 FF | 00"));
  ASSERT_TRUE(std::holds_alternative<CodecError>(notUtf8));
  EXPECT_EQ(std::get<CodecError>(notUtf8), (CodecError{"the method name is not UTF-8", 0}));

  // What is wrong with the bytes themselves is said as the plain decoder says it.
  const Bytes cutShort = wire("07 05 41");
  EXPECT_EQ(failureOf(decodeMethodCallForHost(cutShort)), failureOf(decodeMethodCall(cutShort)));
}

// ---------------------------------------------------------------------------
// Reply envelopes

TEST(StandardCodecReplyTest, HandlerAnswersGoInASuccessEnvelope) {
  EXPECT_EQ(toHex(encodeReply(std::monostate{})), "00 00");
  EXPECT_EQ(toHex(encodeReply(true)), "00 01");
  EXPECT_EQ(toHex(encodeReply(false)), "00 02");
  EXPECT_EQ(toHex(encodeReply(std::string("ok"))), "00 07 02 6F 6B");

  EXPECT_EQ(decodedOrDefault(decodeReply(wire("00 00"))), success(ChannelValue()));
  EXPECT_EQ(decodedOrDefault(decodeReply(wire("00 01"))), success(true));
  EXPECT_EQ(decodedOrDefault(decodeReply(wire("00 07 02 6F 6B"))), success(ChannelValue("ok")));
}

TEST(StandardCodecReplyTest, SuccessEnvelopeCarriesAnyValue) {
  const Bytes bytes = encodeSuccessEnvelope(list({i32(1)}));
  EXPECT_EQ(toHex(bytes), "00 0C 01 03 01 00 00 00");
  EXPECT_EQ(decodedOrDefault(decodeReply(bytes)), success(list({i32(1)})));
}

TEST(StandardCodecReplyTest, ErrorWithNullMessageAndNullDetails) {
  const Bytes bytes = encodeReply(ChannelError{"E", std::nullopt, ChannelValue()});
  EXPECT_EQ(toHex(bytes), "01 07 01 45 00 00");
  EXPECT_EQ(decodedOrDefault(decodeReply(bytes)), error("E", std::nullopt, ChannelValue()));
}

TEST(StandardCodecReplyTest, ErrorWithMessageAndDetails) {
  const Bytes bytes =
      encodeReply(ChannelError{"BUSY", "try later", map({{ChannelValue("retry"), i32(2)}})});
  EXPECT_EQ(toHex(bytes), toHex(wire("01 | 07 04 42 55 53 59 | 07 09 74 72 79 20 6C 61 74 65 72 | "
                                     "0D 01 07 05 72 65 74 72 79 03 02 00 00 00")));
  EXPECT_EQ(decodedOrDefault(decodeReply(bytes)),
            error("BUSY", "try later", map({{ChannelValue("retry"), i32(2)}})));
}

TEST(StandardCodecReplyTest, ErrorWithStackTrace) {
  const Bytes bytes = encodeErrorEnvelope("E", "m", ChannelValue(), "at x");
  EXPECT_EQ(toHex(bytes), "01 07 01 45 07 01 6D 00 07 04 61 74 20 78");
  EXPECT_EQ(decodedOrDefault(decodeReply(bytes)), error("E", "m", ChannelValue(), "at x"));
}

TEST(StandardCodecReplyTest, NullStackTraceReadsAsNone) {
  EXPECT_EQ(decodedOrDefault(decodeReply(wire("01 07 01 45 00 00 00"))),
            error("E", std::nullopt, ChannelValue()));
}

TEST(StandardCodecReplyTest, NotImplementedIsAnEmptyReply) {
  EXPECT_THAT(encodeReply(NotImplemented{}), IsEmpty());
  EXPECT_EQ(decodedOrDefault(decodeReply({})).kind, DecodedReply::Kind::kNotImplemented);
}

// ---------------------------------------------------------------------------
// Malformed input

enum class MessageKind { kValue, kMethodCall, kReply };

std::optional<CodecError> decodeError(MessageKind kind, std::span<const std::uint8_t> bytes) {
  auto errorIn = [](const auto& decoded) -> std::optional<CodecError> {
    if (const auto* e = std::get_if<CodecError>(&decoded)) return *e;
    return std::nullopt;
  };
  switch (kind) {
    case MessageKind::kValue:
      return errorIn(decodeValue(bytes));
    case MessageKind::kMethodCall:
      return errorIn(decodeMethodCall(bytes));
    case MessageKind::kReply:
      return errorIn(decodeReply(bytes));
  }
  return std::nullopt;
}

struct MalformedCase {
  std::string name;
  MessageKind kind;
  Bytes bytes;
  std::size_t offset;    // where the error points
  std::string mentions;  // part of the error's message
};

std::vector<MalformedCase> malformedCases() {
  using enum MessageKind;
  return {
      {"empty value", kValue, {}, 0, "type byte"},
      {"unknown type byte", kValue, wire("0F"), 0, "unknown type byte 0F"},
      {"unknown type byte inside a list", kValue, wire("0C 02 00 FF"), 3, "unknown type byte FF"},
      {"int32 cut short", kValue, wire("03 01 02"), 1, "int32"},
      {"int64 cut short", kValue, wire("04 01 02 03 04 05 06 07"), 1, "int64"},
      {"float64 padding cut short", kValue, wire("06 00 00"), 1, "padding"},
      {"float64 cut short after its padding", kValue, wire("06 00 00 00 00 00 00 00 | 00 00"), 8,
       "float64"},
      {"size missing", kValue, wire("07"), 1, "size"},
      {"16-bit size cut short", kValue, wire("07 FE 01"), 2, "16-bit size"},
      {"32-bit size cut short", kValue, wire("08 FF 01 00"), 2, "32-bit size"},
      {"string size past the end", kValue, wire("07 05 61 62"), 1, "past the end"},
      {"uint8 list size past the end", kValue, wire("08 FF 00 00 00 01 | 00"), 1, "past the end"},
      {"huge list count with few bytes", kValue, wire("0C FF FF FF FF FF 00 00"), 1,
       "list of 4294967295"},
      {"huge map count with few bytes", kValue, wire("0D FE FF FF 00 00 00"), 1, "map"},
      {"map entries one byte short", kValue, wire("0D 02 00 00 00"), 1, "map"},
      {"inner count leaves no bytes for the outer list", kValue,
       wire("0C 02 | 0C 05 00 00 00 00 00"), 3, "list of 5"},
      {"list value missing", kValue, wire("0C 01"), 1, "list of 1"},
      {"huge int64 list count", kValue, wire("0A FF 00 00 00 10 00 00 | 01 02 03"), 1,
       "int64 list"},
      {"int32 list elements cut short", kValue, wire("09 02 00 00 | 01 00 00 00"), 1, "int32 list"},
      {"float32 list padding missing", kValue, wire("0E 01"), 2, "padding"},
      {"trailing byte after a value", kValue, wire("00 00"), 1, "left over"},
      {"trailing bytes after a list", kValue, wire("0C 01 01 | 02 02"), 3, "2 bytes left over"},
      {"lists nested too deep", kValue, concat({repeated("0C 01", 65), wire("00")}), 128, "nested"},
      {"maps nested too deep as values", kValue, concat({repeated("0D 01 00", 65), wire("00")}),
       192, "nested"},
      {"maps nested too deep as keys", kValue,
       concat({repeated("0D 01", 65), wire("00 00"), repeated("00", 64)}), 128, "nested"},

      {"empty method call", kMethodCall, {}, 0, "method name"},
      {"method name an int32", kMethodCall, wire("03 01 00 00 00 | 00"), 0, "method name"},
      {"method name null", kMethodCall, wire("00 00"), 0, "method name"},
      {"method name a large integer", kMethodCall, wire("05 01 31 | 00"), 0, "method name"},
      {"method name cut short", kMethodCall, wire("07 04 73 68"), 1, "past the end"},
      {"arguments missing", kMethodCall, wire("07 01 61"), 3, "type byte"},
      {"trailing bytes after a method call", kMethodCall, wire("07 01 61 00 | 00"), 4, "left over"},
      {"arguments nested too deep", kMethodCall,
       concat({wire("07 01 61"), repeated("0C 01", 65), wire("00")}), 131, "nested"},

      {"unknown envelope byte", kReply, wire("02 00"), 0, "envelope"},
      {"success envelope without its value", kReply, wire("00"), 1, "type byte"},
      {"trailing byte after a success envelope", kReply, wire("00 00 | 00"), 2, "left over"},
      {"error code null", kReply, wire("01 00 00 00"), 1, "error code"},
      {"error code an int32", kReply, wire("01 03 01 00 00 00 | 00 00"), 1, "error code"},
      {"error message an int32", kReply, wire("01 07 01 45 | 03 01 00 00 00 | 00"), 4,
       "error message"},
      {"error message a boolean", kReply, wire("01 07 01 45 | 01 | 00"), 4, "error message"},
      {"error details missing", kReply, wire("01 07 01 45 00"), 5, "type byte"},
      {"stack trace a boolean", kReply, wire("01 07 01 45 00 00 | 01"), 6, "stack trace"},
      {"trailing byte after a stack trace", kReply, wire("01 07 01 45 00 00 00 | 00"), 7,
       "left over"},
      {"error details nested too deep", kReply,
       concat({wire("01 07 01 45 00"), repeated("0C 01", 65), wire("00")}), 133, "nested"},
  };
}

TEST(StandardCodecMalformedTest, EachIsRefusedWithWhereAndWhy) {
  for (const MalformedCase& c : malformedCases()) {
    SCOPED_TRACE(c.name + ": " +
                 toHex(std::span(c.bytes).first(std::min<std::size_t>(c.bytes.size(), 16))));
    const std::optional<CodecError> error = decodeError(c.kind, c.bytes);
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->offset, c.offset) << error->message;
    EXPECT_THAT(error->message, HasSubstr(c.mentions));
  }
}

TEST(StandardCodecMalformedTest, NestingUpToTheLimitIsAccepted) {
  EXPECT_EQ(kMaxNestingDepth, 64u);
  const auto decoded = decodeValue(concat({repeated("0C 01", kMaxNestingDepth), wire("00")}));
  EXPECT_TRUE(std::holds_alternative<ChannelValue>(decoded)) << failureOf(decoded);
}

TEST(StandardCodecMalformedTest, VeryDeepNestingIsRefusedAtTheLimit) {
  const Bytes deep = concat({repeated("0C 01", 100000), wire("00")});
  const std::optional<CodecError> error = decodeError(MessageKind::kValue, deep);
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->offset, 2 * kMaxNestingDepth);
}

// Every proper prefix of a well-formed message is refused, and the error
// points inside the bytes that were given.
void expectEveryTruncationRefused(MessageKind kind, const Bytes& complete,
                                  std::size_t shortest = 0) {
  ASSERT_FALSE(decodeError(kind, complete).has_value()) << toHex(complete);
  for (std::size_t length = shortest; length < complete.size(); ++length) {
    const auto prefix = std::span(complete).first(length);
    const std::optional<CodecError> error = decodeError(kind, prefix);
    ASSERT_TRUE(error.has_value()) << "accepted the first " << length << " bytes";
    EXPECT_LE(error->offset, length) << error->message;
  }
}

TEST(StandardCodecMalformedTest, EveryTruncationOfAValueIsRefused) {
  const ChannelValue value =
      map({{ChannelValue("items"), list({ChannelValue("ab"), 1.5, i64(-3), true, ChannelValue(),
                                         std::vector<std::uint8_t>{1, 2},
                                         std::vector<std::int32_t>{4}, std::vector<std::int64_t>{5},
                                         std::vector<double>{0.25}, std::vector<float>{2.5f}})},
           {i32(9), map({{ChannelValue("k"), std::string(300, 'v')}})}});
  expectEveryTruncationRefused(MessageKind::kValue, encodeValue(value));
}

TEST(StandardCodecMalformedTest, EveryTruncationOfAMethodCallIsRefused) {
  expectEveryTruncationRefused(
      MessageKind::kMethodCall,
      encodeMethodCall({"capture", map({{ChannelValue("text"), ChannelValue("hello")},
                                        {ChannelValue("when"), 2.0}})}));
}

TEST(StandardCodecMalformedTest, EveryTruncationOfAReplyIsRefused) {
  // The empty reply is the complete "not implemented", so prefixes start at one byte.
  expectEveryTruncationRefused(MessageKind::kReply, encodeSuccessEnvelope(list({1.5, i32(2)})), 1);
  expectEveryTruncationRefused(
      MessageKind::kReply, encodeErrorEnvelope("E", "why", map({{ChannelValue("n"), i64(1)}})), 1);
}

// ---------------------------------------------------------------------------
// Large messages

TEST(StandardCodecLargeMessageTest, SixteenMebibyteStringRoundTrips) {
  const std::string text(16u << 20, 'z');
  const Bytes bytes = encodeValue(ChannelValue(text));
  ASSERT_EQ(bytes.size(), 6 + text.size());
  EXPECT_EQ(toHex(std::span(bytes).first(6)), "07 FF 00 00 00 01");
  EXPECT_EQ(decodedOrDefault(decodeValue(bytes)), ChannelValue(text));
}

TEST(StandardCodecLargeMessageTest, OneMebibyteByteListInAMethodCallRoundTrips) {
  std::vector<std::uint8_t> data(1u << 20);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 7);
  const Bytes bytes = encodeMethodCall({"upload", data});
  EXPECT_EQ(toHex(std::span(bytes).first(14)), "07 06 75 70 6C 6F 61 64 08 FF 00 00 10 00");
  const MethodCall call = decodedOrDefault(decodeMethodCall(bytes));
  EXPECT_EQ(call.method, "upload");
  EXPECT_EQ(call.arguments, ChannelValue(data));
}

}  // namespace
}  // namespace sim
}  // namespace brimlane
