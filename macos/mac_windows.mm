// Windows over AppKit: NSPanel and its properties, NSView and
// NSVisualEffectView, anchored NSLayoutConstraints, NSEvent, and NSApp.
#include "macos/mac_windows.h"

#include "app/app_delegate.h"
#import "macos/app_delegate.h"

// The C++ delegate behind NSApp.delegate, when that is this application's own
// delegate class; a foreign delegate counts as none.
static std::shared_ptr<brimlane::ApplicationDelegate> hostApplicationDelegate() {
  id delegate = NSApp.delegate;
  if (![delegate isKindOfClass:[AppDelegate class]]) return nullptr;
  AppDelegate* appDelegate = delegate;
  return [appDelegate hostDelegate];
}

namespace brimlane {
namespace {

// The seam's numbers are AppKit's own, so values pass through unchanged.
static_assert(kWindowStyleMaskTitled == NSWindowStyleMaskTitled);
static_assert(kWindowStyleMaskClosable == NSWindowStyleMaskClosable);
static_assert(kWindowStyleMaskMiniaturizable == NSWindowStyleMaskMiniaturizable);
static_assert(kWindowStyleMaskResizable == NSWindowStyleMaskResizable);
static_assert(kWindowStyleMaskNonactivatingPanel == NSWindowStyleMaskNonactivatingPanel);
static_assert(kWindowStyleMaskFullSizeContentView == NSWindowStyleMaskFullSizeContentView);
static_assert(static_cast<NSBackingStoreType>(BackingStoreType::kBuffered) ==
              NSBackingStoreBuffered);
static_assert(kWindowCollectionBehaviorCanJoinAllSpaces ==
              NSWindowCollectionBehaviorCanJoinAllSpaces);
static_assert(kWindowCollectionBehaviorTransient == NSWindowCollectionBehaviorTransient);
static_assert(kWindowCollectionBehaviorFullScreenAuxiliary ==
              NSWindowCollectionBehaviorFullScreenAuxiliary);
static_assert(static_cast<NSWindowTitleVisibility>(WindowTitleVisibility::kHidden) ==
              NSWindowTitleHidden);
static_assert(static_cast<NSTitlebarSeparatorStyle>(TitlebarSeparatorStyle::kNone) ==
              NSTitlebarSeparatorStyleNone);
static_assert(static_cast<NSWindowOrderingMode>(WindowOrderingMode::kBelow) == NSWindowBelow);
static_assert(static_cast<NSWindowOrderingMode>(WindowOrderingMode::kAbove) == NSWindowAbove);
static_assert(static_cast<NSVisualEffectBlendingMode>(VisualEffectBlendingMode::kBehindWindow) ==
              NSVisualEffectBlendingModeBehindWindow);
static_assert(static_cast<NSVisualEffectState>(VisualEffectState::kActive) ==
              NSVisualEffectStateActive);
static_assert(static_cast<NSVisualEffectMaterial>(VisualEffectMaterial::kSidebar) ==
              NSVisualEffectMaterialSidebar);
static_assert(static_cast<NSEventType>(EventType::kLeftMouseUp) == NSEventTypeLeftMouseUp);
static_assert(static_cast<NSEventType>(EventType::kRightMouseUp) == NSEventTypeRightMouseUp);
static_assert(static_cast<NSEventType>(EventType::kLeftMouseDown) == NSEventTypeLeftMouseDown);

template <class Interface>
class MacViewOperations : public Interface, public NativeView {
 public:
  void addSubview(std::shared_ptr<View> subview, WindowOrderingMode place,
                  const std::shared_ptr<View>& relativeTo) override {
    NSView* child = toNSView(subview);
    if (!child) return;
    [this->nsView() addSubview:child
                    positioned:static_cast<NSWindowOrderingMode>(place)
                    relativeTo:toNSView(relativeTo)];
  }
  void setTranslatesAutoresizingMaskIntoConstraints(bool translates) override {
    this->nsView().translatesAutoresizingMaskIntoConstraints = translates;
  }
};

class MacView : public MacViewOperations<View> {
 public:
  explicit MacView(NSView* view) : view_(view) {}
  NSView* nsView() const override { return view_; }

 private:
  NSView* view_;
};

class MacVisualEffectView : public MacViewOperations<VisualEffectView> {
 public:
  explicit MacVisualEffectView(NSVisualEffectView* view) : view_(view) {}
  NSView* nsView() const override { return view_; }

  void setBlendingMode(VisualEffectBlendingMode mode) override {
    view_.blendingMode = static_cast<NSVisualEffectBlendingMode>(mode);
  }
  void setState(VisualEffectState state) override {
    view_.state = static_cast<NSVisualEffectState>(state);
  }
  void setMaterial(VisualEffectMaterial material) override {
    view_.material = static_cast<NSVisualEffectMaterial>(material);
  }

 private:
  NSVisualEffectView* view_;
};

class MacEvent : public Event {
 public:
  explicit MacEvent(NSEvent* event) : event_(event) {}
  EventType type() const override { return static_cast<EventType>(event_.type); }
  NSEvent* nsEvent() const { return event_; }

 private:
  NSEvent* event_;
};

class MacPanel : public MacWindowOperations<Panel> {
 public:
  explicit MacPanel(NSPanel* panel) : panel_(panel) {}

