// The record of everything observable that happened on the simulated desktop,
// with its virtual time: what tests read and what the simulator prints.
#pragma once

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

 private:
  const Scheduler& scheduler_;
  std::vector<TimelineEvent> events_;
};

}  // namespace brimlane::sim
