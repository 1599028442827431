// Bringing the floating panel on screen and taking it off.
#include "app/app_delegate.h"

namespace brimlane {
namespace {

// A panel the user shrank below this (in either direction) would be hard to
// find and use again, so it comes back at the default size.
constexpr double kMinimumPanelExtent = 100;
constexpr Size kDefaultPanelContentSize{600, 600};

}  // namespace

void AppDelegate::showPanel() {
  if (!floatingPanel) return;
  presentPanel(*floatingPanel);
}

void AppDelegate::presentPanel(Panel& panel) {
  // The size is settled first so that centring places the final frame.
  if (panel.frame().size.width < kMinimumPanelExtent ||
      panel.frame().size.height < kMinimumPanelExtent) {
    panel.setContentSize(kDefaultPanelContentSize);
  }
  panel.center();
  panel.makeKeyAndOrderFront();
  services_.application.activateIgnoringOtherApps(true);
}

// Only takes the panel off screen: the host stays active and the UI keeps its
// state for the next show.
void AppDelegate::hidePanel() {
  if (floatingPanel) floatingPanel->orderOut();
}

}  // namespace brimlane
