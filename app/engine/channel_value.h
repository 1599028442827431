// A value that can cross a method channel: every kind the UI engine's standard
// codec carries. The alternatives are ordered like the codec's type codes.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace brimlane {

class ChannelValue;

using ChannelList = std::vector<ChannelValue>;
// Entries in wire order; a key may repeat, as nothing on the wire forbids it.
using ChannelMap = std::vector<std::pair<ChannelValue, ChannelValue>>;

using ChannelVariant =
    std::variant<std::monostate, bool, std::int32_t, std::int64_t, double, std::string,
                 std::vector<std::uint8_t>, std::vector<std::int32_t>, std::vector<std::int64_t>,
                 std::vector<double>, ChannelList, ChannelMap, std::vector<float>>;

class ChannelValue : public ChannelVariant {
 public:
  using ChannelVariant::ChannelVariant;
  using ChannelVariant::operator=;

  ChannelValue() = default;
  // Without this a string literal would become a bool.
  explicit ChannelValue(const char* string) : ChannelVariant(std::string(string)) {}

  bool isNull() const { return std::holds_alternative<std::monostate>(*this); }

  friend bool operator==(const ChannelValue& a, const ChannelValue& b) {
    return static_cast<const ChannelVariant&>(a) == static_cast<const ChannelVariant&>(b);
  }
};

}  // namespace brimlane
