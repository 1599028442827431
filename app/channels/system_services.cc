// The system services the UI reaches over the selection channel.
#include "app/app_delegate.h"

namespace brimlane {

bool AppDelegate::isProcessTrusted() {
  return services_.accessibility.isProcessTrustedWithOptions(/*prompt=*/false);
}

bool AppDelegate::promptForAccessibilityTrust() {
  return services_.accessibility.isProcessTrustedWithOptions(/*prompt=*/true);
}

void AppDelegate::startWindowDrag() {
  if (!floatingPanel) return;
  // The drag follows the mouse-down the UI is handling; without one there is
  // nothing to follow.
  if (const std::shared_ptr<Event> event = services_.application.currentEvent()) {
    floatingPanel->performWindowDragWithEvent(*event);
  }
}

}  // namespace brimlane
