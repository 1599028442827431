#include "sim/standard_codec.h"

#include <bit>
#include <stdexcept>
#include <type_traits>
#include <utility>
#include <vector>

#include "sim/utf8.h"

namespace brimlane::sim {
namespace {

// Type bytes, in the order of ChannelVariant's alternatives where one exists.
constexpr std::uint8_t kNull = 0;
constexpr std::uint8_t kTrue = 1;
constexpr std::uint8_t kFalse = 2;
constexpr std::uint8_t kInt32 = 3;
constexpr std::uint8_t kInt64 = 4;
// Older senders write integers too large for 64 bits as their digits. They are
// read as strings and never written.
constexpr std::uint8_t kLargeInteger = 5;
constexpr std::uint8_t kFloat64 = 6;
constexpr std::uint8_t kString = 7;
constexpr std::uint8_t kUint8List = 8;
constexpr std::uint8_t kInt32List = 9;
constexpr std::uint8_t kInt64List = 10;
constexpr std::uint8_t kFloat64List = 11;
constexpr std::uint8_t kList = 12;
constexpr std::uint8_t kMap = 13;
constexpr std::uint8_t kFloat32List = 14;

// A size below this is its own byte; this byte announces a uint16 size and the
// next one a uint32 size.
constexpr std::uint8_t kSize16 = 254;
constexpr std::uint8_t kSize32 = 255;

constexpr std::uint8_t kSuccessEnvelope = 0;
constexpr std::uint8_t kErrorEnvelope = 1;

// The unsigned integer with the same bytes as T.
template <class T>
using Bits = std::conditional_t<sizeof(T) == 8, std::uint64_t,
                                std::conditional_t<sizeof(T) == 4, std::uint32_t, std::uint16_t>>;

// Byte by byte, so the wire is little-endian whatever the host is.
template <class T>
void storeLittleEndian(std::uint8_t* at, T value) {
  const auto bits = std::bit_cast<Bits<T>>(value);
  for (std::size_t i = 0; i < sizeof(T); ++i) at[i] = static_cast<std::uint8_t>(bits >> (8 * i));
}

template <class T>
T loadLittleEndian(const std::uint8_t* at) {
  Bits<T> bits = 0;
  for (std::size_t i = 0; i < sizeof(T); ++i) {
    bits = static_cast<Bits<T>>(bits | static_cast<Bits<T>>(Bits<T>{at[i]} << (8 * i)));
  }
  return std::bit_cast<T>(bits);
}

const std::uint8_t* bytesOf(std::string_view text) {
  return reinterpret_cast<const std::uint8_t*>(text.data());
}

std::string hexByte(std::uint8_t byte) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  return {kDigits[byte >> 4], kDigits[byte & 15]};
}

std::string byteCount(std::uint64_t count) {
  return std::to_string(count) + (count == 1 ? " byte" : " bytes");
}

// ---------------------------------------------------------------------------
// Encoding. Each message is written twice by the same code: once into a
// SizeCounter, to learn its exact length, then into the reserved buffer.

class SizeCounter {
 public:
  std::size_t position() const { return size_; }
  void putByte(std::uint8_t) { ++size_; }
  void putZeros(std::size_t count) { size_ += count; }
  void putBytes(const std::uint8_t*, std::size_t count) { size_ += count; }
  template <class T>
  void putNumber(T) {
    size_ += sizeof(T);
  }
  template <class T>
  void putNumbers(const std::vector<T>& values) {
    size_ += values.size() * sizeof(T);
  }

 private:
  std::size_t size_ = 0;
};

class BufferWriter {
 public:
  explicit BufferWriter(Bytes& out) : out_(out) {}

  // Alignment is measured from the start of the message, which is the start
  // of the buffer.
  std::size_t position() const { return out_.size(); }
  void putByte(std::uint8_t byte) { out_.push_back(byte); }
  void putZeros(std::size_t count) { out_.insert(out_.end(), count, 0); }
  void putBytes(const std::uint8_t* data, std::size_t count) {
    out_.insert(out_.end(), data, data + count);
  }
  template <class T>
  void putNumber(T value) {
    storeLittleEndian(grow(sizeof(T)), value);
  }
  template <class T>
  void putNumbers(const std::vector<T>& values) {
    std::uint8_t* at = grow(values.size() * sizeof(T));
    for (T value : values) {
      storeLittleEndian(at, value);
      at += sizeof(T);
    }
  }

