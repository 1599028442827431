// The menu bar's status items: the item, its button with image or title and
// target/action, and a menu attached to the item while it is up. Main thread
// only.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace brimlane {

inline constexpr double kSquareStatusItemLength = -2.0;

using EventMask = std::uint64_t;
inline constexpr EventMask kEventMaskLeftMouseUp = 1 << 2;
inline constexpr EventMask kEventMaskRightMouseUp = 1 << 4;

class Image {
 public:
  virtual ~Image() = default;
  // A template image is drawn in the menu bar's own colours.
  virtual void setTemplate(bool isTemplate) = 0;
};

// A menu item whose action has no target travels the responder chain.
struct MenuItem {
  std::string title;
  std::string action;  // the selector, e.g. "terminate:"
  std::string keyEquivalent;
};

struct Menu {
  std::vector<MenuItem> items;
};

class StatusBarButton {
 public:
  virtual ~StatusBarButton() = default;

  virtual void setImage(std::shared_ptr<Image> image) = 0;
  virtual void setTitle(const std::string& title) = 0;
  // Target and action: `action` runs whenever the button sends its action.
  // It must hold its target weakly, as the platform does.
  virtual void setAction(std::function<void()> action) = 0;
  // The mouse events on which the action is sent.
  virtual void sendActionOn(EventMask mask) = 0;
  // Clicks the button; with a menu attached to the item this pops the menu up
  // and returns once it has closed.
  virtual void performClick() = 0;
};

class StatusItem {
 public:
  virtual ~StatusItem() = default;

  // The item's button, or nullptr when it has none.
  virtual StatusBarButton* button() = 0;
  // Attaches a menu (shown on the next click) or detaches it (nullopt).
  virtual void setMenu(std::optional<Menu> menu) = 0;
};

class StatusBar {
 public:
  virtual ~StatusBar() = default;

  // A new item in the system status bar, or nullptr when none is given. The
  // item stays in the menu bar while it is held.
  virtual std::shared_ptr<StatusItem> statusItemWithLength(double length) = 0;

  // A system symbol image, or nullptr when the symbol is not available.
  virtual std::shared_ptr<Image> imageWithSystemSymbolName(
      const std::string& name, const std::string& accessibilityDescription) = 0;
};

}  // namespace brimlane
