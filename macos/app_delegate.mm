// The application's delegate: builds the Mac services once, owns the host's
// delegate and forwards the application's messages to it.
#import "macos/app_delegate.h"

#include "app/app_delegate.h"
#include "macos/mac_accessibility.h"
#include "macos/mac_flutter_embedding.h"
#include "macos/mac_hot_keys.h"
#include "macos/mac_keyboard.h"
#include "macos/mac_login_items.h"
#include "macos/mac_main_queue.h"
#include "macos/mac_pasteboard.h"
#include "macos/mac_standard_output.h"
#include "macos/mac_status_bar.h"
#include "macos/mac_thread.h"
#include "macos/mac_windows.h"
#include "macos/mac_workspace.h"

namespace brimlane {
namespace {

// Every service of the platform, made once and never destroyed: the host's
// delegate and the work it queues may use them up to the process's last
// moment.
struct MacServices {
  MacPasteboard pasteboard;
  MacKeyboard keyboard;
  MacAccessibility accessibility;
  MacWorkspace workspace;
  MacWindows windows;
  MacApplication application;
  MacStatusBar statusBar;
  MacHotKeys hotKeys;
  MacLoginItems loginItems;
  MacMainQueue mainQueue;
  MacThread thread;
  MacStandardOutput standardOutput;
  MacFlutterEmbedding embedding;

  Services services() {
    return Services{pasteboard,  keyboard,       accessibility, workspace,  windows,
                    application, statusBar,      hotKeys,       loginItems, mainQueue,
                    thread,      standardOutput, embedding};
  }
};

MacServices& macServices() {
  static MacServices* const services = new MacServices();
  return *services;
}

}  // namespace
}  // namespace brimlane

@implementation AppDelegate {
  std::shared_ptr<brimlane::AppDelegate> _hostDelegate;
}

- (instancetype)init {
  self = [super init];
  if (self) _hostDelegate = brimlane::AppDelegate::create(brimlane::macServices().services());
  return self;
}

- (std::shared_ptr<brimlane::AppDelegate>)hostDelegate {
  return _hostDelegate;
}

- (void)applicationDidFinishLaunching:(NSNotification*)notification {
  // The host's launch sequence ends with the engine's own handling, which is
  // the superclass's. Current FlutterMacOS releases do not implement this
  // message at all, and an unconditional call to super would raise an
  // unrecognised-selector exception at launch.
  brimlane::macServices().embedding.setBaseDidFinishLaunching(^{
    if ([FlutterAppDelegate instancesRespondToSelector:@selector(applicationDidFinishLaunching:)]) {
      [super applicationDidFinishLaunching:notification];
    }
  });
  _hostDelegate->applicationDidFinishLaunching(brimlane::toNotification(notification));
}

- (void)applicationWillTerminate:(NSNotification*)notification {
  _hostDelegate->applicationWillTerminate(brimlane::toNotification(notification));
  if ([FlutterAppDelegate instancesRespondToSelector:@selector(applicationWillTerminate:)]) {
    [super applicationWillTerminate:notification];
  }
}

- (BOOL)applicationShouldTerminateAfterLastWindowClosed:(NSApplication*)sender {
  return _hostDelegate->applicationShouldTerminateAfterLastWindowClosed();
}

- (BOOL)applicationSupportsSecureRestorableState:(NSApplication*)app {
  return _hostDelegate->applicationSupportsSecureRestorableState();
}

- (BOOL)applicationShouldHandleReopen:(NSApplication*)sender hasVisibleWindows:(BOOL)flag {
  return _hostDelegate->applicationShouldHandleReopen(flag);
}

@end
