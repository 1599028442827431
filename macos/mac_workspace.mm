// Workspace over NSWorkspace (frontmost application, its notification centre),
// NSRunningApplication and NSBundle.mainBundle.
#include "macos/mac_workspace.h"

#include <cerrno>
#include <csignal>

#include "macos/mac_conversions.h"

namespace brimlane {
namespace {

// The option is deprecated from macOS 14 on, where activation no longer takes
// it into account; macOS 11 to 13 still do.
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wdeprecated-declarations"
static_assert(kApplicationActivateIgnoringOtherApps == NSApplicationActivateIgnoringOtherApps);
#pragma clang diagnostic pop

class MacRunningApplication : public RunningApplication {
 public:
  explicit MacRunningApplication(NSRunningApplication* application) : application_(application) {}

  std::optional<std::string> bundleIdentifier() const override {
    return toOptionalString(application_.bundleIdentifier);
  }
  ProcessId processIdentifier() const override { return application_.processIdentifier; }
  bool isTerminated() const override {
    if (application_.terminated) return true;
    // The flag changes only on a later turn of the main run loop, while the
    // system may already have put another application in front: ask whether
    // the process is still there. A process of another user answers EPERM,
    // and one without a process identifier (-1) cannot be asked.
    const pid_t pid = application_.processIdentifier;
    return pid > 0 && kill(pid, 0) != 0 && errno == ESRCH;
  }
  bool activateWithOptions(ApplicationActivationOptions options) override {
    if (isTerminated()) return false;
    if (@available(macOS 14.0, *)) {
      // Activation is cooperative from macOS 14 on: the active application
      // yields first, and the other one then takes the front from it. The
      // option to force past other applications has no effect there, so it
      // is not passed on.
      [NSApp yieldActivationToApplication:application_];
      if ([application_
              activateFromApplication:NSRunningApplication.currentApplication
                              options:static_cast<NSApplicationActivationOptions>(
                                          options & ~kApplicationActivateIgnoringOtherApps)]) {
        return true;
      }
      // Declined: the call of earlier systems, so that the paste that follows
      // is not typed into whatever is frontmost instead.
    }
    return [application_ activateWithOptions:static_cast<NSApplicationActivationOptions>(options)];
  }

 private:
  NSRunningApplication* application_;
};

}  // namespace

std::shared_ptr<RunningApplication> wrapRunningApplication(NSRunningApplication* application) {
  if (!application) return nullptr;
  return std::make_shared<MacRunningApplication>(application);
}

Notification toNotification(NSNotification* notification) {
  Notification converted{toString(notification.name), std::nullopt};
  NSDictionary* userInfo = notification.userInfo;
  if (!userInfo) return converted;
  converted.userInfo.emplace();
  for (id key in userInfo) {
    if (![key isKindOfClass:[NSString class]]) continue;
    id value = userInfo[key];
    if ([value isKindOfClass:[NSRunningApplication class]]) {
      converted.userInfo->emplace(toString(key), wrapRunningApplication(value));
    } else {
      converted.userInfo->emplace(toString(key),
                                  OtherObject{toString(NSStringFromClass([value class]))});
    }
  }
  return converted;
}

}  // namespace brimlane

// Receives one notification name for one observer of the seam.
@interface BrimlaneNotificationObserver : NSObject
- (instancetype)initWithObserver:(brimlane::Workspace::Observer)observer;
- (void)notificationPosted:(NSNotification*)notification;
@end

@implementation BrimlaneNotificationObserver {
  brimlane::Workspace::Observer _observer;
}

- (instancetype)initWithObserver:(brimlane::Workspace::Observer)observer {
  self = [super init];
  if (self) _observer = std::move(observer);
  return self;
}

- (void)notificationPosted:(NSNotification*)notification {
  if (_observer) _observer(brimlane::toNotification(notification));
}

@end

namespace brimlane {

MacWorkspace::MacWorkspace() : observers_([NSMutableArray array]) {}

std::shared_ptr<RunningApplication> MacWorkspace::frontmostApplication() {
  return wrapRunningApplication(NSWorkspace.sharedWorkspace.frontmostApplication);
}

void MacWorkspace::addObserver(std::string_view name, Observer observer) {
  BrimlaneNotificationObserver* receiver =
      [[BrimlaneNotificationObserver alloc] initWithObserver:std::move(observer)];
  [observers_ addObject:receiver];
  [NSWorkspace.sharedWorkspace.notificationCenter addObserver:receiver
                                                     selector:@selector(notificationPosted:)
                                                         name:toNSString(name)
                                                       object:nil];
}

std::optional<std::string> MacWorkspace::mainBundleIdentifier() {
  return toOptionalString(NSBundle.mainBundle.bundleIdentifier);
}

}  // namespace brimlane
