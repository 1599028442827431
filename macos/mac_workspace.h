// The workspace service over NSWorkspace, NSRunningApplication and the main
// bundle. Objective-C++ only.
#pragma once

#import <AppKit/AppKit.h>

#include "app/platform/workspace.h"

namespace brimlane {

class MacWorkspace : public Workspace {
 public:
  MacWorkspace();

  std::shared_ptr<RunningApplication> frontmostApplication() override;
  void addObserver(std::string_view name, Observer observer) override;
  std::optional<std::string> mainBundleIdentifier() override;

 private:
  // The notification centre holds its observers weakly; these live as long as
  // the service, which lives as long as the process.
  NSMutableArray* observers_;
};

// The application as the seam carries it, or nullptr for nil.
std::shared_ptr<RunningApplication> wrapRunningApplication(NSRunningApplication* application);

// The notification as the seam carries it: every string key of the user info
// kept, running applications as such and any other value by its class name.
Notification toNotification(NSNotification* notification);

}  // namespace brimlane
