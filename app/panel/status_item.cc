// The status item in the menu bar: a left click toggles the panel, a right
// click offers "Quit".
#include "app/app_delegate.h"

namespace brimlane {
namespace {

constexpr EventMask kStatusItemActionMask = kEventMaskLeftMouseUp | kEventMaskRightMouseUp;

}  // namespace

void AppDelegate::setupStatusItem() {
  statusItem = services_.statusBar.statusItemWithLength(kSquareStatusItemLength);
  if (!statusItem) return;
  StatusBarButton* button = statusItem->button();
  if (!button) return;

  if (const std::shared_ptr<Image> image =
          services_.statusBar.imageWithSystemSymbolName("textbox", "Brimlane")) {
    // A template image follows the menu bar's light or dark appearance.
    image->setTemplate(true);
    button->setImage(image);
  } else {
    button->setTitle("T");
  }
  button->setAction([weakSelf = weak_from_this()] {
    if (const std::shared_ptr<AppDelegate> self = weakSelf.lock()) self->statusBarButtonClicked();
  });
  button->sendActionOn(kStatusItemActionMask);
}

void AppDelegate::statusBarButtonClicked() {
  // Only the event type tells the buttons apart; modifier keys do not count.
  const std::shared_ptr<Event> event = services_.application.currentEvent();
  if (event && event->type() == EventType::kRightMouseUp) {
    showStatusBarMenu();
    return;
  }
  if (!floatingPanel || !floatingPanel->isVisible()) {
    summonPanel();
  } else {
    hidePanel();
  }
}

void AppDelegate::showStatusBarMenu() {
  Menu menu{{MenuItem{"Quit", "terminate:", "q"}}};
  if (!statusItem) return;
  // Attached only while it is up: an attached menu would swallow the next
  // left click instead of letting it reach statusBarButtonClicked.
  statusItem->setMenu(std::move(menu));
  if (StatusBarButton* button = statusItem->button()) button->performClick();
  statusItem->setMenu(std::nullopt);
}

// The capture runs while the user's application is still frontmost, before
// showing the panel activates the host.
void AppDelegate::summonPanel() {
  updateLastActiveAppIfNeeded();
  captureSelectionBeforeShow();
  showPanel();
}

}  // namespace brimlane
