// The UI engine's standard method codec, as the simulated engine speaks it:
// channel values, method calls and reply envelopes to and from wire bytes.
//
// Bytes arriving here come from the other side of a channel, so decoding
// checks every length, count and type byte against what is actually there and
// reports the first problem with its offset instead of trusting the sender.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "app/engine/channel_value.h"
#include "app/engine/method_channel.h"
#include "app/platform/types.h"

namespace brimlane::sim {

// How many lists and maps may enclose one another in a decoded message. The
// decoder recurses once per level, so this bounds its stack use whatever the
// sender claims.
inline constexpr std::size_t kMaxNestingDepth = 64;

// Why a message could not be decoded, and the offset (from the first byte of
// the message) of the byte or field at fault.
struct CodecError {
  std::string message;
  std::size_t offset = 0;
  friend bool operator==(const CodecError&, const CodecError&) = default;
};

template <class T>
using Decoded = std::variant<T, CodecError>;

// A reply as the calling side reads it back.
struct DecodedReply {
  enum class Kind { kSuccess, kError, kNotImplemented };
  Kind kind = Kind::kNotImplemented;
  ChannelValue value;  // kSuccess
  // kError:
  std::string code;
  std::optional<std::string> message;
  ChannelValue details;
  std::optional<std::string> stackTrace;  // absent and null both read as none
  friend bool operator==(const DecodedReply&, const DecodedReply&) = default;
};

// Encoding writes each message into one buffer reserved at its final size.
// Sizes above 0xFFFFFFFF cannot be written and throw std::length_error. The
// host builds its own values, so encoding does not enforce kMaxNestingDepth; a
// value nested deeper than that encodes, but will not decode.

// A message holding one value.
Bytes encodeValue(const ChannelValue& value);
// The method name as a string value, then the arguments value.
Bytes encodeMethodCall(const MethodCall& call);
// A handler's answer as the UI reads it: null, a boolean or a string in a
// success envelope, an error in an error envelope without a stack trace, and
// "not implemented" as an empty reply.
Bytes encodeReply(const ChannelResult& result);
// Byte 0, then the value.
Bytes encodeSuccessEnvelope(const ChannelValue& value);
// Byte 1, then code, message (or null) and details; the stack trace is written
// only when given.
Bytes encodeErrorEnvelope(std::string_view code, const std::optional<std::string>& message,
                          const ChannelValue& details,
                          const std::optional<std::string>& stackTrace = std::nullopt);

// Each decoder takes exactly one complete message: trailing bytes are an error.
Decoded<ChannelValue> decodeValue(std::span<const std::uint8_t> bytes);
Decoded<MethodCall> decodeMethodCall(std::span<const std::uint8_t> bytes);
// An empty message is "not implemented".
Decoded<DecodedReply> decodeReply(std::span<const std::uint8_t> bytes);

// A call from the UI as the host is handed it, and how many strings in it were
// read as null.
struct HostCall {
  MethodCall call;
  std::size_t stringsReadAsNull = 0;
};

// The decoders above give every string's bytes as they came. The host's side
// of a channel is FlutterMacOS, whose codec makes each string (and each large
// integer's digits) an NSString from its UTF-8 bytes, as nsStringFromUtf8 in
// sim/utf8.h does. Where that gives nil, the codec puts NSNull in its place in
// a list or a map, as a key or as a value, and the Mac side of the seam makes
// nil and NSNull alike null: a string that is not UTF-8 reaches the host as
// null wherever it stands. A method name read as nil fails the codec's check
// that the name is a string, so that message is refused like one whose name is
// a number.
//
// FlutterMacOS releases whose codec reads strings with NSString's UTF-8
// initialiser behave so. Newer ones read them with
// CFStringCreateFromExternalRepresentation, which follows the same rules, and
// then autorelease the null it gives for such a string, which stops the whole
// process. A crash is nothing to test the host against, so the older reading
// stands for both.
Decoded<HostCall> decodeMethodCallForHost(std::span<const std::uint8_t> bytes);

// Upper-case hex pairs separated by single spaces ("0A 1B FF"), for printing
// wire bytes.
std::string toHex(std::span<const std::uint8_t> bytes);

}  // namespace brimlane::sim
