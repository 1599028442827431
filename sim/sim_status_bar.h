// The simulated menu bar: status items with their buttons, clicks on them, and
// menu tracking answered as the test or scenario chose.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/platform/status_bar.h"
#include "sim/sim_windows.h"
#include "sim/timeline.h"

namespace brimlane::sim {

class SimImage : public Image {
 public:
  SimImage(std::string symbol, std::string description)
      : symbolName(std::move(symbol)), accessibilityDescription(std::move(description)) {}
  void setTemplate(bool templated) override { isTemplate = templated; }

  std::string symbolName;
  std::string accessibilityDescription;
  bool isTemplate = false;
};

class SimStatusItem;

class SimStatusBarButton : public StatusBarButton {
 public:
  explicit SimStatusBarButton(SimStatusItem& item) : item_(item) {}

  void setImage(std::shared_ptr<Image> newImage) override;
  void setTitle(const std::string& newTitle) override { title = newTitle; }
  void setAction(std::function<void()> newAction) override { action = std::move(newAction); }
  void sendActionOn(EventMask mask) override { actionMask = mask; }
  void performClick() override;

  std::shared_ptr<SimImage> image;
  std::string title;
  std::function<void()> action;
  EventMask actionMask = kEventMaskLeftMouseUp;  // the platform's default for buttons

 private:
  SimStatusItem& item_;
};

// How the next menu that pops up is answered.
struct MenuAnswer {
  std::optional<std::string> choose;  // the item's title; nothing dismisses the menu
};

class SimStatusBar;

class SimStatusItem : public StatusItem {
 public:
  SimStatusItem(SimStatusBar& bar, double length, bool withButton);

  StatusBarButton* button() override { return button_.get(); }
  void setMenu(std::optional<Menu> newMenu) override { menu = std::move(newMenu); }

  SimStatusBarButton* simButton() { return button_.get(); }
  // Pops the attached menu up and tracks it until it is answered.
  void trackMenu();

  double length;
  std::optional<Menu> menu;

 private:
  SimStatusBar& bar_;
  std::unique_ptr<SimStatusBarButton> button_;
};

enum class MouseButton { kLeft, kRight };

class SimStatusBar : public StatusBar {
 public:
  SimStatusBar(Timeline& timeline, SimApplicationObject& application)
      : timeline_(timeline), application_(application) {}

  // StatusBar
  std::shared_ptr<StatusItem> statusItemWithLength(double length) override;
  std::shared_ptr<Image> imageWithSystemSymbolName(const std::string& name,
                                                   const std::string& description) override;

  // The user releases a mouse button over the host's status item; with no
  // event, the action arrives outside any event.
  void click(MouseButton button, const std::vector<std::string>& modifiers = {});
  void clickWithoutEvent();

  // The host's process has ended: its status items leave the menu bar.
  void removeAll();

  // The host's status item, or nullptr.
  SimStatusItem* item() const { return items_.empty() ? nullptr : items_.front().get(); }
  // What the menu bar shows for the host: "image textbox" or "title T", or "".
  std::string shows() const;

  // Failure injection and the user's answers to menus.
  bool failStatusItem = false;
  bool failButton = false;
  bool failSymbol = false;
  MenuAnswer menuAnswer;
  // Every menu that popped up, in order.
  std::vector<Menu> menusShown;

  Timeline& timeline() { return timeline_; }
  SimApplicationObject& application() { return application_; }

 private:
  Timeline& timeline_;
  SimApplicationObject& application_;
  std::vector<std::shared_ptr<SimStatusItem>> items_;
};

}  // namespace brimlane::sim
