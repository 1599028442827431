// Plain values shared by the platform services: time, geometry, bytes and
// notifications. Nothing here calls the platform.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace brimlane {

// Delays and sleeps are given in seconds, as the platform's own APIs take them.
using Seconds = std::chrono::duration<double>;

using Bytes = std::vector<std::uint8_t>;

// A process identifier as the platform reports it (32-bit signed).
using ProcessId = std::int32_t;

// Points in the platform's screen coordinates (origin at the bottom left).
struct Point {
  double x = 0;
  double y = 0;
  friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
  double width = 0;
  double height = 0;
  friend bool operator==(const Size&, const Size&) = default;
};

struct Rect {
  Point origin;
  Size size;
  friend bool operator==(const Rect&, const Rect&) = default;
};

class RunningApplication;

// An object in a notification's user info of a class the host has no use for.
struct OtherObject {
  std::string className;
};

using UserInfoValue = std::variant<std::shared_ptr<RunningApplication>, OtherObject>;
using UserInfo = std::map<std::string, UserInfoValue, std::less<>>;

// A notification as delivered to an observer. The user info may be missing,
// empty, or hold anything under any key: senders are not trusted to be tidy.
struct Notification {
  std::string name;
  std::optional<UserInfo> userInfo;
};

}  // namespace brimlane
