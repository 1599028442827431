// The login-item service over SMAppService and NSProcessInfo. Objective-C++
// only.
#pragma once

#include "app/platform/login_items.h"

namespace brimlane {

class MacLoginItems : public LoginItems {
 public:
  bool isOperatingSystemAtLeastVersion(OperatingSystemVersion version) override;
  AppServiceStatus mainAppServiceStatus() override;
  std::optional<ServiceError> registerMainAppService() override;
  std::optional<ServiceError> unregisterMainAppService() override;
};

}  // namespace brimlane
