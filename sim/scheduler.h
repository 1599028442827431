// Virtual time for the simulated desktop, and the two kinds of work that run in
// it: the host's main queue, which runs only while the main thread is free, and
// what other processes do, which goes on even while the main thread sleeps.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <queue>
#include <vector>

#include "app/platform/types.h"

namespace brimlane::sim {

// Exact: 0.1 s + 0.2 s is 0.3 s, which floating-point seconds would not give.
using SimTime = std::chrono::microseconds;

SimTime toSimTime(Seconds seconds);
double toSeconds(SimTime time);

class Scheduler {
 public:
  using Task = std::function<void()>;

  SimTime now() const { return now_; }

  // Main-queue work: runs on the main thread at or after now + delay, first
  // posted first among equal deadlines. Once the main queue has ended, work
  // posted to it is dropped.
  void postMain(SimTime delay, Task task);
  // The process that owns the main queue has ended: its queued work is
  // dropped and will never run, and so is any posted later.
  void endMainQueue();
  bool mainQueueEnded() const { return mainEnded_; }
  // Another process's work, due at now + delay.
  void postWorld(SimTime delay, Task task);

  // The main thread sleeps: time moves on by `duration` and other processes
  // act as they fall due, but no main-queue work runs.
  void sleepMainThread(SimTime duration);

  // Runs everything due within `duration`, in deadline order; at equal
  // deadlines other processes act before the main queue. Ends at now + duration
  // or, if main-queue work slept past that, once nothing is due any more.
  void advanceBy(SimTime duration);
  // Runs what is due now. Called from within work the scheduler is running
  // (a world action that a scenario timed, say), it leaves what is due to the
  // loop that runs that work.
  void runDue() {
    if (running_ == 0) advanceBy(SimTime::zero());
  }
  // Runs until nothing is queued. A task that keeps queueing work fails
  // loudly after `maxTasks` instead of hanging.
  void runUntilIdle(std::size_t maxTasks = 100'000);

  bool mainThreadBusy() const { return mainBusy_; }
  // True while the main thread sleeps (other processes act meanwhile).
  bool mainThreadSleeping() const { return sleeping_; }
  std::size_t pendingMainTasks() const { return main_.size(); }
  std::size_t pendingWorldTasks() const { return world_.size(); }
  // Time until the next main-queue deadline, if any work is queued.
  std::optional<SimTime> nextMainDelay() const;
  // Longest the main thread was blocked by one task (its sleeps included).
  SimTime longestMainTask() const { return longestMainTask_; }

 private:
  struct Entry {
    SimTime due;
    std::uint64_t sequence;
    Task task;
  };
  struct Later {
    bool operator()(const Entry& a, const Entry& b) const {
      return a.due != b.due ? a.due > b.due : a.sequence > b.sequence;
    }
  };
  using Queue = std::priority_queue<Entry, std::vector<Entry>, Later>;

  void runWorldUntil(SimTime limit);
  // Runs the next task due by `limit`; false when there is none.
  bool runNext(SimTime limit);
  static Entry pop(Queue& queue);

  SimTime now_{0};
  std::uint64_t nextSequence_ = 0;
  bool mainBusy_ = false;
  bool sleeping_ = false;
  // How many tasks are running, one inside the other (world work while a
  // main-queue task sleeps).
  int running_ = 0;
  bool mainEnded_ = false;
  SimTime longestMainTask_{0};
  Queue main_;
  Queue world_;
};

}  // namespace brimlane::sim
