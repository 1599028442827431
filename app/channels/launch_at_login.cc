// Launch at login: the main application registered as its own login item.
#include "app/app_delegate.h"

namespace brimlane {
namespace {

// The login-item service of the system exists from macOS 13.0 on; the host
// runs on 11 and 12 too, where launch at login is simply off.
constexpr OperatingSystemVersion kLoginItemServiceVersion{13, 0, 0};

}  // namespace

void AppDelegate::setLaunchAtLogin(bool enabled) {
  LoginItems& loginItems = services_.loginItems;
  if (!loginItems.isOperatingSystemAtLeastVersion(kLoginItemServiceVersion)) return;
  // No status check first: the system is asked exactly what the user asked.
  const std::optional<ServiceError> refusal =
      enabled ? loginItems.registerMainAppService() : loginItems.unregisterMainAppService();
  if (refusal) {
    services_.standardOutput.writeLine("Failed to update launch at login: " + refusal->description);
  }
}

bool AppDelegate::isLaunchAtLoginEnabled() {
  LoginItems& loginItems = services_.loginItems;
  if (!loginItems.isOperatingSystemAtLeastVersion(kLoginItemServiceVersion)) return false;
  // "Requires approval" and every other status count as off.
  return loginItems.mainAppServiceStatus() == kAppServiceStatusEnabled;
}

}  // namespace brimlane
