// The handlers of the two method channels. Each holds the delegate weakly and
// answers every call exactly once before it returns.
#pragma once

#include <memory>
#include <string_view>

#include "app/engine/method_channel.h"

namespace brimlane {

class AppDelegate;

inline constexpr std::string_view kSelectionChannelName = "com.brimlane.app/selection";
inline constexpr std::string_view kSystemChannelName = "com.brimlane.app/system";

void handleSelectionCall(const std::weak_ptr<AppDelegate>& weakDelegate, const MethodCall& call,
                         MethodResult result);
void handleSystemCall(const std::weak_ptr<AppDelegate>& weakDelegate, const MethodCall& call,
                      MethodResult result);

}  // namespace brimlane