  void setContentViewController(std::shared_ptr<ViewController> controller) override {
    const auto* native = dynamic_cast<const NativeViewController*>(controller.get());
    panel_.contentViewController = native ? native->nsViewController() : nil;
  }
  void setTitle(const std::string& title) override { panel_.title = toNSString(title); }
  void setLevel(WindowLevel level) override { panel_.level = static_cast<NSWindowLevel>(level); }
  void setCollectionBehavior(WindowCollectionBehavior behavior) override {
    panel_.collectionBehavior = static_cast<NSWindowCollectionBehavior>(behavior);
  }
  void setHidesOnDeactivate(bool hides) override { panel_.hidesOnDeactivate = hides; }
  void setFloatingPanel(bool floating) override { panel_.floatingPanel = floating; }
  void setOpaque(bool opaque) override { panel_.opaque = opaque; }
  void setBackgroundColor(Color color) override { panel_.backgroundColor = toNSColor(color); }
  void setTitleVisibility(WindowTitleVisibility visibility) override {
    panel_.titleVisibility = static_cast<NSWindowTitleVisibility>(visibility);
  }
  void setTitlebarAppearsTransparent(bool transparent) override {
    panel_.titlebarAppearsTransparent = transparent;
  }
  void setTitlebarSeparatorStyle(TitlebarSeparatorStyle style) override {
    panel_.titlebarSeparatorStyle = static_cast<NSTitlebarSeparatorStyle>(style);
  }
  void setMovableByWindowBackground(bool movable) override {
    panel_.movableByWindowBackground = movable;
  }
  void setHasShadow(bool hasShadow) override { panel_.hasShadow = hasShadow; }
  void performWindowDragWithEvent(const Event& event) override {
    // Only an event the application object handed out has an NSEvent behind it.
    if (const auto* native = dynamic_cast<const MacEvent*>(&event)) {
      [panel_ performWindowDragWithEvent:native->nsEvent()];
    }
  }

 protected:
  NSWindow* nsWindow() const override { return panel_; }

 private:
  NSPanel* panel_;
};

NSLayoutConstraint* makeConstraint(NSView* first, NSView* second, LayoutAnchor anchor) {
  switch (anchor) {
    case LayoutAnchor::kTop:
      return [first.topAnchor constraintEqualToAnchor:second.topAnchor];
    case LayoutAnchor::kBottom:
      return [first.bottomAnchor constraintEqualToAnchor:second.bottomAnchor];
    case LayoutAnchor::kLeading:
      return [first.leadingAnchor constraintEqualToAnchor:second.leadingAnchor];
    case LayoutAnchor::kTrailing:
      return [first.trailingAnchor constraintEqualToAnchor:second.trailingAnchor];
  }
  return nil;
}

}  // namespace

NSView* toNSView(const std::shared_ptr<View>& view) {
  const auto* native = dynamic_cast<const NativeView*>(view.get());
  return native ? native->nsView() : nil;
}

std::shared_ptr<View> wrapView(NSView* view) {
  if (!view) return nullptr;
  return std::make_shared<MacView>(view);
}

NSColor* toNSColor(Color color) {
  switch (color) {
    case Color::kClear:
      return NSColor.clearColor;
    case Color::kWindowBackground:
      return NSColor.windowBackgroundColor;
  }
  return nil;
}

std::shared_ptr<Panel> MacWindows::createPanel(Rect contentRect, WindowStyleMask style,
                                               BackingStoreType backing, bool defer) {
  NSPanel* panel = [[NSPanel alloc] initWithContentRect:toNSRect(contentRect)
                                              styleMask:static_cast<NSWindowStyleMask>(style)
                                                backing:static_cast<NSBackingStoreType>(backing)
                                                  defer:defer];
  return std::make_shared<MacPanel>(panel);
}

std::shared_ptr<VisualEffectView> MacWindows::createVisualEffectView() {
  return std::make_shared<MacVisualEffectView>([[NSVisualEffectView alloc] init]);
}

void MacWindows::activateConstraints(std::vector<LayoutConstraint> constraints) {
  NSMutableArray<NSLayoutConstraint*>* batch = [NSMutableArray array];
  for (const LayoutConstraint& constraint : constraints) {
    NSView* first = toNSView(constraint.first);
    NSView* second = toNSView(constraint.second);
    if (!first || !second) continue;
    [batch addObject:makeConstraint(first, second, constraint.anchor)];
  }
  [NSLayoutConstraint activateConstraints:batch];
}

// The forcing call on every system. From macOS 14 on, -activate is only a
// request, which the system may decline ("does not guarantee" activation, says
// NSApplication.h), and does decline often enough for an accessory application
// summoned by a hot key: the panel is then shown but not key, and what the
// user types next goes into the document they came from. The forcing call is
// marked to be deprecated, not removed, and has been seen honoured on macOS 15
// where -activate was declined.
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wdeprecated-declarations"
void MacApplication::activateIgnoringOtherApps(bool ignoringOtherApps) {
  [NSApp activateIgnoringOtherApps:ignoringOtherApps];
}
#pragma clang diagnostic pop

std::shared_ptr<Event> MacApplication::currentEvent() {
  NSEvent* event = NSApp.currentEvent;
  if (!event) return nullptr;
  return std::make_shared<MacEvent>(event);
}

std::shared_ptr<ApplicationDelegate> MacApplication::delegate() {
  return hostApplicationDelegate();
}

}  // namespace brimlane