 private:
  std::uint8_t* grow(std::size_t count) {
    const std::size_t old = out_.size();
    out_.resize(old + count);
    return out_.data() + old;
  }

  Bytes& out_;
};

template <class Sink>
void writeSize(Sink& sink, std::size_t size) {
  if (size < kSize16) {
    sink.putByte(static_cast<std::uint8_t>(size));
  } else if (size <= 0xFFFF) {
    sink.putByte(kSize16);
    sink.putNumber(static_cast<std::uint16_t>(size));
  } else if (size <= 0xFFFFFFFF) {
    sink.putByte(kSize32);
    sink.putNumber(static_cast<std::uint32_t>(size));
  } else {
    throw std::length_error("a size of " + std::to_string(size) +
                            " does not fit the codec's 32-bit size field");
  }
}

template <class Sink>
void writeAlignment(Sink& sink, std::size_t alignment) {
  sink.putZeros((alignment - sink.position() % alignment) % alignment);
}

template <class Sink>
void writeStringValue(Sink& sink, std::string_view text) {
  sink.putByte(kString);
  writeSize(sink, text.size());
  sink.putBytes(bytesOf(text), text.size());
}

template <class Sink>
void writeValue(Sink& sink, const ChannelValue& value);

template <class Sink>
struct ValueWriter {
  Sink& sink;

  void operator()(std::monostate) const { sink.putByte(kNull); }
  void operator()(bool b) const { sink.putByte(b ? kTrue : kFalse); }
  void operator()(std::int32_t i) const {
    sink.putByte(kInt32);
    sink.putNumber(i);
  }
  void operator()(std::int64_t i) const {
    sink.putByte(kInt64);
    sink.putNumber(i);
  }
  void operator()(double d) const {
    sink.putByte(kFloat64);
    writeAlignment(sink, sizeof(double));
    sink.putNumber(d);
  }
  void operator()(const std::string& s) const { writeStringValue(sink, s); }
  void operator()(const std::vector<std::uint8_t>& bytes) const {
    sink.putByte(kUint8List);
    writeSize(sink, bytes.size());
    sink.putBytes(bytes.data(), bytes.size());
  }
  void operator()(const std::vector<std::int32_t>& v) const { numbers(kInt32List, v); }
  void operator()(const std::vector<std::int64_t>& v) const { numbers(kInt64List, v); }
  void operator()(const std::vector<double>& v) const { numbers(kFloat64List, v); }
  void operator()(const std::vector<float>& v) const { numbers(kFloat32List, v); }
  void operator()(const ChannelList& values) const {
    sink.putByte(kList);
    writeSize(sink, values.size());
    for (const ChannelValue& element : values) writeValue(sink, element);
  }
  void operator()(const ChannelMap& entries) const {
    sink.putByte(kMap);
    writeSize(sink, entries.size());
    for (const auto& [key, value] : entries) {
      writeValue(sink, key);
      writeValue(sink, value);
    }
  }

  // Elements start on a multiple of their own size, so a reader can use them
  // in place.
  template <class T>
  void numbers(std::uint8_t type, const std::vector<T>& values) const {
    sink.putByte(type);
    writeSize(sink, values.size());
    writeAlignment(sink, sizeof(T));
    sink.putNumbers(values);
  }
};

template <class Sink>
void writeValue(Sink& sink, const ChannelValue& value) {
  std::visit(ValueWriter<Sink>{sink}, static_cast<const ChannelVariant&>(value));
}

template <class Sink>
void writeErrorEnvelope(Sink& sink, std::string_view code,
                        const std::optional<std::string>& message, const ChannelValue& details,
                        const std::optional<std::string>& stackTrace) {
  sink.putByte(kErrorEnvelope);
  writeStringValue(sink, code);
  if (message) {
    writeStringValue(sink, *message);
  } else {
    sink.putByte(kNull);
  }
  writeValue(sink, details);
  if (stackTrace) writeStringValue(sink, *stackTrace);
}

// `write(sink)` writes the whole message into any sink.
template <class Write>
Bytes encodeWith(const Write& write) {
  SizeCounter counter;
  write(counter);
  Bytes out;
  out.reserve(counter.position());
  BufferWriter writer(out);
  write(writer);
  return out;
}

// ---------------------------------------------------------------------------
// Decoding. Every read checks what is left first; the first failure is kept
// and each caller returns false up the chain.

class Reader {
 public:
  explicit Reader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  const CodecError& error() const { return error_; }
  bool atEnd() const { return position_ == bytes_.size(); }

