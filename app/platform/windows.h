// Windows, views and the application object: the floating panel and its
// translucent background, the hidden main window, and the application's
// activation, current event and delegate. Main thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/platform/types.h"

namespace brimlane {

using WindowStyleMask = std::uint64_t;
inline constexpr WindowStyleMask kWindowStyleMaskTitled = 1 << 0;
inline constexpr WindowStyleMask kWindowStyleMaskClosable = 1 << 1;
inline constexpr WindowStyleMask kWindowStyleMaskMiniaturizable = 1 << 2;
inline constexpr WindowStyleMask kWindowStyleMaskResizable = 1 << 3;
inline constexpr WindowStyleMask kWindowStyleMaskNonactivatingPanel = 1 << 7;
inline constexpr WindowStyleMask kWindowStyleMaskFullSizeContentView = 1 << 15;

enum class BackingStoreType : std::uint64_t { kRetained = 0, kNonretained = 1, kBuffered = 2 };

using WindowLevel = std::int64_t;
inline constexpr WindowLevel kNormalWindowLevel = 0;
inline constexpr WindowLevel kFloatingWindowLevel = 3;

using WindowCollectionBehavior = std::uint64_t;
inline constexpr WindowCollectionBehavior kWindowCollectionBehaviorCanJoinAllSpaces = 1 << 0;
inline constexpr WindowCollectionBehavior kWindowCollectionBehaviorTransient = 1 << 3;
inline constexpr WindowCollectionBehavior kWindowCollectionBehaviorFullScreenAuxiliary = 1 << 8;

enum class WindowTitleVisibility : std::int64_t { kVisible = 0, kHidden = 1 };
enum class TitlebarSeparatorStyle : std::int64_t {
  kAutomatic = 0,
  kNone = 1,
  kLine = 2,
  kShadow = 3
};
enum class Color { kClear, kWindowBackground };

enum class WindowOrderingMode : std::int64_t { kBelow = -1, kOut = 0, kAbove = 1 };

enum class VisualEffectBlendingMode : std::int64_t { kBehindWindow = 0, kWithinWindow = 1 };
enum class VisualEffectState : std::int64_t {
  kFollowsWindowActiveState = 0,
  kActive = 1,
  kInactive = 2
};
enum class VisualEffectMaterial : std::int64_t {
  kTitlebar = 3,
  kSelection = 4,
  kMenu = 5,
  kSidebar = 7
};

class View {
 public:
  virtual ~View() = default;

  // Adds `subview` ordered relative to `relativeTo`; when `relativeTo` is not
  // one of this view's subviews the subview goes behind (or in front of) all.
  virtual void addSubview(std::shared_ptr<View> subview, WindowOrderingMode place,
                          const std::shared_ptr<View>& relativeTo) = 0;
  virtual void setTranslatesAutoresizingMaskIntoConstraints(bool translates) = 0;
};

class VisualEffectView : public View {
 public:
  virtual void setBlendingMode(VisualEffectBlendingMode mode) = 0;
  virtual void setState(VisualEffectState state) = 0;
  virtual void setMaterial(VisualEffectMaterial material) = 0;
};

class ViewController {
 public:
  virtual ~ViewController() = default;
  virtual std::shared_ptr<View> view() = 0;
};

enum class LayoutAnchor { kTop, kBottom, kLeading, kTrailing };

// `first`'s anchor equals `second`'s same anchor.
struct LayoutConstraint {
  std::shared_ptr<View> first;
  std::shared_ptr<View> second;
  LayoutAnchor anchor;
};

enum class EventType : std::uint64_t {
  kLeftMouseDown = 1,
  kLeftMouseUp = 2,
  kRightMouseDown = 3,
  kRightMouseUp = 4,
  kMouseMoved = 5,
  kLeftMouseDragged = 6,
  kKeyDown = 10,
};

// The event the application is handling right now.
class Event {
 public:
  virtual ~Event() = default;
  virtual EventType type() const = 0;
};

// The operations of a window that the host uses, on the panel and on the
// hidden main window alike.
class Window {
 public:
  virtual ~Window() = default;

  virtual Rect frame() const = 0;
  virtual void setFrame(Rect frame, bool display) = 0;
  virtual void setContentSize(Size size) = 0;
  virtual void setIsVisible(bool visible) = 0;
  virtual bool isVisible() const = 0;
  // Centres the window on its screen.
  virtual void center() = 0;
  // Brings the window to the front of its level and makes it the key window.
  virtual void makeKeyAndOrderFront() = 0;
  virtual void orderFront() = 0;
  virtual void orderOut() = 0;
  // The window's content view, if it has one.
  virtual std::shared_ptr<View> contentView() = 0;
  // The class's own response to being loaded from an interface file.
  virtual void awakeFromNib() = 0;
};

class Panel : public Window {
 public:
  // The controller's view becomes the panel's content view.
  virtual void setContentViewController(std::shared_ptr<ViewController> controller) = 0;
  virtual void setTitle(const std::string& title) = 0;
  virtual void setLevel(WindowLevel level) = 0;
  virtual void setCollectionBehavior(WindowCollectionBehavior behavior) = 0;
  virtual void setHidesOnDeactivate(bool hides) = 0;
  virtual void setFloatingPanel(bool floating) = 0;
  virtual void setOpaque(bool opaque) = 0;
  virtual void setBackgroundColor(Color color) = 0;
  virtual void setTitleVisibility(WindowTitleVisibility visibility) = 0;
  virtual void setTitlebarAppearsTransparent(bool transparent) = 0;
  virtual void setTitlebarSeparatorStyle(TitlebarSeparatorStyle style) = 0;
  virtual void setMovableByWindowBackground(bool movable) = 0;
  virtual void setHasShadow(bool hasShadow) = 0;
  // Lets the user drag the panel, starting from the given mouse event.
  virtual void performWindowDragWithEvent(const Event& event) = 0;
};

class Windows {
 public:
  virtual ~Windows() = default;

  virtual std::shared_ptr<Panel> createPanel(Rect contentRect, WindowStyleMask style,
                                             BackingStoreType backing, bool defer) = 0;
  virtual std::shared_ptr<VisualEffectView> createVisualEffectView() = 0;
  // Activates all the constraints at once.
  virtual void activateConstraints(std::vector<LayoutConstraint> constraints) = 0;
};

// The object installed as the application's delegate. The platform holds it
// weakly; its owner is whatever created it.
class ApplicationDelegate {
 public:
  virtual ~ApplicationDelegate() = default;
};

// The application object of this process.
class Application {
 public:
  virtual ~Application() = default;

  // Makes this application the active one; with `ignoringOtherApps` even when
  // another application is active.
  virtual void activateIgnoringOtherApps(bool ignoringOtherApps) = 0;

  // The event being handled, or nullptr outside event handling.
  virtual std::shared_ptr<Event> currentEvent() = 0;

  // The application's delegate, or nullptr when it has none (or it is gone).
  virtual std::shared_ptr<ApplicationDelegate> delegate() = 0;
};

}  // namespace brimlane
