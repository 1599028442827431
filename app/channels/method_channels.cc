// The two method channels between the host and the UI code.
#include "app/app_delegate.h"
#include "app/channels/channel_handlers.h"

namespace brimlane {
namespace {

using Handler = void (*)(const std::weak_ptr<AppDelegate>&, const MethodCall&, MethodResult);

// Opens a channel on the controller's engine and installs a handler that
// holds the delegate weakly, so the channel never keeps the host alive.
std::shared_ptr<MethodChannel> openChannel(FlutterViewController& controller, std::string_view name,
                                           Handler handler, std::weak_ptr<AppDelegate> delegate) {
  std::shared_ptr<MethodChannel> channel =
      controller.engine()->binaryMessenger().methodChannelWithName(std::string(name));
  if (channel) {
    channel->setMethodCallHandler(
        [handler, delegate = std::move(delegate)](const MethodCall& call, MethodResult result) {
          handler(delegate, call, std::move(result));
        });
  }
  return channel;
}

}  // namespace

void AppDelegate::setupMethodChannel(const std::shared_ptr<FlutterViewController>& controller) {
  selectionChannel =
      openChannel(*controller, kSelectionChannelName, handleSelectionCall, weak_from_this());
  systemChannel = openChannel(*controller, kSystemChannelName, handleSystemCall, weak_from_this());
}

}  // namespace brimlane
