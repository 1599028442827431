#include "sim/sim_login_items.h"

#include <tuple>

namespace brimlane::sim {

bool SimLoginItems::isOperatingSystemAtLeastVersion(OperatingSystemVersion version) {
  return std::tie(osVersion.majorVersion, osVersion.minorVersion, osVersion.patchVersion) >=
         std::tie(version.majorVersion, version.minorVersion, version.patchVersion);
}

AppServiceStatus SimLoginItems::mainAppServiceStatus() {
  calls.push_back("status");
  return status;
}

std::optional<ServiceError> SimLoginItems::registerMainAppService() {
  calls.push_back("register");
  if (registerRefusal) {
    timeline_.record(Source::kLogin, "refused", "The system refuses to register the login item.");
    return ServiceError{*registerRefusal};
  }
  status = kAppServiceStatusEnabled;
  timeline_.record(Source::kLogin, "register", "The login item is registered.");
  return std::nullopt;
}

std::optional<ServiceError> SimLoginItems::unregisterMainAppService() {
  calls.push_back("unregister");
  if (unregisterRefusal) {
    timeline_.record(Source::kLogin, "refused", "The system refuses to unregister the login item.");
    return ServiceError{*unregisterRefusal};
  }
  status = kAppServiceStatusNotRegistered;
  timeline_.record(Source::kLogin, "unregister", "The login item is unregistered.");
  return std::nullopt;
}

}  // namespace brimlane::sim
