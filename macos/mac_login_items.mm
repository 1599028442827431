// Login items over SMAppService.mainAppService (macOS 13 and later) and
// NSProcessInfo's version test.
#include "macos/mac_login_items.h"

#import <Foundation/Foundation.h>
#import <ServiceManagement/ServiceManagement.h>

#include "macos/mac_conversions.h"

namespace brimlane {
namespace {

// Only reached below macOS 13, which callers rule out by testing the version.
ServiceError serviceMissing() {
  return ServiceError{"Login items need macOS 13.0 or later"};
}

ServiceError toServiceError(NSError* error) {
  return ServiceError{toString(error.localizedDescription)};
}

}  // namespace

bool MacLoginItems::isOperatingSystemAtLeastVersion(OperatingSystemVersion version) {
  const NSOperatingSystemVersion wanted{static_cast<NSInteger>(version.majorVersion),
                                        static_cast<NSInteger>(version.minorVersion),
                                        static_cast<NSInteger>(version.patchVersion)};
  return [NSProcessInfo.processInfo isOperatingSystemAtLeastVersion:wanted];
}

AppServiceStatus MacLoginItems::mainAppServiceStatus() {
  if (@available(macOS 13.0, *)) {
    return static_cast<AppServiceStatus>(SMAppService.mainAppService.status);
  }
  return kAppServiceStatusNotRegistered;
}

std::optional<ServiceError> MacLoginItems::registerMainAppService() {
  if (@available(macOS 13.0, *)) {
    NSError* error = nil;
    if ([SMAppService.mainAppService registerAndReturnError:&error]) return std::nullopt;
    return toServiceError(error);
  }
  return serviceMissing();
}

std::optional<ServiceError> MacLoginItems::unregisterMainAppService() {
  if (@available(macOS 13.0, *)) {
    NSError* error = nil;
    if ([SMAppService.mainAppService unregisterAndReturnError:&error]) return std::nullopt;
    return toServiceError(error);
  }
  return serviceMissing();
}

}  // namespace brimlane
