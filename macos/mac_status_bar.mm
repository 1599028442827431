// Status bar over NSStatusBar.systemStatusBar: the status item, its button with
// image, title and target/action, and a menu built from the seam's value.
#include "macos/mac_status_bar.h"

#import <AppKit/AppKit.h>

#include "macos/mac_conversions.h"

// The button's target. A button holds its target weakly, so the button's
// wrapper keeps this alive for as long as the action is set.
@interface BrimlaneStatusBarTarget : NSObject
- (instancetype)initWithAction:(std::function<void()>)action;
- (void)statusBarButtonClicked;
@end

@implementation BrimlaneStatusBarTarget {
  std::function<void()> _action;
}

- (instancetype)initWithAction:(std::function<void()>)action {
  self = [super init];
  if (self) _action = std::move(action);
  return self;
}

- (void)statusBarButtonClicked {
  if (_action) _action();
}

@end

namespace brimlane {
namespace {

static_assert(kEventMaskLeftMouseUp == NSEventMaskLeftMouseUp);
static_assert(kEventMaskRightMouseUp == NSEventMaskRightMouseUp);

class MacImage : public Image {
 public:
  explicit MacImage(NSImage* image) : image_(image) {}
  // Not the dot syntax: the property's name is a C++ keyword.
  void setTemplate(bool isTemplate) override { [image_ setTemplate:isTemplate]; }
  NSImage* nsImage() const { return image_; }

 private:
  NSImage* image_;
};

class MacStatusBarButton : public StatusBarButton {
 public:
  explicit MacStatusBarButton(NSStatusBarButton* button) : button_(button) {}

  void setImage(std::shared_ptr<Image> image) override {
    const auto* native = dynamic_cast<const MacImage*>(image.get());
    button_.image = native ? native->nsImage() : nil;
  }
  void setTitle(const std::string& title) override { button_.title = toNSString(title); }
  void setAction(std::function<void()> action) override {
    target_ = action ? [[BrimlaneStatusBarTarget alloc] initWithAction:std::move(action)] : nil;
    button_.target = target_;
    button_.action = target_ ? @selector(statusBarButtonClicked) : nullptr;
  }
  void sendActionOn(EventMask mask) override {
    [button_ sendActionOn:static_cast<NSEventMask>(mask)];
  }
  void performClick() override { [button_ performClick:nil]; }

 private:
  NSStatusBarButton* button_;
  BrimlaneStatusBarTarget* target_ = nil;
};

class MacStatusItem : public StatusItem {
 public:
  explicit MacStatusItem(NSStatusItem* item) : item_(item) {}

  StatusBarButton* button() override {
    NSStatusBarButton* button = item_.button;
    if (!button) return nullptr;
    // The item's button never changes; one wrapper keeps the action's target.
    if (!button_) button_ = std::make_unique<MacStatusBarButton>(button);
    return button_.get();
  }

  void setMenu(std::optional<Menu> menu) override {
    if (!menu) {
      item_.menu = nil;
      return;
    }
    NSMenu* nsMenu = [[NSMenu alloc] init];
    for (const MenuItem& item : menu->items) {
      // No target: the action travels the responder chain.
      [nsMenu
          addItem:[[NSMenuItem alloc] initWithTitle:toNSString(item.title)
                                             action:NSSelectorFromString(toNSString(item.action))
                                      keyEquivalent:toNSString(item.keyEquivalent)]];
    }
    item_.menu = nsMenu;
  }

 private:
  NSStatusItem* item_;
  std::unique_ptr<MacStatusBarButton> button_;
};

}  // namespace

std::shared_ptr<StatusItem> MacStatusBar::statusItemWithLength(double length) {
  NSStatusItem* item = [NSStatusBar.systemStatusBar statusItemWithLength:length];
  if (!item) return nullptr;
  return std::make_shared<MacStatusItem>(item);
}

std::shared_ptr<Image> MacStatusBar::imageWithSystemSymbolName(
    const std::string& name, const std::string& accessibilityDescription) {
  NSImage* image = [NSImage imageWithSystemSymbolName:toNSString(name)
                             accessibilityDescription:toNSString(accessibilityDescription)];
  if (!image) return nullptr;
  return std::make_shared<MacImage>(image);
}

}  // namespace brimlane
