#include "sim/scheduler.h"

#include <cassert>
#include <stdexcept>
#include <utility>

namespace brimlane::sim {

SimTime toSimTime(Seconds seconds) {
  return std::chrono::round<SimTime>(seconds);
}

double toSeconds(SimTime time) {
  return std::chrono::duration<double>(time).count();
}

void Scheduler::postMain(SimTime delay, Task task) {
  if (mainEnded_) return;
  main_.push({now_ + std::max(delay, SimTime::zero()), nextSequence_++, std::move(task)});
}

void Scheduler::endMainQueue() {
  mainEnded_ = true;
  main_ = Queue();
}

void Scheduler::postWorld(SimTime delay, Task task) {
  world_.push({now_ + std::max(delay, SimTime::zero()), nextSequence_++, std::move(task)});
}

Scheduler::Entry Scheduler::pop(Queue& queue) {
  // priority_queue::top is const; the task is moved out just before the pop.
  Entry entry = std::move(const_cast<Entry&>(queue.top()));
  queue.pop();
  return entry;
}

void Scheduler::runWorldUntil(SimTime limit) {
  while (!world_.empty() && world_.top().due <= limit) {
    Entry entry = pop(world_);
    now_ = std::max(now_, entry.due);
    ++running_;
    entry.task();
    --running_;
  }
}

void Scheduler::sleepMainThread(SimTime duration) {
  const SimTime wakeUp = now_ + std::max(duration, SimTime::zero());
  sleeping_ = true;
  runWorldUntil(wakeUp);
  sleeping_ = false;
  now_ = wakeUp;
}

bool Scheduler::runNext(SimTime limit) {
  const bool worldDue = !world_.empty() && world_.top().due <= limit;
  const bool mainDue = !main_.empty() && main_.top().due <= limit;
  if (!worldDue && !mainDue) return false;
  if (worldDue && (!mainDue || world_.top().due <= main_.top().due)) {
    runWorldUntil(world_.top().due);
    return true;
  }
  Entry entry = pop(main_);
  // Work that fell due while the main thread was blocked runs late, now.
  now_ = std::max(now_, entry.due);
  const SimTime start = now_;
  mainBusy_ = true;
  ++running_;
  entry.task();
  --running_;
  mainBusy_ = false;
  longestMainTask_ = std::max(longestMainTask_, now_ - start);
  return true;
}

void Scheduler::advanceBy(SimTime duration) {
  assert(!mainBusy_ && "main-queue work cannot wait for other main-queue work");
  const SimTime target = now_ + std::max(duration, SimTime::zero());
  // Work that sleeps moves time on; whatever fell due meanwhile runs too.
  while (runNext(std::max(target, now_))) {
  }
  now_ = std::max(now_, target);
}

void Scheduler::runUntilIdle(std::size_t maxTasks) {
  assert(!mainBusy_ && "main-queue work cannot wait for other main-queue work");
  for (std::size_t ran = 0; runNext(SimTime::max()); ++ran) {
    if (ran >= maxTasks) throw std::runtime_error("simulated work keeps queueing more work");
  }
}

std::optional<SimTime> Scheduler::nextMainDelay() const {
  if (main_.empty()) return std::nullopt;
  return std::max(main_.top().due - now_, SimTime::zero());
}

}  // namespace brimlane::sim
