#include "sim/sim_status_bar.h"

namespace brimlane::sim {

void SimStatusBarButton::setImage(std::shared_ptr<Image> newImage) {
  image = std::static_pointer_cast<SimImage>(std::move(newImage));
}

void SimStatusBarButton::performClick() {
  if (item_.menu) {
    item_.trackMenu();
  } else if (action) {
    action();
  }
}

SimStatusItem::SimStatusItem(SimStatusBar& bar, double length, bool withButton)
    : length(length), bar_(bar) {
  if (withButton) button_ = std::make_unique<SimStatusBarButton>(*this);
}

void SimStatusItem::trackMenu() {
  const Menu shown = *menu;
  bar_.menusShown.push_back(shown);
  std::string titles;
  for (const MenuItem& item : shown.items)
    titles += (titles.empty() ? "\"" : ", \"") + item.title + "\"";
  bar_.timeline().record(Source::kMenuBar, "menu", "A menu pops up with " + titles + ".");
  const std::optional<std::string> choice = bar_.menuAnswer.choose;
  if (!choice) {
    bar_.timeline().record(Source::kUser, "dismiss", "The user dismisses the menu.");
    return;
  }
  for (const MenuItem& item : shown.items) {
    if (item.title != *choice) continue;
    bar_.timeline().record(Source::kUser, "choose", "The user chooses \"" + item.title + "\".");
    // Without a target the action goes up the responder chain to the
    // application object, which is the one that answers "terminate:".
    if (item.action == "terminate:") bar_.application().terminate();
    return;
  }
  bar_.timeline().record(Source::kUser, "dismiss",
                         "The menu has no \"" + *choice + "\"; the user dismisses it.");
}

std::shared_ptr<StatusItem> SimStatusBar::statusItemWithLength(double length) {
  if (failStatusItem) {
    timeline_.record(Source::kMenuBar, "no status item", "The status bar gives no item.");
    return nullptr;
  }
  timeline_.record(Source::kMenuBar, "status item", "A status item appears in the menu bar.");
  auto item = std::make_shared<SimStatusItem>(*this, length, !failButton);
  items_.push_back(item);
  return item;
}

std::shared_ptr<Image> SimStatusBar::imageWithSystemSymbolName(const std::string& name,
                                                               const std::string& description) {
  if (failSymbol) return nullptr;
  return std::make_shared<SimImage>(name, description);
}

void SimStatusBar::click(MouseButton mouseButton, const std::vector<std::string>& modifiers) {
  const bool right = mouseButton == MouseButton::kRight;
  std::string held;
  for (const std::string& modifier : modifiers)
    held += (held.empty() ? " holding " : "+") + modifier;
  timeline_.record(Source::kUser, right ? "right click" : "left click",
                   std::string("The user ") + (right ? "right" : "left") +
                       "-clicks the status item" + held + ".");
  SimStatusItem* statusItem = item();
  if (!statusItem || !statusItem->simButton()) return;
  if (statusItem->menu) {
    statusItem->trackMenu();
    return;
  }
  SimStatusBarButton& button = *statusItem->simButton();
  const EventMask mask = right ? kEventMaskRightMouseUp : kEventMaskLeftMouseUp;
  if (!(button.actionMask & mask) || !button.action) return;
  application_.setCurrentEvent(
      std::make_shared<SimEvent>(right ? EventType::kRightMouseUp : EventType::kLeftMouseUp));
  button.action();
  application_.setCurrentEvent(nullptr);
}

void SimStatusBar::clickWithoutEvent() {
  timeline_.record(Source::kUser, "action", "The status item's action arrives with no event.");
  SimStatusItem* statusItem = item();
  if (statusItem && statusItem->simButton() && statusItem->simButton()->action) {
    statusItem->simButton()->action();
  }
}

void SimStatusBar::removeAll() {
  if (items_.empty()) return;
  // The host may still hold an item (the menu that chose Quit is one of its
  // calls, still on the stack); it is simply no longer in the menu bar.
  items_.clear();
  timeline_.record(Source::kMenuBar, "status item gone", "The status item leaves the menu bar.");
}

std::string SimStatusBar::shows() const {
  const SimStatusItem* statusItem = item();
  if (!statusItem) return "";
  SimStatusBarButton* button = const_cast<SimStatusItem*>(statusItem)->simButton();
  if (!button) return "";
  if (button->image) return "image " + button->image->symbolName;
  if (!button->title.empty()) return "title " + button->title;
  return "";
}

}  // namespace brimlane::sim
