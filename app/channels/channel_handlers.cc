// The handlers of the two method channels. Each call is answered exactly once,
// before the handler returns. The delegate is looked up afresh wherever a
// method needs it, so a handler never keeps the host alive; when it is gone,
// the method gives the answer a missing host would.
#include "app/channels/channel_handlers.h"

#include "app/app_delegate.h"

namespace brimlane {
namespace {

ChannelError invalidArgument(std::string message) {
  return ChannelError{"INVALID_ARGUMENT", std::move(message), ChannelValue()};
}

ChannelResult getSelection(const std::weak_ptr<AppDelegate>& weakDelegate) {
  const std::shared_ptr<AppDelegate> delegate = weakDelegate.lock();
  if (!delegate || !delegate->isProcessTrusted()) return std::monostate{};
  std::optional<std::string> selection = delegate->getSelectionViaClipboard();
  if (!selection) return std::monostate{};
  return std::move(*selection);
}

ChannelResult checkPermission(const std::weak_ptr<AppDelegate>& weakDelegate) {
  const std::shared_ptr<AppDelegate> delegate = weakDelegate.lock();
  return delegate && delegate->isProcessTrusted();
}

ChannelResult requestPermission(const std::weak_ptr<AppDelegate>& weakDelegate) {
  // The panel floats above everything and would cover the system's prompt.
  if (const std::shared_ptr<AppDelegate> delegate = weakDelegate.lock()) delegate->hidePanel();
  const std::shared_ptr<AppDelegate> delegate = weakDelegate.lock();
  // The trust at this moment: a prompt the user answers later changes nothing
  // here, and the UI asks again with "checkPermission".
  return delegate && delegate->promptForAccessibilityTrust();
}

ChannelResult pasteText(const std::weak_ptr<AppDelegate>& weakDelegate, const ChannelValue& text) {
  // The arguments are the text itself; a map holding it under some key is
  // as wrong as a number.
  const auto* string = std::get_if<std::string>(&text);
  if (!string) return invalidArgument("Text argument required");
  const std::shared_ptr<AppDelegate> delegate = weakDelegate.lock();
  return delegate && delegate->pasteTextToLastActiveApp(*string);
}

ChannelResult startWindowDrag(const std::weak_ptr<AppDelegate>& weakDelegate) {
  if (const std::shared_ptr<AppDelegate> delegate = weakDelegate.lock()) {
    delegate->startWindowDrag();
  }
  return std::monostate{};
}

ChannelResult setLaunchAtLogin(const std::weak_ptr<AppDelegate>& weakDelegate,
                               const ChannelValue& enabled) {
  // Only a boolean: the integers 0 and 1 are refused like any other value.
  const bool* flag = std::get_if<bool>(&enabled);
  if (!flag) return invalidArgument("Boolean argument required");
  if (const std::shared_ptr<AppDelegate> delegate = weakDelegate.lock()) {
    delegate->setLaunchAtLogin(*flag);
  }
  // A refusal by the system is not the UI's error; it asks for the state.
  return std::monostate{};
}

ChannelResult getLaunchAtLogin(const std::weak_ptr<AppDelegate>& weakDelegate) {
  const std::shared_ptr<AppDelegate> delegate = weakDelegate.lock();
  return delegate && delegate->isLaunchAtLoginEnabled();
}

}  // namespace

void handleSelectionCall(const std::weak_ptr<AppDelegate>& weakDelegate, const MethodCall& call,
                         MethodResult result) {
  const std::string& method = call.method;
  if (method == "getSelection") {
    result.answer(getSelection(weakDelegate));
  } else if (method == "checkPermission") {
    result.answer(checkPermission(weakDelegate));
  } else if (method == "requestPermission") {
    result.answer(requestPermission(weakDelegate));
  } else if (method == "pasteText") {
    result.answer(pasteText(weakDelegate, call.arguments));
  } else if (method == "startWindowDrag") {
    result.answer(startWindowDrag(weakDelegate));
  } else {
    result.answer(NotImplemented{});
  }
}

void handleSystemCall(const std::weak_ptr<AppDelegate>& weakDelegate, const MethodCall& call,
                      MethodResult result) {
  const std::string& method = call.method;
  if (method == "setLaunchAtLogin") {
    result.answer(setLaunchAtLogin(weakDelegate, call.arguments));
  } else if (method == "getLaunchAtLogin") {
    result.answer(getLaunchAtLogin(weakDelegate));
  } else {
    result.answer(NotImplemented{});
  }
}

}  // namespace brimlane