  bool fail(std::size_t offset, std::string message) {
    error_ = {std::move(message), offset};
    return false;
  }

  bool expectEnd() {
    if (atEnd()) return true;
    return fail(position_, byteCount(remaining()) + " left over after the complete message");
  }

  bool readByte(std::uint8_t& out, std::string_view what) {
    if (!need(1, what)) return false;
    out = bytes_[position_++];
    return true;
  }

  // `depth` counts the lists and maps around this value; `owed` is the least
  // number of bytes that the values still to come after it will need.
  bool readValue(ChannelValue& out, std::size_t depth, std::size_t owed) {
    const std::size_t start = position_;
    std::uint8_t type = 0;
    if (!readByte(type, "a type byte")) return false;
    switch (type) {
      case kNull:
        out.emplace<std::monostate>();
        return true;
      case kTrue:
        out.emplace<bool>(true);
        return true;
      case kFalse:
        out.emplace<bool>(false);
        return true;
      case kInt32:
        return readNumber(out.emplace<std::int32_t>(), "an int32");
      case kInt64:
        return readNumber(out.emplace<std::int64_t>(), "an int64");
      case kFloat64:
        return skipPadding(sizeof(double)) && readNumber(out.emplace<double>(), "a float64");
      case kLargeInteger:
        return readStringBody(out.emplace<std::string>(), "large integer");
      case kString:
        return readStringBody(out.emplace<std::string>(), "string");
      case kUint8List:
        return readByteList(out);
      case kInt32List:
        return readNumberList<std::int32_t>(out, "int32 list");
      case kInt64List:
        return readNumberList<std::int64_t>(out, "int64 list");
      case kFloat64List:
        return readNumberList<double>(out, "float64 list");
      case kFloat32List:
        return readNumberList<float>(out, "float32 list");
      case kList:
      case kMap:
        if (depth >= kMaxNestingDepth) {
          return fail(start, "lists and maps nested more than " + std::to_string(kMaxNestingDepth) +
                                 " deep");
        }
        return type == kList ? readList(out, depth, owed) : readMap(out, depth, owed);
      default:
        return fail(start, "unknown type byte " + hexByte(type));
    }
  }

  // A value that must be a string: `what` names it in the error.
  bool readStringValue(std::string& out, std::string_view what) {
    const std::size_t start = position_;
    std::uint8_t type = 0;
    if (!readByte(type, what)) return false;
    if (type != kString) {
      return fail(start, std::string(what) + " must be a string, not type byte " + hexByte(type));
    }
    return readStringBody(out, what);
  }

  bool readStringOrNull(std::optional<std::string>& out, std::string_view what) {
    const std::size_t start = position_;
    std::uint8_t type = 0;
    if (!readByte(type, what)) return false;
    if (type == kNull) {
      out.reset();
      return true;
    }
    if (type != kString) {
      return fail(start,
                  std::string(what) + " must be a string or null, not type byte " + hexByte(type));
    }
    return readStringBody(out.emplace(), what);
  }

 private:
  std::size_t remaining() const { return bytes_.size() - position_; }

  bool need(std::size_t count, std::string_view what) {
    if (count <= remaining()) return true;
    return fail(position_, "message ends before " + std::string(what) + " (" + byteCount(count) +
                               " needed, " + std::to_string(remaining()) + " left)");
  }

  template <class T>
  bool readNumber(T& out, std::string_view what) {
    if (!need(sizeof(T), what)) return false;
    out = loadLittleEndian<T>(bytes_.data() + position_);
    position_ += sizeof(T);
    return true;
  }

  bool readSize(std::size_t& out) {
    std::uint8_t first = 0;
    if (!readByte(first, "a size")) return false;
    if (first < kSize16) {
      out = first;
      return true;
    }
    if (first == kSize16) {
      std::uint16_t size = 0;
      if (!readNumber(size, "a 16-bit size")) return false;
      out = size;
      return true;
    }
    std::uint32_t size = 0;
    if (!readNumber(size, "a 32-bit size")) return false;
    out = size;
    return true;
  }

  // Padding is skipped, not checked: a sender that leaves garbage there has
  // still said everything it meant to.
  bool skipPadding(std::size_t alignment) {
    const std::size_t padding = (alignment - position_ % alignment) % alignment;
    if (!need(padding, "the end of the alignment padding")) return false;
    position_ += padding;
    return true;
  }

