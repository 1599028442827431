// Named method channels between the host and the UI code: calls with their
// arguments, the one answer each call gets, and calls from the host to the UI.
// Main thread only.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <variant>

#include "app/engine/channel_value.h"

namespace brimlane {

struct MethodCall {
  std::string method;
  ChannelValue arguments;
};

struct ChannelError {
  std::string code;
  std::optional<std::string> message;
  ChannelValue details;
  friend bool operator==(const ChannelError&, const ChannelError&) = default;
};

struct NotImplemented {
  friend bool operator==(const NotImplemented&, const NotImplemented&) = default;
};

// What a handler answers: null, a boolean, a string, an error or "not
// implemented". Nothing else ever crosses the host's channels as an answer.
using ChannelResult = std::variant<std::monostate, bool, std::string, ChannelError, NotImplemented>;

// The answer slot of one call. It is move-only and takes exactly one answer; a
// second answer or an unanswered call is a programming error, caught by an
// assertion in debug builds.
class MethodResult {
 public:
  using Reply = std::function<void(ChannelResult)>;

  explicit MethodResult(Reply reply) : reply_(std::move(reply)) {}
  MethodResult(MethodResult&& other) noexcept : reply_(std::exchange(other.reply_, nullptr)) {}
  MethodResult& operator=(MethodResult&&) = delete;
  MethodResult(const MethodResult&) = delete;
  MethodResult& operator=(const MethodResult&) = delete;
  ~MethodResult();

  void answer(ChannelResult result);

 private:
  Reply reply_;
};

class MethodChannel {
 public:
  using MethodCallHandler = std::function<void(const MethodCall& call, MethodResult result)>;

  virtual ~MethodChannel() = default;

  // The handler is called on the main thread for each call from the UI.
  virtual void setMethodCallHandler(MethodCallHandler handler) = 0;
  // Calls the UI; no answer is awaited.
  virtual void invokeMethod(const std::string& method, ChannelValue arguments) = 0;
};

class BinaryMessenger {
 public:
  virtual ~BinaryMessenger() = default;

  // A channel of that name with the standard method codec.
  virtual std::shared_ptr<MethodChannel> methodChannelWithName(const std::string& name) = 0;
};

}  // namespace brimlane
