// The Accessibility trust check over the Accessibility API. Objective-C++ only.
#pragma once

#include "app/platform/accessibility.h"

namespace brimlane {

class MacAccessibility : public Accessibility {
 public:
  bool isProcessTrustedWithOptions(bool prompt) override;
};

}  // namespace brimlane