  // A size, then that many bytes: checked against what is there before
  // anything is allocated.
  bool readSized(std::size_t& size, std::string_view what) {
    const std::size_t sizeAt = position_;
    if (!readSize(size)) return false;
    if (size <= remaining()) return true;
    return fail(sizeAt, std::string(what) + " of " + byteCount(size) +
                            " runs past the end of the message (" + std::to_string(remaining()) +
                            " left)");
  }

  // Built straight from the input. Invalid UTF-8 is carried as it came; the
  // receiver decides what to make of it.
  bool readStringBody(std::string& out, std::string_view what) {
    std::size_t size = 0;
    if (!readSized(size, what)) return false;
    out.assign(reinterpret_cast<const char*>(bytes_.data() + position_), size);
    position_ += size;
    return true;
  }

  bool readByteList(ChannelValue& out) {
    std::size_t size = 0;
    if (!readSized(size, "uint8 list")) return false;
    const std::uint8_t* data = bytes_.data() + position_;
    out.emplace<std::vector<std::uint8_t>>(data, data + size);
    position_ += size;
    return true;
  }

  template <class T>
  bool readNumberList(ChannelValue& out, std::string_view what) {
    const std::size_t sizeAt = position_;
    std::size_t count = 0;
    if (!readSize(count) || !skipPadding(sizeof(T))) return false;
    if (count > remaining() / sizeof(T)) {
      return fail(sizeAt, std::string(what) + " of " + std::to_string(count) + " elements needs " +
                              byteCount(std::uint64_t{count} * sizeof(T)) + ", " +
                              std::to_string(remaining()) + " left");
    }
    const std::uint8_t* at = bytes_.data() + position_;
    for (T& element : out.emplace<std::vector<T>>(count)) {
      element = loadLittleEndian<T>(at);
      at += sizeof(T);
    }
    position_ += count * sizeof(T);
    return true;
  }

  // Each value takes at least its type byte. Checking a count against the
  // bytes left after what the enclosing lists and maps still owe keeps the
  // reservations of all open containers together within the input's size.
  bool readCount(std::size_t& count, std::size_t bytesPerElement, std::size_t owed,
                 std::string_view what, std::string_view elements) {
    const std::size_t countAt = position_;
    if (!readSize(count)) return false;
    const std::size_t available = remaining() > owed ? remaining() - owed : 0;
    if (count <= available / bytesPerElement) return true;
    return fail(countAt, std::string(what) + " of " + std::to_string(count) + " " +
                             std::string(elements) + " cannot fit in the " + byteCount(available) +
                             " available to it");
  }

  bool readList(ChannelValue& out, std::size_t depth, std::size_t owed) {
    std::size_t count = 0;
    if (!readCount(count, 1, owed, "list", "values")) return false;
    auto& values = out.emplace<ChannelList>();
    values.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
      const std::size_t after = count - 1 - i;
      if (!readValue(values.emplace_back(), depth + 1, owed + after)) return false;
    }
    return true;
  }

  bool readMap(ChannelValue& out, std::size_t depth, std::size_t owed) {
    std::size_t count = 0;
    if (!readCount(count, 2, owed, "map", "entries")) return false;
    auto& entries = out.emplace<ChannelMap>();
    entries.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
      const std::size_t after = 2 * (count - 1 - i);
      auto& [key, value] = entries.emplace_back();
      if (!readValue(key, depth + 1, owed + after + 1) ||
          !readValue(value, depth + 1, owed + after)) {
        return false;
      }
    }
    return true;
  }

  std::span<const std::uint8_t> bytes_;
  std::size_t position_ = 0;
  CodecError error_;
};

// Every string in `value` as the Mac engine reads it; those it cannot read
// become null and are counted.
void readStringsAsNSStrings(ChannelValue& value, std::size_t& readAsNull) {
  if (auto* text = std::get_if<std::string>(&value)) {
    if (std::optional<std::string> read = nsStringFromUtf8(*text)) {
      *text = std::move(*read);
    } else {
      value = ChannelValue();
      ++readAsNull;
    }
  } else if (auto* list = std::get_if<ChannelList>(&value)) {
    for (ChannelValue& element : *list) readStringsAsNSStrings(element, readAsNull);
  } else if (auto* map = std::get_if<ChannelMap>(&value)) {
    for (auto& [key, element] : *map) {
      readStringsAsNSStrings(key, readAsNull);
      readStringsAsNSStrings(element, readAsNull);
    }
  }
}

}  // namespace

