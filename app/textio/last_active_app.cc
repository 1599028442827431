// The record of the application the user was last working in, other than the
// host: the one to copy from and paste back into.
#include "app/app_delegate.h"

namespace brimlane {

// Identity by bundle identifier, so another running copy of the host counts as
// the host too. Two absent identifiers are equal.
bool AppDelegate::isHostApplication(const RunningApplication& app) {
  return app.bundleIdentifier() == services_.workspace.mainBundleIdentifier();
}

void AppDelegate::updateLastActiveAppIfNeeded() {
  std::shared_ptr<RunningApplication> frontmost = services_.workspace.frontmostApplication();
  if (!frontmost || isHostApplication(*frontmost)) return;
  lastActiveApp = std::move(frontmost);
}

void AppDelegate::setupAppActivationObserver() {
  services_.workspace.addObserver(kWorkspaceDidActivateApplicationNotification,
                                  [weakSelf = weak_from_this()](const Notification& notification) {
                                    if (const std::shared_ptr<AppDelegate> self = weakSelf.lock()) {
                                      self->appDidActivate(notification);
                                    }
                                  });
  updateLastActiveAppIfNeeded();
}

// Activations of the host itself (showing the panel causes one) leave the
// record alone; so does any notification that does not name an application.
void AppDelegate::appDidActivate(const Notification& notification) {
  if (!notification.userInfo || notification.userInfo->empty()) return;
  const auto entry = notification.userInfo->find(kWorkspaceApplicationKey);
  if (entry == notification.userInfo->end()) return;
  const auto* app = std::get_if<std::shared_ptr<RunningApplication>>(&entry->second);
  if (!app || !*app || isHostApplication(**app)) return;
  lastActiveApp = *app;
}

}  // namespace brimlane
