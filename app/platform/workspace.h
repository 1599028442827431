// The workspace: which application is frontmost, notifications of application
// activations, the running applications themselves, and this process's own
// bundle identifier. Main thread only; observers are called on the main thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "app/platform/types.h"

namespace brimlane {

inline constexpr std::string_view kWorkspaceDidActivateApplicationNotification =
    "NSWorkspaceDidActivateApplicationNotification";
// The user-info key under which an activation names the application.
inline constexpr std::string_view kWorkspaceApplicationKey = "NSWorkspaceApplicationKey";

using ApplicationActivationOptions = std::uint64_t;
inline constexpr ApplicationActivationOptions kApplicationActivateIgnoringOtherApps = 1 << 1;

// A running (or since quit) application, as a stable object: it can be kept
// and asked again later.
class RunningApplication {
 public:
  virtual ~RunningApplication() = default;

  virtual std::optional<std::string> bundleIdentifier() const = 0;
  virtual ProcessId processIdentifier() const = 0;
  // Whether the application has quit since this object was handed out. The
  // object itself stays valid; its process is gone.
  virtual bool isTerminated() const = 0;

  // Asks the application to become active; false when it cannot (for example
  // because it has quit).
  virtual bool activateWithOptions(ApplicationActivationOptions options) = 0;
};

class Workspace {
 public:
  using Observer = std::function<void(const Notification&)>;

  virtual ~Workspace() = default;

  // The frontmost application, or nullptr when there is none.
  virtual std::shared_ptr<RunningApplication> frontmostApplication() = 0;

  // Observes the named notification, from any sender, on the workspace's own
  // notification centre. The observer stays registered for the process's life.
  virtual void addObserver(std::string_view name, Observer observer) = 0;

  // The bundle identifier of this process's main bundle, read afresh.
  virtual std::optional<std::string> mainBundleIdentifier() = 0;
};

}  // namespace brimlane