Bytes encodeValue(const ChannelValue& value) {
  return encodeWith([&](auto& sink) { writeValue(sink, value); });
}

Bytes encodeMethodCall(const MethodCall& call) {
  return encodeWith([&](auto& sink) {
    writeStringValue(sink, call.method);
    writeValue(sink, call.arguments);
  });
}

Bytes encodeSuccessEnvelope(const ChannelValue& value) {
  return encodeWith([&](auto& sink) {
    sink.putByte(kSuccessEnvelope);
    writeValue(sink, value);
  });
}

Bytes encodeErrorEnvelope(std::string_view code, const std::optional<std::string>& message,
                          const ChannelValue& details,
                          const std::optional<std::string>& stackTrace) {
  return encodeWith(
      [&](auto& sink) { writeErrorEnvelope(sink, code, message, details, stackTrace); });
}

Bytes encodeReply(const ChannelResult& result) {
  struct ReplyEncoder {
    Bytes operator()(std::monostate) const { return encodeSuccessEnvelope(ChannelValue()); }
    Bytes operator()(bool b) const { return encodeSuccessEnvelope(ChannelValue(b)); }
    Bytes operator()(const std::string& s) const {
      return encodeWith([&](auto& sink) {
        sink.putByte(kSuccessEnvelope);
        writeStringValue(sink, s);
      });
    }
    Bytes operator()(const ChannelError& e) const {
      return encodeErrorEnvelope(e.code, e.message, e.details);
    }
    Bytes operator()(NotImplemented) const { return {}; }
  };
  return std::visit(ReplyEncoder{}, result);
}

Decoded<ChannelValue> decodeValue(std::span<const std::uint8_t> bytes) {
  Reader reader(bytes);
  ChannelValue value;
  if (!reader.readValue(value, 0, 0) || !reader.expectEnd()) return reader.error();
  return value;
}

Decoded<MethodCall> decodeMethodCall(std::span<const std::uint8_t> bytes) {
  Reader reader(bytes);
  MethodCall call;
  if (!reader.readStringValue(call.method, "the method name") ||
      !reader.readValue(call.arguments, 0, 0) || !reader.expectEnd()) {
    return reader.error();
  }
  return call;
}

Decoded<DecodedReply> decodeReply(std::span<const std::uint8_t> bytes) {
  DecodedReply reply;
  if (bytes.empty()) {
    reply.kind = DecodedReply::Kind::kNotImplemented;
    return reply;
  }
  Reader reader(bytes);
  std::uint8_t envelope = 0;
  reader.readByte(envelope, "the envelope byte");
  bool ok = false;
  switch (envelope) {
    case kSuccessEnvelope:
      reply.kind = DecodedReply::Kind::kSuccess;
      ok = reader.readValue(reply.value, 0, 0);
      break;
    case kErrorEnvelope:
      reply.kind = DecodedReply::Kind::kError;
      ok = reader.readStringValue(reply.code, "the error code") &&
           reader.readStringOrNull(reply.message, "the error message") &&
           reader.readValue(reply.details, 0, 0) &&
           (reader.atEnd() || reader.readStringOrNull(reply.stackTrace, "the stack trace"));
      break;
    default:
      ok = reader.fail(
          0, "unknown reply envelope byte " + hexByte(envelope) + " (00 is success, 01 an error)");
  }
  if (!ok || !reader.expectEnd()) return reader.error();
  return reply;
}

Decoded<HostCall> decodeMethodCallForHost(std::span<const std::uint8_t> bytes) {
  Decoded<MethodCall> decoded = decodeMethodCall(bytes);
  auto* call = std::get_if<MethodCall>(&decoded);
  if (!call) return std::get<CodecError>(std::move(decoded));
  std::optional<std::string> method = nsStringFromUtf8(call->method);
  if (!method) return CodecError{"the method name is not UTF-8", 0};
  HostCall host{{std::move(*method), std::move(call->arguments)}};
  readStringsAsNSStrings(host.call.arguments, host.stringsReadAsNull);
  return host;
}

std::string toHex(std::span<const std::uint8_t> bytes) {
  std::string text;
  text.reserve(bytes.size() * 3);
  for (std::uint8_t byte : bytes) {
    if (!text.empty()) text += ' ';
    text += hexByte(byte);
  }
  return text;
}

}  // namespace brimlane::sim
