// The standard codec's decoders fed arbitrary bytes: nothing they accept may
// fail to encode again, encoding what they decoded is stable, and every
// string the host is handed is UTF-8.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "sim/standard_codec.h"
#include "sim/utf8.h"

namespace {

using namespace brimlane;
using namespace brimlane::sim;

// Re-encoding a decoded message gives bytes that decode to the same bytes
// again (the first decode may have read a longer size prefix or a legacy
// integer than the encoder writes).
template <class T, class Encode, class Decode>
void roundTrip(std::span<const std::uint8_t> input, Decode decode, Encode encode) {
  Decoded<T> decoded = decode(input);
  const T* value = std::get_if<T>(&decoded);
  if (!value) return;
  const Bytes once = encode(*value);
  Decoded<T> again = decode(once);
  const T* second = std::get_if<T>(&again);
  if (!second) std::abort();  // the encoder wrote what the decoder refuses
  if (encode(*second) != once) std::abort();
}

Bytes encodeDecodedReply(const DecodedReply& reply) {
  switch (reply.kind) {
    case DecodedReply::Kind::kSuccess:
      return encodeSuccessEnvelope(reply.value);
    case DecodedReply::Kind::kError:
      return encodeErrorEnvelope(reply.code, reply.message, reply.details, reply.stackTrace);
    case DecodedReply::Kind::kNotImplemented:
      return {};
  }
  return {};
}

bool allUtf8(const ChannelValue& value) {
  if (const auto* text = std::get_if<std::string>(&value)) return isUtf8(*text);
  if (const auto* list = std::get_if<ChannelList>(&value)) {
    for (const ChannelValue& element : *list) {
      if (!allUtf8(element)) return false;
    }
  }
  if (const auto* map = std::get_if<ChannelMap>(&value)) {
    for (const auto& [key, element] : *map) {
      if (!allUtf8(key) || !allUtf8(element)) return false;
    }
  }
  return true;
}

// The host's reading refuses what the plain decoder refuses and a method name
// it cannot read, nothing else, and leaves no string that is not UTF-8.
void hostReading(std::span<const std::uint8_t> input) {
  const Decoded<HostCall> host = decodeMethodCallForHost(input);
  const bool decodes = std::holds_alternative<MethodCall>(decodeMethodCall(input));
  const HostCall* call = std::get_if<HostCall>(&host);
  if (!call) {
    if (decodes && std::get<CodecError>(host).message != "the method name is not UTF-8") {
      std::abort();
    }
    return;
  }
  if (!decodes || !isUtf8(call->call.method) || !allUtf8(call->call.arguments)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> input(data, size);
  roundTrip<ChannelValue>(input, decodeValue, encodeValue);
  roundTrip<MethodCall>(input, decodeMethodCall, encodeMethodCall);
  roundTrip<DecodedReply>(input, decodeReply, encodeDecodedReply);
  hostReading(input);
  return 0;
}
