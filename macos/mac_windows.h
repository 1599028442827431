// Windows, views and the application object over AppKit. Objective-C++ only.
#pragma once

#import <AppKit/AppKit.h>

#include "app/platform/windows.h"
#include "macos/mac_conversions.h"

namespace brimlane {

// What every view of the Mac layer stands for, so that views handed back
// through the seam (as a subview, a sibling or a constraint's view) can be
// turned into the AppKit view again.
class NativeView {
 public:
  virtual NSView* nsView() const = 0;

 protected:
  ~NativeView() = default;
};

// The same for view controllers, which the panel takes as its content.
class NativeViewController {
 public:
  virtual NSViewController* nsViewController() const = 0;

 protected:
  ~NativeViewController() = default;
};

// The AppKit view behind a view of the seam, or nil when it is none of ours.
NSView* toNSView(const std::shared_ptr<View>& view);

// A plain view; nullptr for nil.
std::shared_ptr<View> wrapView(NSView* view);

NSColor* toNSColor(Color color);

// The seam's window operations sent to an NSWindow. A subclass says which
// window, and may send some of them elsewhere.
template <class Interface>
class MacWindowOperations : public Interface {
 public:
  Rect frame() const override { return toRect(nsWindow().frame); }
  void setFrame(Rect frame, bool display) override {
    [nsWindow() setFrame:toNSRect(frame) display:display];
  }
  void setContentSize(Size size) override { [nsWindow() setContentSize:toNSSize(size)]; }
  void setIsVisible(bool visible) override { [nsWindow() setIsVisible:visible]; }
  bool isVisible() const override { return nsWindow().isVisible; }
  void center() override { [nsWindow() center]; }
  void makeKeyAndOrderFront() override { [nsWindow() makeKeyAndOrderFront:nil]; }
  void orderFront() override { [nsWindow() orderFront:nil]; }
  void orderOut() override { [nsWindow() orderOut:nil]; }
  std::shared_ptr<View> contentView() override { return wrapView(nsWindow().contentView); }
  void awakeFromNib() override { [nsWindow() awakeFromNib]; }

 protected:
  virtual NSWindow* nsWindow() const = 0;
};

class MacWindows : public Windows {
 public:
  std::shared_ptr<Panel> createPanel(Rect contentRect, WindowStyleMask style,
                                     BackingStoreType backing, bool defer) override;
  std::shared_ptr<VisualEffectView> createVisualEffectView() override;
  void activateConstraints(std::vector<LayoutConstraint> constraints) override;
};

class MacApplication : public Application {
 public:
  void activateIgnoringOtherApps(bool ignoringOtherApps) override;
  std::shared_ptr<Event> currentEvent() override;
  std::shared_ptr<ApplicationDelegate> delegate() override;
};

}  // namespace brimlane
