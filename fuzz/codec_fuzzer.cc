// The standard codec's decoders fed arbitrary bytes: nothing they accept may
// fail to encode again, and encoding what they decoded is stable.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "sim/standard_codec.h"

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> input(data, size);
  roundTrip<ChannelValue>(input, decodeValue, encodeValue);
  roundTrip<MethodCall>(input, decodeMethodCall, encodeMethodCall);
  roundTrip<DecodedReply>(input, decodeReply, encodeDecodedReply);
  return 0;
}
