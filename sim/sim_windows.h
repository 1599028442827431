// The simulated window server: views, the floating panel, the hidden main
// window, one screen, the key window, and the application object.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/platform/windows.h"
#include "sim/sim_workspace.h"
#include "sim/timeline.h"

namespace brimlane::sim {

template <class Interface>
class SimViewImpl : public Interface {
 public:
  void addSubview(std::shared_ptr<View> subview, WindowOrderingMode place,
                  const std::shared_ptr<View>& relativeTo) override;
  void setTranslatesAutoresizingMaskIntoConstraints(bool translates) override {
    translatesAutoresizingMaskIntoConstraints = translates;
  }

  std::string name;
  // Back to front.
  std::vector<std::shared_ptr<View>> subviews;
  bool translatesAutoresizingMaskIntoConstraints = true;
};

using SimView = SimViewImpl<View>;

class SimVisualEffectView : public SimViewImpl<VisualEffectView> {
 public:
  void setBlendingMode(VisualEffectBlendingMode mode) override { blendingMode = mode; }
  void setState(VisualEffectState newState) override { state = newState; }
  void setMaterial(VisualEffectMaterial newMaterial) override { material = newMaterial; }

  VisualEffectBlendingMode blendingMode = VisualEffectBlendingMode::kWithinWindow;
  VisualEffectState state = VisualEffectState::kFollowsWindowActiveState;
  VisualEffectMaterial material = VisualEffectMaterial::kTitlebar;
};

class SimWindows;

// A window's state. The content view fills the whole frame, so frame and
// content sizes are the same.
template <class Interface>
class SimWindowImpl : public Interface {
 public:
  SimWindowImpl(SimWindows& server, std::string name, Rect frame);

  Rect frame() const override { return frame_; }
  void setFrame(Rect frame, bool display) override;
  void setContentSize(Size size) override;
  void setIsVisible(bool visible) override;
  bool isVisible() const override { return visible_; }
  void center() override;
  void makeKeyAndOrderFront() override;
  void orderFront() override;
  void orderOut() override;
  std::shared_ptr<View> contentView() override { return contentView_; }
  void awakeFromNib() override { log("awakeFromNib"); }

  const std::string& name() const { return name_; }
  // Every operation the host made on the window, in order.
  const std::vector<std::string>& calls() const { return calls_; }

  // What the user does with the window's frame and buttons.
  void userResize(Size size);
  void userMove(Point origin);
  void userClose();
  // The platform takes the window off screen by itself.
  void hideByPlatform();

 protected:
  void log(std::string call) { calls_.push_back(std::move(call)); }
  void resizeKeepingTopEdge(Size size);

  SimWindows& server_;
  std::string name_;
  Rect frame_;
  bool visible_ = false;
  std::shared_ptr<View> contentView_;
  std::vector<std::string> calls_;
};

using SimMainWindow = SimWindowImpl<Window>;

class SimPanel : public SimWindowImpl<Panel> {
 public:
  SimPanel(SimWindows& server, Rect contentRect, WindowStyleMask style, BackingStoreType backing,
           bool defer);

  void setContentViewController(std::shared_ptr<ViewController> controller) override;
  void setTitle(const std::string& newTitle) override;
  void setLevel(WindowLevel newLevel) override;
  void setCollectionBehavior(WindowCollectionBehavior behavior) override;
  void setHidesOnDeactivate(bool hides) override;
  void setFloatingPanel(bool floating) override;
  void setOpaque(bool isOpaque) override;
  void setBackgroundColor(Color color) override;
  void setTitleVisibility(WindowTitleVisibility visibility) override;
  void setTitlebarAppearsTransparent(bool transparent) override;
  void setTitlebarSeparatorStyle(TitlebarSeparatorStyle style) override;
  void setMovableByWindowBackground(bool movable) override;
  void setHasShadow(bool shadow) override;
  void performWindowDragWithEvent(const Event& event) override;

  // Properties, at the platform's defaults until set.
  WindowStyleMask styleMask;
  BackingStoreType backing;
  bool deferred;
  std::shared_ptr<ViewController> contentViewController;
  std::string title;
  WindowLevel level = kNormalWindowLevel;
  WindowCollectionBehavior collectionBehavior = 0;
  bool hidesOnDeactivate = true;
  bool floatingPanel = false;
  bool opaque = true;
  Color backgroundColor = Color::kWindowBackground;
  WindowTitleVisibility titleVisibility = WindowTitleVisibility::kVisible;
  bool titlebarAppearsTransparent = false;
  TitlebarSeparatorStyle titlebarSeparatorStyle = TitlebarSeparatorStyle::kAutomatic;
  bool movableByWindowBackground = false;
  bool hasShadow = true;
  int dragsStarted = 0;
};

class SimWindows : public Windows {
 public:
  SimWindows(Timeline& timeline, SimWorkspace& workspace)
      : timeline_(timeline), workspace_(workspace) {}

  // Windows
  std::shared_ptr<Panel> createPanel(Rect contentRect, WindowStyleMask style,
                                     BackingStoreType backing, bool defer) override;
  std::shared_ptr<VisualEffectView> createVisualEffectView() override;
  void activateConstraints(std::vector<LayoutConstraint> constraints) override;

  std::shared_ptr<SimMainWindow> createMainWindow(Rect frame);

  Size screen{1440, 900};
  // Panels made while this is set have no content view at all.
  bool panelsLackContentView = false;
  // The window that takes keyboard input while the host is active.
  const void* keyWindow = nullptr;
  // Each activateConstraints call, with its constraints.
  std::vector<std::vector<LayoutConstraint>> constraintBatches;

  const std::vector<std::shared_ptr<SimPanel>>& panels() const { return panels_; }
  // The one panel the host made, or nullptr.
  SimPanel* panel() const { return panels_.empty() ? nullptr : panels_.front().get(); }
  bool isKey(const void* window) const;
  // Whether any window of the host (its panel, its main window) is on screen.
  bool anyOnScreen() const;
  // Another application became active: windows that hide on deactivation go.
  void applicationDidActivate(const SimApp& app);
  // The host's process has ended: its windows leave the screen.
  void removeAll();

  Timeline& timeline() { return timeline_; }

 private:
  Timeline& timeline_;
  SimWorkspace& workspace_;
  std::vector<std::shared_ptr<SimPanel>> panels_;
  std::vector<std::shared_ptr<SimMainWindow>> mainWindows_;
};

class SimEvent : public Event {
 public:
  explicit SimEvent(EventType type) : type_(type) {}
  EventType type() const override { return type_; }

 private:
  EventType type_;
};

// The host's application object.
class SimApplicationObject : public Application {
 public:
  explicit SimApplicationObject(SimWorkspace& workspace) : workspace_(workspace) {}

  void activateIgnoringOtherApps(bool ignoringOtherApps) override;
  std::shared_ptr<Event> currentEvent() override { return currentEvent_; }
  std::shared_ptr<ApplicationDelegate> delegate() override { return delegate_.lock(); }

  void setDelegate(std::weak_ptr<ApplicationDelegate> delegate) { delegate_ = std::move(delegate); }
  void setCurrentEvent(std::shared_ptr<Event> event) { currentEvent_ = std::move(event); }
  // The application object's response to "terminate:": it tells the
  // delegate and ends the process, both through `onTerminate`.
  void terminate();
  bool terminated() const { return terminated_; }
  std::function<void()> onTerminate;

 private:
  SimWorkspace& workspace_;
  std::weak_ptr<ApplicationDelegate> delegate_;
  std::shared_ptr<Event> currentEvent_;
  bool terminated_ = false;
};

}  // namespace brimlane::sim
