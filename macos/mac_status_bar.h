// The status bar service over NSStatusBar, NSStatusItem, NSImage and NSMenu.
// Objective-C++ only.
#pragma once

#include "app/platform/status_bar.h"

namespace brimlane {

class MacStatusBar : public StatusBar {
 public:
  std::shared_ptr<StatusItem> statusItemWithLength(double length) override;
  std::shared_ptr<Image> imageWithSystemSymbolName(
      const std::string& name, const std::string& accessibilityDescription) override;
};

}  // namespace brimlane
