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

// The process ends right after this, and with it the paste-back's queued
// steps. A paste still under way has its text on the pasteboard in place of
// the user's contents: those go back now, or they would be lost. Nothing else
// is cleaned up; when the system ends the process without asking, not even
// this can run.
void AppDelegate::applicationWillTerminate(const Notification& /*notification*/) {
  if (pendingPaste_) restoreAfterPaste(pendingPaste_->latest);
}

// Launching the application again while it runs brings the panel back, without
// recording an application or capturing a selection.
bool AppDelegate::applicationShouldHandleReopen(bool /*hasVisibleWindows*/) {
  if (floatingPanel) presentPanel(*floatingPanel);
  return true;
}

}  // namespace brimlane
