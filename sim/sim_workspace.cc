#include "sim/sim_workspace.h"

#include <algorithm>

#include "app/platform/keyboard.h"

namespace brimlane::sim {
namespace {

class SimRunningApplication : public RunningApplication {
 public:
  SimRunningApplication(std::shared_ptr<SimApp> app, SimWorkspace& workspace)
      : app_(std::move(app)), workspace_(workspace) {}

  std::optional<std::string> bundleIdentifier() const override { return app_->bundleIdentifier; }
  ProcessId processIdentifier() const override { return app_->pid; }
  bool isTerminated() const override { return !app_->running; }
  bool activateWithOptions(ApplicationActivationOptions options) override {
    return workspace_.activateWithOptions(*app_, options);
  }

 private:
  std::shared_ptr<SimApp> app_;
  SimWorkspace& workspace_;
};

}  // namespace

Bytes pngBytes() {
  return {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 0};
}

SimWorkspace::SimWorkspace(Scheduler& scheduler, Timeline& timeline, SimPasteboard& pasteboard)
    : scheduler_(scheduler), timeline_(timeline), pasteboard_(pasteboard) {
  host_ = std::make_shared<SimApp>();
  host_->name = "host";
  host_->bundleIdentifier = "com.brimlane.app";
  host_->pid = 100;
  host_->copies = CopyBehavior::kNothing;
  apps_.push_back(host_);
  activationOrder_.push_back(host_.get());
}

std::shared_ptr<RunningApplication> SimWorkspace::frontmostApplication() {
  SimApp* app = frontmost();
  return app ? runningApplication(*app) : nullptr;
}

void SimWorkspace::addObserver(std::string_view name, Observer observer) {
  observers_.push_back({std::string(name), std::move(observer)});
  timeline_.record(Source::kWorkspace, "observe", "The host observes " + std::string(name) + ".");
}

std::optional<std::string> SimWorkspace::mainBundleIdentifier() {
  return host_->bundleIdentifier;
}

void SimWorkspace::setHostBundleIdentifier(std::optional<std::string> bundleIdentifier) {
  host_->bundleIdentifier = std::move(bundleIdentifier);
}

SimApp& SimWorkspace::launchApp(std::string name, std::optional<std::string> bundleIdentifier,
                                ProcessId pid) {
  auto app = std::make_shared<SimApp>();
  app->name = std::move(name);
  app->bundleIdentifier = std::move(bundleIdentifier);
  app->pid = pid;
  apps_.push_back(app);
  activationOrder_.insert(activationOrder_.begin(), app.get());
  timeline_.record(Source::kWorkspace, "launch",
                   app->name + " is running (pid " + std::to_string(pid) + ").");
  return *app;
}

SimApp* SimWorkspace::find(std::string_view name) {
  for (auto app = apps_.rbegin(); app != apps_.rend(); ++app) {
    if ((*app)->name == name) return app->get();
  }
  return nullptr;
}

SimApp* SimWorkspace::findByPid(ProcessId pid) {
  for (const auto& app : apps_) {
    if (app->pid == pid && app->running) return app.get();
  }
  return nullptr;
}

std::shared_ptr<RunningApplication> SimWorkspace::runningApplication(SimApp& app) {
  for (const auto& owned : apps_) {
    if (owned.get() == &app) return std::make_shared<SimRunningApplication>(owned, *this);
  }
  return nullptr;
}

SimApp* SimWorkspace::frontmost() {
  return activationOrder_.empty() ? nullptr : activationOrder_.back();
}

bool SimWorkspace::activate(SimApp& app, bool notify) {
  if (!app.running) return false;
  if (frontmost() != &app) {
    bringToFront(app);
    announceActivation(app, notify);
  }
  return true;
}

void SimWorkspace::bringToFront(SimApp& app) {
  std::erase(activationOrder_, &app);
  activationOrder_.push_back(&app);
}

bool SimWorkspace::activateWithOptions(SimApp& app, ApplicationActivationOptions options) {
  activationRequests.push_back({app.name, options});
  return activate(app);
}

void SimWorkspace::announceActivation(SimApp& app, bool notify) {
  timeline_.record(Source::kWorkspace, "activate",
                   (&app == host_.get() ? std::string("The host") : app.name) +
                       " becomes the active application" +
                       (notify ? "." : ", and no activation notification is posted."));
  if (onActivate) onActivate(app);
  if (notify && postsActivationNotifications) {
    postNotification({std::string(kWorkspaceDidActivateApplicationNotification),
                      UserInfo{{std::string(kWorkspaceApplicationKey), runningApplication(app)}}});
  }
}

void SimWorkspace::quit(SimApp& app, SimApp* forward) {
  if (!app.running) return;
  const bool wasFrontmost = frontmost() == &app;
  app.running = false;
  std::erase(activationOrder_, &app);
  timeline_.record(Source::kWorkspace, "quit",
                   (&app == host_.get() ? std::string("The host") : app.name) + " quits.");
  if (!wasFrontmost) return;
  // The system brings another application forward, and says so like any
  // other activation.
  SimApp* next = forward && forward->running ? forward : nextForward();
  if (!next) return;
  bringToFront(*next);
  announceActivation(*next);
}

// The most recently active application with a window on screen: an
// application without one (the host with its panel hidden) has nothing to
// bring forward. When no application has a window, the most recently active
// one comes forward all the same.
SimApp* SimWorkspace::nextForward() {
  for (auto app = activationOrder_.rbegin(); app != activationOrder_.rend(); ++app) {
    if (*app != host_.get() || (hostHasWindowOnScreen && hostHasWindowOnScreen())) return *app;
  }
  return activationOrder_.empty() ? nullptr : activationOrder_.back();
}

void SimWorkspace::postNotification(Notification notification) {
  scheduler_.postMain(SimTime::zero(), [this, notification = std::move(notification)] {
    for (const ObserverEntry& entry : observers_) {
      if (entry.name == notification.name) entry.observer(notification);
    }
  });
}

void SimWorkspace::deliverKey(SimApp& app, std::string_view key, std::uint64_t flags,
                              bool keyDown) {
  if (!keyDown || !(flags & kEventFlagMaskCommand) || !app.running) return;
  SimApp* target = &app;
  if (key == "c") {
    scheduler_.postWorld(app.copyLatency, [this, target] {
      if (!target->running) return;
      switch (target->copies) {
        case CopyBehavior::kText:
          pasteboard_.setItems({SimPasteboardItem::plainText(target->selection)},
                               target->name + " copies its selection and");
          break;
        case CopyBehavior::kImage:
          pasteboard_.setItems({{{{std::string(kPasteboardTypePng), pngBytes()}}}},
                               target->name + " copies an image and");
          break;
        case CopyBehavior::kNothing:
          timeline_.record(Source::kUser, "copy nothing", target->name + " has nothing to copy.");
          break;
      }
    });
  } else if (key == "v") {
    scheduler_.postWorld(app.pasteLatency, [this, target] {
      if (!target->running) return;
      const std::optional<std::string> text = pasteboard_.stringForTypeString();
      if (!text) {
        timeline_.record(Source::kUser, "paste nothing", target->name + " finds no text to paste.");
        return;
      }
      target->document += *text;
      timeline_.record(Source::kUser, "paste",
                       target->name + " pastes " + std::to_string(text->size()) +
                           " bytes of text into its document.");
    });
  } else {
    // Whatever the shortcut does there, it is not what the host meant.
    timeline_.record(Source::kUser, "shortcut",
                     app.name + " receives cmd+" + std::string(key) + ".");
  }
}

}  // namespace brimlane::sim
