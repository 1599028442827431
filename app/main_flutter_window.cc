#include "app/main_flutter_window.h"

namespace brimlane {

void MainFlutterWindow::awakeFromNib() {
  window_->awakeFromNib();
  window_->setIsVisible(false);
  window_->orderOut();
  // Whatever size the interface file gave it, the window takes no room.
  window_->setFrame(Rect{}, /*display=*/false);
}

}  // namespace brimlane
