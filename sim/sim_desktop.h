// A deterministic simulated macOS desktop: every service the host needs, the
// other applications and the user, all in virtual time. The host runs on it
// unchanged, exactly as it runs on a Mac.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/app_delegate.h"
#include "app/main_flutter_window.h"
#include "sim/scheduler.h"
#include "sim/sim_accessibility.h"
#include "sim/sim_engine.h"
#include "sim/sim_hot_keys.h"
#include "sim/sim_keyboard.h"
#include "sim/sim_login_items.h"
#include "sim/sim_pasteboard.h"
#include "sim/sim_status_bar.h"
#include "sim/sim_windows.h"
#include "sim/sim_workspace.h"
#include "sim/timeline.h"

namespace brimlane::sim {

class SimMainQueue : public MainQueue {
 public:
  explicit SimMainQueue(Scheduler& scheduler) : scheduler_(scheduler) {}
  void async(Work work) override { scheduler_.postMain(SimTime::zero(), std::move(work)); }
  void asyncAfter(Seconds delay, Work work) override {
    scheduler_.postMain(toSimTime(delay), std::move(work));
  }

 private:
  Scheduler& scheduler_;
};

class SimThread : public Thread {
 public:
  explicit SimThread(Scheduler& scheduler) : scheduler_(scheduler) {}
  void sleepForTimeInterval(Seconds interval) override;

  // Each sleep, in order.
  std::vector<SimTime> sleeps;

 private:
  Scheduler& scheduler_;
};

class SimStandardOutput : public StandardOutput {
 public:
  explicit SimStandardOutput(Timeline& timeline) : timeline_(timeline) {}
  void writeLine(std::string_view line) override;
  void writeErrorLine(std::string_view line) override;

  std::vector<std::string> lines;
  std::vector<std::string> errorLines;

 private:
  Timeline& timeline_;
};

class SimDesktop {
 public:
  SimDesktop();
  ~SimDesktop();
  SimDesktop(const SimDesktop&) = delete;
  SimDesktop& operator=(const SimDesktop&) = delete;

  // What the platform's application main does before the event loop starts:
  // loads the interface file, which makes the delegate and the main window.
  void loadMainInterface();
  // The application has finished launching: the delegate hears of it, and
  // whatever the launch queued and is due runs.
  void finishLaunching();
  // Both, as a user starting the host sees it.
  void launch();

  // The application's delegate, or nullptr before loading, once gone, or
  // once the host has quit.
  std::shared_ptr<AppDelegate> delegate() const { return delegate_; }
  // The interface file lets go of the delegate: weak references find it gone.
  void releaseDelegate();
  // Installs some other object as the application's delegate.
  void installForeignDelegate();
  MainFlutterWindow* mainWindow() { return mainWindow_.get(); }
  SimMainWindow* simMainWindow() { return simMainWindow_.get(); }

  // The user.
  SimApp& launchApp(const std::string& name);
  // The user switches to `app`; the system may post no notification of it.
  void activate(SimApp& app, bool notify = true);
  // `app` quits; `forward` is the application the system brings forward if
  // `app` was in front (by default, the one SimWorkspace picks).
  void quit(SimApp& app, SimApp* forward = nullptr);
  std::optional<OSStatus> pressKeys(std::uint32_t keyCode, std::uint32_t modifiers);
  void clickStatusItem(MouseButton button, const std::vector<std::string>& modifiers = {});
  // The user launches the host again while it runs.
  bool reopen(bool hasVisibleWindows = false);

  // Virtual time.
  SimTime now() const { return scheduler_.now(); }
  void advance(Seconds duration) { scheduler_.advanceBy(toSimTime(duration)); }
  void runDue() { scheduler_.runDue(); }
  void runUntilIdle() { scheduler_.runUntilIdle(); }

  Services services();

  Scheduler& scheduler() { return scheduler_; }
  Timeline& timeline() { return timeline_; }
  SimPasteboard& pasteboard() { return pasteboard_; }
  SimWorkspace& workspace() { return workspace_; }
  SimKeyboard& keyboard() { return keyboard_; }
  SimAccessibility& accessibility() { return accessibility_; }
  SimWindows& windows() { return windows_; }
  SimApplicationObject& application() { return application_; }
  SimStatusBar& statusBar() { return statusBar_; }
  SimHotKeys& hotKeys() { return hotKeys_; }
  SimLoginItems& loginItems() { return loginItems_; }
  SimThread& thread() { return thread_; }
  SimStandardOutput& standardOutput() { return standardOutput_; }
  SimEngine& engine() { return engine_; }

 private:
  Scheduler scheduler_;
  Timeline timeline_{scheduler_};
  SimPasteboard pasteboard_{timeline_, scheduler_};
  SimWorkspace workspace_{scheduler_, timeline_, pasteboard_};
  SimAccessibility accessibility_{timeline_};
  SimKeyboard keyboard_{scheduler_, timeline_, workspace_, accessibility_};
  SimWindows windows_{timeline_, workspace_};
  SimApplicationObject application_{workspace_};
  SimStatusBar statusBar_{timeline_, application_};
  SimHotKeys hotKeys_{timeline_};
  SimLoginItems loginItems_{timeline_};
  SimMainQueue mainQueue_{scheduler_};
  SimThread thread_{scheduler_};
  SimStandardOutput standardOutput_{timeline_};
  SimEngine engine_{timeline_};

  std::shared_ptr<SimMainWindow> simMainWindow_;
  std::unique_ptr<MainFlutterWindow> mainWindow_;
  std::shared_ptr<AppDelegate> delegate_;
  // The delegate of a host that quit. Its process is over, but the call that
  // chose Quit is still on its stack and returns through it.
  std::shared_ptr<AppDelegate> endedDelegate_;
  std::shared_ptr<ApplicationDelegate> foreignDelegate_;
  ProcessId nextPid_ = 501;

  // What the application object's terminate: does: the delegate hears that
  // the application will terminate, then the process ends.
  void terminateHost();
  // The host's process ends as a process does: none of its queued work runs
  // (its observers hear nothing more, since notifications reach them through
  // its main queue), and the system lets go of its hot key, status item,
  // channels and windows.
  void endHostProcess();
};

}  // namespace brimlane::sim
