// The simulated applications: which are running, which is frontmost, what
// they do with a copy or paste keystroke, and the workspace notifications that
// activations post.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/platform/workspace.h"
#include "sim/scheduler.h"
#include "sim/sim_pasteboard.h"
#include "sim/timeline.h"

namespace brimlane::sim {

// What an application puts on the pasteboard when asked to copy.
enum class CopyBehavior { kText, kImage, kNothing };

struct SimApp {
  std::string name;
  std::optional<std::string> bundleIdentifier;
  ProcessId pid = 0;
  bool running = true;
  std::string selection;
  CopyBehavior copies = CopyBehavior::kText;
  // Measured from the moment the keystroke reaches the application.
  SimTime copyLatency = std::chrono::milliseconds(50);
  SimTime pasteLatency = std::chrono::milliseconds(50);
  // What pasting has inserted into the application's document.
  std::string document;
};

// An application asked to activate through its running-application object,
// with the options it was asked with.
struct ActivationRequest {
  std::string app;
  ApplicationActivationOptions options;
};

// The PNG signature and an empty header: enough to be image data, not text.
Bytes pngBytes();
inline constexpr std::string_view kPasteboardTypePng = "public.png";

class SimWorkspace : public Workspace {
 public:
  SimWorkspace(Scheduler& scheduler, Timeline& timeline, SimPasteboard& pasteboard);

  // Workspace
  std::shared_ptr<RunningApplication> frontmostApplication() override;
  void addObserver(std::string_view name, Observer observer) override;
  std::optional<std::string> mainBundleIdentifier() override;

  // This process itself, named "host".
  SimApp& host() { return *host_; }
  void setHostBundleIdentifier(std::optional<std::string> bundleIdentifier);

  // Starts an application; it does not become active by itself. An
  // application started again after it quit is a new process.
  SimApp& launchApp(std::string name, std::optional<std::string> bundleIdentifier, ProcessId pid);
  // The application of that name started last, running or since quit.
  SimApp* find(std::string_view name);
  SimApp* findByPid(ProcessId pid);
  // A running-application object for `app`, as the platform would hand out.
  std::shared_ptr<RunningApplication> runningApplication(SimApp& app);

  // `app` becomes the frontmost, active application; the activation
  // notification reaches observers through the main queue, unless `notify`
  // is off: the system does not always post one.
  bool activate(SimApp& app, bool notify = true);
  // The same, asked of the application's running-application object.
  bool activateWithOptions(SimApp& app, ApplicationActivationOptions options);
  // `app` quits. If it was frontmost, the system brings another application
  // forward: `forward` when given, otherwise the most recently active one
  // with a window on screen.
  void quit(SimApp& app, SimApp* forward = nullptr);
  SimApp* frontmost();

  // Delivers any notification to the observers of its name, on the main queue.
  void postNotification(Notification notification);

  // Whether activations post their notification; off, the host learns of
  // activations only by asking who is frontmost.
  bool postsActivationNotifications = true;
  // Every activation asked through a running-application object, in order.
  std::vector<ActivationRequest> activationRequests;
  // Told of every activation, after the frontmost application changed.
  std::function<void(const SimApp&)> onActivate;
  // Whether the host has a window on screen; other applications always have
  // one.
  std::function<bool()> hostHasWindowOnScreen;

  // What an application does with a key event that reached it, read as
  // `key` (a character, or the key's name when it types none) through the
  // user's keyboard layout: Command-C copies, Command-V pastes, and any other
  // Command shortcut is recorded as received.
  void deliverKey(SimApp& app, std::string_view key, std::uint64_t flags, bool keyDown);

 private:
  // Tells the timeline and the observers that `app` is now in front.
  void announceActivation(SimApp& app, bool notify = true);
  // Moves `app` to the front of the activation order.
  void bringToFront(SimApp& app);
  // Whom the system brings forward when the frontmost application quits.
  SimApp* nextForward();

  struct ObserverEntry {
    std::string name;
    Observer observer;
  };

  Scheduler& scheduler_;
  Timeline& timeline_;
  SimPasteboard& pasteboard_;
  std::vector<std::shared_ptr<SimApp>> apps_;
  std::shared_ptr<SimApp> host_;
  // Running applications, most recently active last.
  std::vector<SimApp*> activationOrder_;
  std::vector<ObserverEntry> observers_;
};

}  // namespace brimlane::sim
