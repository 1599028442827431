// The record of everything observable that happened on the simulated desktop,
// with its virtual time: what tests read and what the simulator prints.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sim/scheduler.h"

namespace brimlane::sim {

enum class Source {
  kLaunch,
  kUser,
  kPasteboard,
  kKeyboard,
  kWorkspace,
  kPanel,
  kMenuBar,
  kHotKey,
  kChannel,
  kLogin,
  kStdout,
  kStderr,
};

std::string_view sourceName(Source source);

struct TimelineEvent {
  SimTime time;
  Source source;
  std::string event;    // a short name for the kind of step, e.g. "clear"
  std::string details;  // one plain sentence
  std::string wire;     // for channel traffic: the message's bytes in hex
};

class Timeline {
 public:
  explicit Timeline(const Scheduler& scheduler) : scheduler_(scheduler) {}

  void record(Source source, std::string event, std::string details, std::string wire = {});

  const std::vector<TimelineEvent>& events() const { return events_; }
  // The event names of one source, in order.
  std::vector<std::string> eventsOf(Source source) const;

  // Keeps only the latest events, at least `latest` of them and fewer than
  // twice that, instead of every event since the start: a randomized run of
  // millions of steps would otherwise spend its time and memory on the record.
  // Older events are dropped in bulk, so recording stays cheap. Nothing is
  // dropped unless this is set.
  void keepLatest(std::optional<std::size_t> latest);
  // How many events have been dropped from the front so far.
  std::size_t dropped() const { return dropped_; }

 private:
  const Scheduler& scheduler_;
  std::vector<TimelineEvent> events_;
  std::optional<std::size_t> latest_;
  std::size_t dropped_ = 0;
};

}  // namespace brimlane::sim
