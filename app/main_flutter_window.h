// The main window of the application's interface file. The host shows all of
// its UI in the floating panel, so this window hides itself as soon as it is
// loaded and refuses every request to come to the front.
#pragma once

#include <memory>

#include "app/platform/windows.h"

namespace brimlane {

class MainFlutterWindow {
 public:
  // Created by the interface file through the window's ordinary initialiser.
  explicit MainFlutterWindow(std::shared_ptr<Window> window) : window_(std::move(window)) {}

  void awakeFromNib();
  // Deliberately do nothing: the window must never appear.
  void makeKeyAndOrderFront() {}
  void orderFront() {}

  Window& window() { return *window_; }

 private:
  std::shared_ptr<Window> window_;
};

}  // namespace brimlane
