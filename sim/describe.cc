#include "sim/describe.h"

#include <cstdio>

namespace brimlane::sim {
namespace {

std::string number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.17g", value);
  std::string result = text;
  if (result.find_first_of(".en") == std::string::npos) result += ".0";
  return result;
}

template <class T>
std::string list(const char* kind, const std::vector<T>& values) {
  std::string text = std::string(kind) + "[";
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (i) text += ", ";
    if constexpr (std::is_floating_point_v<T>) {
      text += number(values[i]);
    } else {
      text += std::to_string(values[i]);
    }
  }
  return text + "]";
}

struct Describer {
  std::string operator()(std::monostate) const { return "null"; }
  std::string operator()(bool b) const { return b ? "true" : "false"; }
  std::string operator()(std::int32_t i) const { return std::to_string(i); }
  std::string operator()(std::int64_t i) const { return std::to_string(i) + "L"; }
  std::string operator()(double d) const { return number(d); }
  std::string operator()(const std::string& s) const { return quote(s); }
  std::string operator()(const std::vector<std::uint8_t>& bytes) const {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string text = "bytes:";
    for (std::uint8_t b : bytes) {
      text += kHex[b >> 4];
      text += kHex[b & 15];
    }
    return text;
  }
  std::string operator()(const std::vector<std::int32_t>& v) const { return list("int32", v); }
  std::string operator()(const std::vector<std::int64_t>& v) const { return list("int64", v); }
  std::string operator()(const std::vector<double>& v) const { return list("float64", v); }
  std::string operator()(const std::vector<float>& v) const { return list("float32", v); }
  std::string operator()(const ChannelList& values) const {
    std::string text = "[";
    for (std::size_t i = 0; i < values.size(); ++i) {
      if (i) text += ", ";
      text += describe(values[i]);
    }
    return text + "]";
  }
  std::string operator()(const ChannelMap& entries) const {
    std::string text = "{";
    for (std::size_t i = 0; i < entries.size(); ++i) {
      if (i) text += ", ";
      text += describe(entries[i].first) + ": " + describe(entries[i].second);
    }
    return text + "}";
  }
};

}  // namespace

std::string quote(std::string_view text) {
  std::string quoted = "\"";
  for (char c : text) {
    switch (c) {
      case '"':
        quoted += "\\\"";
        break;
      case '\\':
        quoted += "\\\\";
        break;
      case '\n':
        quoted += "\\n";
        break;
      case '\t':
        quoted += "\\t";
        break;
      default:
        quoted += c;
    }
  }
  return quoted + "\"";
}

std::string describe(const ChannelValue& value) {
  return std::visit(Describer{}, static_cast<const ChannelVariant&>(value));
}

std::string describe(const ChannelResult& result) {
  struct ResultDescriber {
    std::string operator()(std::monostate) const { return "null"; }
    std::string operator()(bool b) const { return b ? "true" : "false"; }
    std::string operator()(const std::string& s) const { return quote(s); }
    std::string operator()(const ChannelError& e) const {
      return "error " + quote(e.code) + " " + (e.message ? quote(*e.message) : "null") +
             (e.details.isNull() ? "" : " " + describe(e.details));
    }
    std::string operator()(NotImplemented) const { return "not-implemented"; }
  };
  return std::visit(ResultDescriber{}, result);
}

}  // namespace brimlane::sim
