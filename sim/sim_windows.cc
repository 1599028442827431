#include "sim/sim_windows.h"

#include <algorithm>
#include <cstdio>

namespace brimlane::sim {
namespace {

std::string formatSize(Size size) {
  char text[64];
  std::snprintf(text, sizeof text, "%g × %g", size.width, size.height);
  return text;
}

std::string formatPoint(Point point) {
  char text[64];
  std::snprintf(text, sizeof text, "(%g, %g)", point.x, point.y);
  return text;
}

}  // namespace

template <class Interface>
void SimViewImpl<Interface>::addSubview(std::shared_ptr<View> subview, WindowOrderingMode place,
                                        const std::shared_ptr<View>& relativeTo) {
  auto sibling = std::find(subviews.begin(), subviews.end(), relativeTo);
  if (sibling == subviews.end()) {
    // Not one of the subviews: behind all of them, or in front of all.
    sibling = place == WindowOrderingMode::kBelow ? subviews.begin() : subviews.end();
  } else if (place != WindowOrderingMode::kBelow) {
    ++sibling;
  }
  subviews.insert(sibling, std::move(subview));
}

template class SimViewImpl<View>;
template class SimViewImpl<VisualEffectView>;

template <class Interface>
SimWindowImpl<Interface>::SimWindowImpl(SimWindows& server, std::string name, Rect frame)
    : server_(server), name_(std::move(name)), frame_(frame) {}

template <class Interface>
void SimWindowImpl<Interface>::setFrame(Rect frame, bool display) {
  log(display ? "setFrame:display:YES" : "setFrame:display:NO");
  frame_ = frame;
}

template <class Interface>
void SimWindowImpl<Interface>::resizeKeepingTopEdge(Size size) {
  // Screen coordinates grow upwards, so the origin moves to keep the top put.
  frame_.origin.y += frame_.size.height - size.height;
  frame_.size = size;
}

template <class Interface>
void SimWindowImpl<Interface>::setContentSize(Size size) {
  log("setContentSize");
  resizeKeepingTopEdge(size);
  server_.timeline().record(Source::kPanel, "resize",
                            "The " + name_ + " is resized to " + formatSize(size) + ".");
}

template <class Interface>
void SimWindowImpl<Interface>::setIsVisible(bool visible) {
  log(visible ? "setIsVisible:YES" : "setIsVisible:NO");
  visible_ = visible;
  if (!visible && server_.keyWindow == this) server_.keyWindow = nullptr;
}

template <class Interface>
void SimWindowImpl<Interface>::center() {
  log("center");
  frame_.origin = {(server_.screen.width - frame_.size.width) / 2,
                   (server_.screen.height - frame_.size.height) / 2};
  server_.timeline().record(Source::kPanel, "center",
                            "The " + name_ + " is centred at " + formatPoint(frame_.origin) + ".");
}

template <class Interface>
void SimWindowImpl<Interface>::makeKeyAndOrderFront() {
  log("makeKeyAndOrderFront");
  visible_ = true;
  server_.keyWindow = this;
  server_.timeline().record(Source::kPanel, "show",
                            "The " + name_ + " comes to the front and becomes key.");
}

template <class Interface>
void SimWindowImpl<Interface>::orderFront() {
  log("orderFront");
  visible_ = true;
  server_.timeline().record(Source::kPanel, "show", "The " + name_ + " comes to the front.");
}

template <class Interface>
void SimWindowImpl<Interface>::orderOut() {
  log("orderOut");
  const bool wasVisible = visible_;
  visible_ = false;
  if (server_.keyWindow == this) server_.keyWindow = nullptr;
  if (wasVisible) {
    server_.timeline().record(Source::kPanel, "hide", "The " + name_ + " leaves the screen.");
  }
}

template <class Interface>
void SimWindowImpl<Interface>::userResize(Size size) {
  resizeKeepingTopEdge(size);
  server_.timeline().record(Source::kUser, "resize",
                            "The user resizes the " + name_ + " to " + formatSize(size) + ".");
}

template <class Interface>
void SimWindowImpl<Interface>::userMove(Point origin) {
  frame_.origin = origin;
  server_.timeline().record(Source::kUser, "move",
                            "The user drags the " + name_ + " to " + formatPoint(origin) + ".");
}

template <class Interface>
void SimWindowImpl<Interface>::userClose() {
  server_.timeline().record(Source::kUser, "close",
                            "The user closes the " + name_ + " with its close button.");
  visible_ = false;
  if (server_.keyWindow == this) server_.keyWindow = nullptr;
}

template <class Interface>
void SimWindowImpl<Interface>::hideByPlatform() {
  visible_ = false;
  if (server_.keyWindow == this) server_.keyWindow = nullptr;
}

template class SimWindowImpl<Window>;
template class SimWindowImpl<Panel>;

SimPanel::SimPanel(SimWindows& server, Rect contentRect, WindowStyleMask style,
                   BackingStoreType backing, bool defer)
    : SimWindowImpl<Panel>(server, "panel", contentRect),
      styleMask(style),
      backing(backing),
      deferred(defer) {
  log("initWithContentRect:styleMask:backing:defer:");
}

void SimPanel::setContentViewController(std::shared_ptr<ViewController> controller) {
  log("setContentViewController");
  contentViewController = std::move(controller);
  contentView_ = contentViewController && !server_.panelsLackContentView
                     ? contentViewController->view()
                     : nullptr;
}

void SimPanel::setTitle(const std::string& newTitle) {
  log("setTitle");
  title = newTitle;
}
void SimPanel::setLevel(WindowLevel newLevel) {
  log("setLevel");
  level = newLevel;
}
void SimPanel::setCollectionBehavior(WindowCollectionBehavior behavior) {
  log("setCollectionBehavior");
  collectionBehavior = behavior;
}
void SimPanel::setHidesOnDeactivate(bool hides) {
  log("setHidesOnDeactivate");
  hidesOnDeactivate = hides;
}
void SimPanel::setFloatingPanel(bool floating) {
  log("setFloatingPanel");
  floatingPanel = floating;
}
void SimPanel::setOpaque(bool isOpaque) {
  log("setOpaque");
  opaque = isOpaque;
}
void SimPanel::setBackgroundColor(Color color) {
  log("setBackgroundColor");
  backgroundColor = color;
}
void SimPanel::setTitleVisibility(WindowTitleVisibility visibility) {
  log("setTitleVisibility");
  titleVisibility = visibility;
}
void SimPanel::setTitlebarAppearsTransparent(bool transparent) {
  log("setTitlebarAppearsTransparent");
  titlebarAppearsTransparent = transparent;
}
void SimPanel::setTitlebarSeparatorStyle(TitlebarSeparatorStyle style) {
  log("setTitlebarSeparatorStyle");
  titlebarSeparatorStyle = style;
}
void SimPanel::setMovableByWindowBackground(bool movable) {
  log("setMovableByWindowBackground");
  movableByWindowBackground = movable;
}
void SimPanel::setHasShadow(bool shadow) {
  log("setHasShadow");
  hasShadow = shadow;
}

void SimPanel::performWindowDragWithEvent(const Event&) {
  log("performWindowDragWithEvent");
  ++dragsStarted;
  server_.timeline().record(Source::kPanel, "drag", "A drag of the panel starts.");
}

std::shared_ptr<Panel> SimWindows::createPanel(Rect contentRect, WindowStyleMask style,
                                               BackingStoreType backing, bool defer) {
  auto panel = std::make_shared<SimPanel>(*this, contentRect, style, backing, defer);
  timeline_.record(Source::kPanel, "create", "The host builds its floating panel.");
  panels_.push_back(panel);
  return panel;
}

std::shared_ptr<VisualEffectView> SimWindows::createVisualEffectView() {
  auto view = std::make_shared<SimVisualEffectView>();
  view->name = "visual effect view";
  return view;
}

void SimWindows::activateConstraints(std::vector<LayoutConstraint> constraints) {
  constraintBatches.push_back(std::move(constraints));
}

std::shared_ptr<SimMainWindow> SimWindows::createMainWindow(Rect frame) {
  auto window = std::make_shared<SimMainWindow>(*this, "main window", frame);
  mainWindows_.push_back(window);
  return window;
}

bool SimWindows::isKey(const void* window) const {
  SimApp* active = workspace_.frontmost();
  return window && keyWindow == window && active == &workspace_.host();
}

bool SimWindows::anyOnScreen() const {
  const auto visible = [](const auto& window) { return window->isVisible(); };
  return std::any_of(panels_.begin(), panels_.end(), visible) ||
         std::any_of(mainWindows_.begin(), mainWindows_.end(), visible);
}

void SimWindows::removeAll() {
  for (const auto& panel : panels_) {
    if (!panel->isVisible()) continue;
    timeline_.record(Source::kPanel, "hide", "The panel leaves the screen with the host.");
    panel->hideByPlatform();
  }
  for (const auto& window : mainWindows_) window->hideByPlatform();
}

void SimWindows::applicationDidActivate(const SimApp& app) {
  if (&app == &workspace_.host()) return;
  for (const auto& panel : panels_) {
    if (panel->hidesOnDeactivate && panel->isVisible()) {
      timeline_.record(Source::kPanel, "hide", "The panel hides as the host is deactivated.");
      panel->hideByPlatform();
    }
  }
}

void SimApplicationObject::activateIgnoringOtherApps(bool) {
  workspace_.activate(workspace_.host());
}

void SimApplicationObject::terminate() {
  if (terminated_) return;
  terminated_ = true;
  currentEvent_.reset();
  delegate_.reset();
  if (onTerminate) onTerminate();
}

}  // namespace brimlane::sim
