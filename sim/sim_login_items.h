// The simulated login item of the main application, and the operating-system
// version it runs on.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/platform/login_items.h"
#include "sim/timeline.h"

namespace brimlane::sim {

class SimLoginItems : public LoginItems {
 public:
  explicit SimLoginItems(Timeline& timeline) : timeline_(timeline) {}

  // LoginItems
  bool isOperatingSystemAtLeastVersion(OperatingSystemVersion version) override;
  AppServiceStatus mainAppServiceStatus() override;
  std::optional<ServiceError> registerMainAppService() override;
  std::optional<ServiceError> unregisterMainAppService() override;

  OperatingSystemVersion osVersion{14, 0, 0};
  AppServiceStatus status = kAppServiceStatusNotRegistered;
  // When set, the system refuses with this description.
  std::optional<std::string> registerRefusal;
  std::optional<std::string> unregisterRefusal;
  // "register", "unregister", "status" as the host asked, in order.
  std::vector<std::string> calls;

 private:
  Timeline& timeline_;
};

}  // namespace brimlane::sim
