#include "sim/sim_desktop.h"

#include <cctype>

namespace brimlane::sim {

void SimThread::sleepForTimeInterval(Seconds interval) {
  sleeps.push_back(toSimTime(interval));
  scheduler_.sleepMainThread(toSimTime(interval));
}

void SimStandardOutput::writeLine(std::string_view line) {
  lines.emplace_back(line);
  timeline_.record(Source::kStdout, "line", std::string(line));
}

void SimStandardOutput::writeErrorLine(std::string_view line) {
  errorLines.emplace_back(line);
  timeline_.record(Source::kStderr, "line", std::string(line));
}

SimDesktop::SimDesktop() {
  workspace_.onActivate = [this](const SimApp& app) { windows_.applicationDidActivate(app); };
  workspace_.hostHasWindowOnScreen = [this] { return windows_.anyOnScreen(); };
  application_.onTerminate = [this] { terminateHost(); };
}
SimDesktop::~SimDesktop() = default;

Services SimDesktop::services() {
  return Services{pasteboard_,  keyboard_,       accessibility_, workspace_,  windows_,
                  application_, statusBar_,      hotKeys_,       loginItems_, mainQueue_,
                  thread_,      standardOutput_, engine_};
}

void SimDesktop::loadMainInterface() {
  // The interface file gives the window a size and shows it at load; the
  // window's own class decides what happens next.
  simMainWindow_ = windows_.createMainWindow({{200, 200}, {800, 600}});
  simMainWindow_->setIsVisible(true);
  mainWindow_ = std::make_unique<MainFlutterWindow>(simMainWindow_);
  delegate_ = AppDelegate::create(services());
  application_.setDelegate(delegate_);
  mainWindow_->awakeFromNib();
  timeline_.record(Source::kLaunch, "loaded", "The host's interface file is loaded.");
}

void SimDesktop::finishLaunching() {
  if (!delegate_) return;
  delegate_->applicationDidFinishLaunching(
      Notification{"NSApplicationDidFinishLaunchingNotification", std::nullopt});
  scheduler_.runDue();
}

void SimDesktop::launch() {
  loadMainInterface();
  finishLaunching();
}

void SimDesktop::terminateHost() {
  timeline_.record(Source::kLaunch, "will terminate",
                   "The host's delegate hears that the application will terminate.");
  if (delegate_) {
    delegate_->applicationWillTerminate(
        Notification{"NSApplicationWillTerminateNotification", std::nullopt});
  }
  endHostProcess();
}

void SimDesktop::endHostProcess() {
  scheduler_.endMainQueue();
  hotKeys_.removeAll();
  statusBar_.removeAll();
  engine_.hostEnded();
  windows_.removeAll();
  endedDelegate_ = std::move(delegate_);
  workspace_.quit(workspace_.host());
  timeline_.record(Source::kLaunch, "quit",
                   "The host has quit: no queued work of it runs, and its hot key, status item, "
                   "observers and channels are gone.");
}

void SimDesktop::releaseDelegate() {
  timeline_.record(Source::kLaunch, "delegate gone", "The host's delegate is released.");
  delegate_.reset();
}

void SimDesktop::installForeignDelegate() {
  foreignDelegate_ = std::make_shared<ApplicationDelegate>();
  application_.setDelegate(foreignDelegate_);
}

SimApp& SimDesktop::launchApp(const std::string& name) {
  std::string bundleSuffix;
  for (char c : name)
    bundleSuffix += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return workspace_.launchApp(name, "com.example." + bundleSuffix, nextPid_++);
}

void SimDesktop::activate(SimApp& app, bool notify) {
  timeline_.record(Source::kUser, "switch", "The user switches to " + app.name + ".");
  workspace_.activate(app, notify);
  scheduler_.runDue();
}

void SimDesktop::quit(SimApp& app, SimApp* forward) {
  workspace_.quit(app, forward);
  scheduler_.runDue();
}

std::optional<OSStatus> SimDesktop::pressKeys(std::uint32_t keyCode, std::uint32_t modifiers) {
  const std::optional<OSStatus> status = hotKeys_.press(keyCode, modifiers);
  scheduler_.runDue();
  return status;
}

void SimDesktop::clickStatusItem(MouseButton button, const std::vector<std::string>& modifiers) {
  statusBar_.click(button, modifiers);
  scheduler_.runDue();
}

bool SimDesktop::reopen(bool hasVisibleWindows) {
  timeline_.record(Source::kUser, "reopen", "The user opens the host again.");
  const bool answer = delegate_ && delegate_->applicationShouldHandleReopen(hasVisibleWindows);
  scheduler_.runDue();
  return answer;
}

}  // namespace brimlane::sim
