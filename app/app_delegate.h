// The application delegate: the one owner of the host's state for the life of
// the process, and every operation of the host as one of its methods. All of it
// runs on the main thread.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "app/services.h"
#include "app/textio/saved_pasteboard.h"

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
  // The application is about to end, as the user chose Quit.
  void applicationWillTerminate(const Notification& notification);

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
  std::optional<std::string> getSelectionViaClipboard();
  bool pasteTextToLastActiveApp(const std::string& text);
  SavedPasteboard snapshotPasteboard();
  void restoreClipboard(const SavedPasteboard& savedItems);

  // System services for the UI.
  // The silent Accessibility check: never shows the system's dialog.
  bool isProcessTrusted();
  // The same check, letting the system ask the user to grant the trust.
  bool promptForAccessibilityTrust();
  // Drags the panel along with the mouse event being handled, if any.
  void startWindowDrag();
  void setLaunchAtLogin(bool enabled);
  bool isLaunchAtLoginEnabled();

 private:
  explicit AppDelegate(Services services);

  // The steps that bring the panel up, shared by showPanel and reopen.
  void presentPanel(Panel& panel);
  // Whether `app` is this host (or another copy of it).
  bool isHostApplication(const RunningApplication& app);
  // Sends Command-C to the last active application and waits for its text.
  std::optional<std::string> copySelectionFromLastActiveApp();
  // The delayed steps of a paste-back, each knowing which paste it belongs to.
  // The paste step also knows the application the paste re-activated.
  void pasteStep(std::uint64_t pasteNumber, const RunningApplication& target);
  void restoreAfterPaste(std::uint64_t pasteNumber);

  // The user's clipboard while paste-backs are under way, and the latest of
  // them, the only one whose restore step may give it back.
  struct PendingPaste {
    std::shared_ptr<const SavedPasteboard> saved;
    std::uint64_t latest = 0;
  };

  Services services_;
  std::optional<PendingPaste> pendingPaste_;
  std::uint64_t pasteCount_ = 0;
};

}  // namespace brimlane
