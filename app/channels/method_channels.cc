// The two method channels between the host and the UI code.
#include "app/app_delegate.h"
#include "app/channels/channel_handlers.h"

namespace brimlane {

void AppDelegate::setupMethodChannel(const std::shared_ptr<FlutterViewController>& controller) {
  selectionChannel = controller->engine()->binaryMessenger().methodChannelWithName(
      std::string(kSelectionChannelName));
  if (selectionChannel) {
    selectionChannel->setMethodCallHandler(
        [weakSelf = weak_from_this()](const MethodCall& call, MethodResult result) {
          handleSelectionCall(weakSelf, call, std::move(result));
        });
  }
  systemChannel = controller->engine()->binaryMessenger().methodChannelWithName(
      std::string(kSystemChannelName));
  if (systemChannel) {
    systemChannel->setMethodCallHandler(
        [weakSelf = weak_from_this()](const MethodCall& call, MethodResult result) {
          handleSystemCall(weakSelf, call, std::move(result));
        });
  }
}

}  // namespace brimlane
