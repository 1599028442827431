// The desktop a scenario runs on, and what its commands remember from one
// line to the next: the user's clipboard, the last call's answer, how far each
// expectation of the "since the last one" kind has read.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "sim/sim_desktop.h"

namespace brimlane::sim::cli {

// A virtual time as scenarios write it, to the millisecond: "0.300".
std::string formatTime(SimTime time);

class ScenarioState {
 public:
  // Told of every expectation that does not hold.
  using FailureSink = std::function<void(const std::string& expected, const std::string& got)>;

  explicit ScenarioState(FailureSink onFailure) : onFailure_(std::move(onFailure)) {}

  SimDesktop desktop;

  void fail(const std::string& expected, const std::string& got) { onFailure_(expected, got); }
  // The application of that name ("host" for the host); naming one that is
  // not there yet brings it into the world, so scenarios stay short.
  SimApp& appNamed(const std::string& name);
  // A process identifier no application of the scenario has yet.
  ProcessId newPid() { return nextPid_++; }

  // What has been added to `all` since the last call with the same `read`.
  template <class T>
  static std::span<const T> unread(const std::vector<T>& all, std::size_t& read) {
    const std::size_t from = std::min(read, all.size());
    read = all.size();
    return std::span<const T>(all).subspan(from);
  }

  // Set while reading: the host is loaded and launched once per scenario.
  bool loadRead = false;
  bool launchRead = false;

  // Commands run so far, counting this one: the first is 1.
  std::size_t commandsRun = 0;
  // The line of the command running, which a failed expectation names.
  int line = 0;
  // Lines timed with `at` whose moment has not come yet, with that moment.
  struct Timed {
    int line;
    SimTime at;
  };
  std::vector<Timed> timedPending;
  // The clipboard as the user last set it, and the command that last added
  // an item to it (0: none): consecutive `clipboard item` lines build one
  // clipboard.
  std::vector<SimPasteboardItem> userClipboard;
  std::size_t clipboardItemCommand = 0;

  // The event the application is handling while calls from the UI arrive.
  std::shared_ptr<Event> callEvent;
  // The outcome of the last call or message from the UI.
  std::optional<UiCallOutcome> lastCall;
  // The answer to the last reopen, if there was one.
  std::optional<bool> lastReopen;
  // The status of each press of a key combination: the handler's that took
  // it, or nothing.
  std::vector<std::optional<OSStatus>> pressStatuses;

  // How far the "since the last expectation" kinds have read.
  std::size_t uiRead = 0;
  std::size_t keysRead = 0;
  std::size_t stdoutRead = 0;
  std::size_t stderrRead = 0;
  std::size_t activationsRead = 0;
  std::size_t loginCallsRead = 0;
  std::size_t pressStatusesRead = 0;

 private:
  FailureSink onFailure_;
  ProcessId nextPid_ = 501;
};

}  // namespace brimlane::sim::cli
