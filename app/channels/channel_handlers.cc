#include "app/channels/channel_handlers.h"

#include "app/app_delegate.h"

namespace brimlane {

void handleSelectionCall(const std::weak_ptr<AppDelegate>& /*weakDelegate*/,
                         const MethodCall& /*call*/, MethodResult result) {
  result.answer(NotImplemented{});
}

void handleSystemCall(const std::weak_ptr<AppDelegate>& /*weakDelegate*/,
                      const MethodCall& /*call*/, MethodResult result) {
  result.answer(NotImplemented{});
}

}  // namespace brimlane
