// The login item of the main application, and the operating-system version
// test that tells whether the service exists. Main thread only.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace brimlane {

struct OperatingSystemVersion {
  std::int64_t majorVersion = 0;
  std::int64_t minorVersion = 0;
  std::int64_t patchVersion = 0;
};

using AppServiceStatus = std::int64_t;
inline constexpr AppServiceStatus kAppServiceStatusNotRegistered = 0;
inline constexpr AppServiceStatus kAppServiceStatusEnabled = 1;
inline constexpr AppServiceStatus kAppServiceStatusRequiresApproval = 2;
inline constexpr AppServiceStatus kAppServiceStatusNotFound = 3;

// What the operating system said when it refused a change.
struct ServiceError {
  std::string description;
};

class LoginItems {
 public:
  virtual ~LoginItems() = default;

  virtual bool isOperatingSystemAtLeastVersion(OperatingSystemVersion version) = 0;

  // The calls below exist only from macOS 13.0 on; callers test the version.
  virtual AppServiceStatus mainAppServiceStatus() = 0;
  // Nothing on success, the refusal otherwise.
  virtual std::optional<ServiceError> registerMainAppService() = 0;
  virtual std::optional<ServiceError> unregisterMainAppService() = 0;
};

}  // namespace brimlane
