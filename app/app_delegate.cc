#include "app/app_delegate.h"

namespace brimlane {

std::shared_ptr<AppDelegate> AppDelegate::create(Services services) {
  return std::shared_ptr<AppDelegate>(new AppDelegate(services));
}

AppDelegate::AppDelegate(Services services) : services_(services) {}

void AppDelegate::applicationDidFinishLaunching(const Notification& notification) {
  setupFloatingPanel();
  const std::shared_ptr<FlutterViewController> controller = flutterVC;
  setupStatusItem();
  setupMethodChannel(controller);
  // The record must be seeded before the first summon can need it, and every
  // event source must be in place before the panel appears.
  setupAppActivationObserver();
  setupGlobalHotKey();
  showPanel();
  services_.embedding.appDelegateDidFinishLaunching(notification);
}

// A menu-bar utility: closing the panel must not end the process.
bool AppDelegate::applicationShouldTerminateAfterLastWindowClosed() const {
  return false;
}

bool AppDelegate::applicationSupportsSecureRestorableState() const {
  return true;
}

// Launching the application again while it runs brings the panel back, without
// recording an application or capturing a selection.
bool AppDelegate::applicationShouldHandleReopen(bool /*hasVisibleWindows*/) {
  if (floatingPanel) presentPanel(*floatingPanel);
  return true;
}

}  // namespace brimlane
