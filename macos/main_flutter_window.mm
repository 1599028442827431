// The main interface file's window: forwards the messages it overrides to the
// host's MainFlutterWindow, which works on this window through the seam.
#import "macos/main_flutter_window.h"

#include <memory>

#include "app/main_flutter_window.h"
#include "macos/mac_windows.h"

@interface MainFlutterWindow ()
// NSWindow's own handling of the messages this class overrides. The host's
// window reaches the real window through these, never through the overrides,
// which lead back to the host.
- (void)superAwakeFromNib;
- (void)superMakeKeyAndOrderFront;
- (void)superOrderFront;
// The host's window, made on first use whichever initialiser made this one.
- (brimlane::MainFlutterWindow*)hostWindow;
@end

namespace {

// This window as the seam's Window: every operation goes to NSWindow.
class MainWindowOperations final : public brimlane::MacWindowOperations<brimlane::Window> {
 public:
  explicit MainWindowOperations(MainFlutterWindow* window) : window_(window) {}

  void awakeFromNib() override { [window_ superAwakeFromNib]; }
  void makeKeyAndOrderFront() override { [window_ superMakeKeyAndOrderFront]; }
  void orderFront() override { [window_ superOrderFront]; }

 protected:
  NSWindow* nsWindow() const override { return window_; }

 private:
  // Not retained: the window owns the host's window, which owns this.
  __unsafe_unretained MainFlutterWindow* window_;
};

}  // namespace

@implementation MainFlutterWindow {
  std::unique_ptr<brimlane::MainFlutterWindow> _hostWindow;
}

- (instancetype)initWithContentRect:(NSRect)contentRect
                          styleMask:(NSWindowStyleMask)style
                            backing:(NSBackingStoreType)backingStoreType
                              defer:(BOOL)flag {
  self = [super initWithContentRect:contentRect
                          styleMask:style
                            backing:backingStoreType
                              defer:flag];
  if (self) [self hostWindow];
  return self;
}

- (brimlane::MainFlutterWindow*)hostWindow {
  if (!_hostWindow) {
    _hostWindow =
        std::make_unique<brimlane::MainFlutterWindow>(std::make_shared<MainWindowOperations>(self));
  }
  return _hostWindow.get();
}

- (void)awakeFromNib {
  [self hostWindow]->awakeFromNib();
}

// Whoever sends these, the window stays hidden: the host's window drops them.
- (void)makeKeyAndOrderFront:(id)sender {
  [self hostWindow]->makeKeyAndOrderFront();
}

- (void)orderFront:(id)sender {
  [self hostWindow]->orderFront();
}

- (void)superAwakeFromNib {
  [super awakeFromNib];
}

- (void)superMakeKeyAndOrderFront {
  [super makeKeyAndOrderFront:nil];
}

- (void)superOrderFront {
  [super orderFront:nil];
}

@end
