// The application delegate: the one owner of the host's state for the life of
// the process, and every operation of the host as one of its methods. All of it
// runs on the main thread.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "app/services.h"

namespace brimlane {

class AppDelegate : public ApplicationDelegate, public std::enable_shared_from_this<AppDelegate> {
 public:
  // The delegate must be owned by a shared_ptr: handlers and delayed work
  // hold it weakly and find it gone once its owner lets go.
  static std::shared_ptr<AppDelegate> create(Services services);

  AppDelegate(const AppDelegate&) = delete;
  AppDelegate& operator=(const AppDelegate&) = delete;

  // The delegate's state, filled once during launch (except `lastActiveApp`,
  // which follows the user). Written only by the delegate's own operations;
  // readable for inspection.
  std::shared_ptr<MethodChannel> selectionChannel;
  std::shared_ptr<MethodChannel> systemChannel;
  std::shared_ptr<StatusItem> statusItem;
  std::shared_ptr<RunningApplication> lastActiveApp;
  std::optional<EventHotKeyRef> hotKeyRef;
  std::shared_ptr<Panel> floatingPanel;
  std::shared_ptr<FlutterViewController> flutterVC;

  // Messages from the application object.
  void applicationDidFinishLaunching(const Notification& notification);
  bool applicationShouldTerminateAfterLastWindowClosed() const;
  bool applicationShouldHandleReopen(bool hasVisibleWindows);
  bool applicationSupportsSecureRestorableState() const;

  // The status item's button action.
  void statusBarButtonClicked();
  // The workspace's activation observer.
  void appDidActivate(const Notification& notification);

  // Launch steps, in launch order.
  void setupFloatingPanel();
  void setupStatusItem();
  void setupMethodChannel(const std::shared_ptr<FlutterViewController>& controller);
  void setupAppActivationObserver();
  void setupGlobalHotKey();

  // Panel presentation.
  void showPanel();
  void hidePanel();
  void summonPanel();
  void showStatusBarMenu();

  // Text capture and insertion.
  void updateLastActiveAppIfNeeded();
  void captureSelectionBeforeShow();

 private:
  explicit AppDelegate(Services services);

  // The steps that bring the panel up, shared by showPanel and reopen.
  void presentPanel(Panel& panel);
  // Whether `app` is this host (or another copy of it).
  bool isHostApplication(const RunningApplication& app);

  Services services_;
};

}  // namespace brimlane
