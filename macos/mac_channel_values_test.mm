// Values crossing FlutterMacOS's own standard codec and the seam's conversion,
// both ways: a call as the UI sends it is decoded by the real codec and
// converted to the seam's value, and that value is converted back and encoded
// as the host's reply and as a call of the host's. The bytes are compared
// with the simulated engine's codec, so the two engines are held to one wire
// format.
#include "macos/mac_channel_values.h"

#import <FlutterMacOS/FlutterMacOS.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "macos/mac_conversions.h"
#include "sim/standard_codec.h"

namespace brimlane {
namespace {

using ::testing::UnorderedElementsAreArray;

NSData* toNSData(const Bytes& bytes) {
  return [NSData dataWithBytes:bytes.data() length:bytes.size()];
}

Bytes toBytes(NSData* data) {
  const auto* first = static_cast<const std::uint8_t*>(data.bytes);
  return Bytes(first, first + data.length);
}

FlutterStandardMethodCodec* codec() {
  return [FlutterStandardMethodCodec sharedInstance];
}

// What the host sees of a call the UI makes with `value` as its arguments.
ChannelValue receivedByHost(const ChannelValue& value) {
  FlutterMethodCall* call =
      [codec() decodeMethodCall:toNSData(sim::encodeMethodCall({"echo", value}))];
  EXPECT_TRUE([call.method isEqualToString:@"echo"]);
  return toChannelValue(call.arguments);
}

struct ValueCase {
  std::string name;
  ChannelValue value;
};

std::vector<ValueCase> valueCases() {
  using Int32 = std::numeric_limits<std::int32_t>;
  using Int64 = std::numeric_limits<std::int64_t>;
  return {
      {"null", ChannelValue()},
      {"true", ChannelValue(true)},
      {"false", ChannelValue(false)},
      // Booleans and the integers 0 and 1 are all NSNumbers on the Mac side.
      {"int32 0", ChannelValue(std::int32_t{0})},
      {"int32 1", ChannelValue(std::int32_t{1})},
      {"int32 -1", ChannelValue(std::int32_t{-1})},
      {"int32 min", ChannelValue(Int32::min())},
      {"int32 max", ChannelValue(Int32::max())},
      {"int64 just above int32", ChannelValue(std::int64_t{Int32::max()} + 1)},
      {"int64 just below int32", ChannelValue(std::int64_t{Int32::min()} - 1)},
      {"int64 min", ChannelValue(Int64::min())},
      {"int64 max", ChannelValue(Int64::max())},
      {"double", ChannelValue(3.141592653589793)},
      {"double 0.5", ChannelValue(0.5)},
      {"double huge", ChannelValue(1e300)},
      {"double smallest subnormal", ChannelValue(std::numeric_limits<double>::denorm_min())},
      {"double minus infinity", ChannelValue(-std::numeric_limits<double>::infinity())},
      {"empty string", ChannelValue(std::string())},
      {"ASCII string", ChannelValue("plain text")},
      {"Latin string", ChannelValue("Grüße, déjà vu")},
      {"CJK string", ChannelValue("日本語のテキスト")},
      {"string beyond the basic plane", ChannelValue("emoji 😀 and 𝄞")},
      {"string with a NUL", ChannelValue(std::string("a\0b", 3))},
      // Long enough not to be a tagged pointer, and of only ASCII characters:
      // the storage for which the engine's writer takes strlen's word for the
      // length.
      {"string of 30 bytes with a NUL inside",
       ChannelValue(std::string("selected text\0and what follows", 30))},
      {"string of 24 bytes starting with a NUL",
       ChannelValue(std::string("\0 and then ordinary text", 24))},
      {"string of 26 bytes ending with a NUL",
       ChannelValue(std::string("ordinary text, then a NUL\0", 26))},
      {"string of 64 NULs", ChannelValue(std::string(64, '\0'))},
      {"string beyond ASCII with a NUL inside",
       ChannelValue(std::string("Grüße\0 und noch ein wenig mehr Text", 37))},
      {"string of 300 bytes with NULs",
       ChannelValue(std::string(150, '\0') + std::string(150, 'z'))},
      // Lengths past 253 and 65535 bytes take the codec's longer size forms.
      {"string of 300 bytes", ChannelValue(std::string(300, 'x'))},
      {"string of 70000 bytes", ChannelValue(std::string(70000, 'y'))},
      {"bytes", ChannelValue(std::vector<std::uint8_t>{0, 1, 127, 128, 255})},
      {"no bytes", ChannelValue(std::vector<std::uint8_t>{})},
      {"int32 list", ChannelValue(std::vector<std::int32_t>{Int32::min(), 0, Int32::max()})},
      {"int64 list", ChannelValue(std::vector<std::int64_t>{Int64::min(), -1, Int64::max()})},
      {"float32 list", ChannelValue(std::vector<float>{1.5F, -0.25F, 3.0e38F})},
      {"float64 list", ChannelValue(std::vector<double>{0.1, -2.5, 1e-300})},
      {"empty list", ChannelValue(ChannelList{})},
      {"nested list", ChannelValue(ChannelList{
                          ChannelValue(std::int32_t{1}), ChannelValue("two"),
                          ChannelValue(ChannelList{ChannelValue(3.0), ChannelValue()}),
                          ChannelValue(ChannelMap{{ChannelValue("k"), ChannelValue(true)}}),
                          // Typed data after an odd offset: its alignment padding must agree.
                          ChannelValue(std::vector<double>{1.25}),
                          ChannelValue(std::string("a list's text\0with a NUL inside", 31))})},
      {"empty map", ChannelValue(ChannelMap{})},
      {"map with a string key", ChannelValue(ChannelMap{{ChannelValue("key"), ChannelValue("v")}})},
      {"map with NULs in its key and value",
       ChannelValue(ChannelMap{{ChannelValue(std::string("a key of 24 bytes\0 to it", 24)),
                                ChannelValue(std::string("and a value\0of 23 bytes", 23))}})},
      {"map with an integer key",
       ChannelValue(ChannelMap{
           {ChannelValue(std::int32_t{7}), ChannelValue(ChannelList{ChannelValue(false)})}})},
      {"map inside a map",
       ChannelValue(ChannelMap{{ChannelValue("outer"),
                                ChannelValue(ChannelMap{{ChannelValue("inner"),
                                                         ChannelValue(std::int64_t{1} << 40)}})}})},
  };
}

TEST(MacChannelValues, CrossTheRealCodecUnchanged) {
  for (const ValueCase& c : valueCases()) {
    SCOPED_TRACE(c.name);
    const ChannelValue received = receivedByHost(c.value);
    EXPECT_EQ(received, c.value);

    // The host's reply carrying the value back.
    NSData* reply = [codec() encodeSuccessEnvelope:toObjC(received)];
    EXPECT_EQ(toBytes(reply), sim::encodeSuccessEnvelope(c.value));

    // A call of the host's with the value as its arguments.
    NSData* call = [codec()
        encodeMethodCall:[FlutterMethodCall methodCallWithMethodName:@"echo"
                                                           arguments:toObjCOrNil(received)]];
    EXPECT_EQ(toBytes(call), sim::encodeMethodCall({"echo", c.value}));
  }
}

TEST(MacChannelValues, BooleansAndTheIntegersZeroAndOneStayApart) {
  EXPECT_EQ(receivedByHost(ChannelValue(true)), ChannelValue(true));
  EXPECT_EQ(receivedByHost(ChannelValue(std::int32_t{1})), ChannelValue(std::int32_t{1}));
  EXPECT_EQ(receivedByHost(ChannelValue(false)), ChannelValue(false));
  EXPECT_EQ(receivedByHost(ChannelValue(std::int32_t{0})), ChannelValue(std::int32_t{0}));
}

// NSDictionary keeps no order, so a map of several entries crosses with its
// entries intact but possibly reordered.
TEST(MacChannelValues, MapOfSeveralEntriesKeepsEveryEntry) {
  const ChannelMap entries = {
      {ChannelValue("text"), ChannelValue("Grüße")},
      {ChannelValue(std::int32_t{2}), ChannelValue(ChannelList{ChannelValue(true)})},
      {ChannelValue("bytes"), ChannelValue(std::vector<std::uint8_t>{9, 8, 7})},
  };
  const ChannelValue received = receivedByHost(ChannelValue(entries));
  ASSERT_TRUE(std::holds_alternative<ChannelMap>(received));
  EXPECT_THAT(std::get<ChannelMap>(received), UnorderedElementsAreArray(entries));

  NSData* reply = [codec() encodeSuccessEnvelope:toObjC(received)];
  const sim::Decoded<sim::DecodedReply> decoded = sim::decodeReply(toBytes(reply));
  ASSERT_TRUE(std::holds_alternative<sim::DecodedReply>(decoded));
  const ChannelValue& echoed = std::get<sim::DecodedReply>(decoded).value;
  ASSERT_TRUE(std::holds_alternative<ChannelMap>(echoed));
  EXPECT_THAT(std::get<ChannelMap>(echoed), UnorderedElementsAreArray(entries));
}

// The answer to "getSelection" is a string made by toNSString, outside the
// conversion of values.
TEST(MacChannelValues, AStringAnswerWithANulReachesTheUiWhole) {
  for (const std::string& text :
       {std::string("selected text\0and what follows", 30), std::string(40, '\0'),
        std::string("plain selected text, no NUL")}) {
    SCOPED_TRACE(std::to_string(text.size()) + " bytes");
    NSData* reply = [codec() encodeSuccessEnvelope:toNSString(text)];
    EXPECT_EQ(toBytes(reply), sim::encodeSuccessEnvelope(ChannelValue(text)));
  }
}

TEST(MacChannelValues, ErrorRepliesCarryTheirDetails) {
  NSData* reply =
      [codec() encodeErrorEnvelope:[FlutterError errorWithCode:@"INVALID_ARGUMENT"
                                                       message:@"Text argument required"
                                                       details:toObjCOrNil(ChannelValue())]];
  EXPECT_EQ(toBytes(reply),
            sim::encodeErrorEnvelope("INVALID_ARGUMENT", "Text argument required", ChannelValue()));
}

}  // namespace
}  // namespace brimlane
