// Virtual time: deadline order, the main thread blocked by sleeps, and other
// processes acting meanwhile.
#include "sim/scheduler.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace brimlane::sim {
namespace {

using namespace std::chrono_literals;
using ::testing::ElementsAre;

class SchedulerTest : public ::testing::Test {
 protected:
  // Records a label with the virtual time at which it ran.
  Scheduler::Task note(std::string label) {
    return [this, label = std::move(label)] {
      ran.push_back(label + "@" + std::to_string(scheduler.now().count()));
    };
  }

  Scheduler scheduler;
  std::vector<std::string> ran;
};

TEST_F(SchedulerTest, StartsAtZeroAndKeepsTimeExactly) {
  EXPECT_EQ(scheduler.now(), 0us);
  EXPECT_EQ(toSimTime(Seconds(0.1)) + toSimTime(Seconds(0.2)), toSimTime(Seconds(0.3)));
  for (int i = 0; i < 10; ++i) scheduler.sleepMainThread(toSimTime(Seconds(0.1)));
  EXPECT_EQ(scheduler.now(), toSimTime(Seconds(1.0)));
}

TEST_F(SchedulerTest, RunsMainWorkByDeadlineThenFirstPostedFirst) {
  scheduler.postMain(300ms, note("c"));
  scheduler.postMain(100ms, note("a"));
  scheduler.postMain(300ms, note("d"));
  scheduler.postMain(100ms, note("b"));

  scheduler.advanceBy(1s);

  EXPECT_THAT(ran, ElementsAre("a@100000", "b@100000", "c@300000", "d@300000"));
  EXPECT_EQ(scheduler.now(), 1s);
}

TEST_F(SchedulerTest, AdvanceRunsOnlyWhatFallsDueWithinIt) {
  scheduler.postMain(300ms, note("early"));
  scheduler.postMain(301ms, note("late"));

  scheduler.advanceBy(300ms);
  EXPECT_THAT(ran, ElementsAre("early@300000"));
  EXPECT_EQ(scheduler.nextMainDelay(), 1ms);

  scheduler.runDue();
  EXPECT_EQ(ran.size(), 1u);
}

TEST_F(SchedulerTest, WorkQueuedByWorkRunsInItsTurn) {
  scheduler.postMain(0ms, [this] {
    ran.push_back("first");
    scheduler.postMain(0ms, note("queued by first"));
    scheduler.postMain(500ms, note("half a second later"));
  });
  scheduler.postMain(0ms, note("second"));

  scheduler.runUntilIdle();

  EXPECT_THAT(ran,
              ElementsAre("first", "second@0", "queued by first@0", "half a second later@500000"));
}

TEST_F(SchedulerTest, SleepLetsOtherProcessesActButRunsNoMainWork) {
  scheduler.postMain(0ms, note("main"));
  scheduler.postWorld(50ms, note("copy lands"));
  scheduler.postWorld(250ms, note("too late"));

  scheduler.sleepMainThread(100ms);

  EXPECT_THAT(ran, ElementsAre("copy lands@50000"));
  EXPECT_EQ(scheduler.now(), 100ms);
  EXPECT_EQ(scheduler.pendingMainTasks(), 1u);
}

TEST_F(SchedulerTest, MainWorkDueDuringABlockingTaskRunsLate) {
  scheduler.postMain(0ms, [this] {
    ran.push_back("blocking");
    scheduler.sleepMainThread(1s);
  });
  scheduler.postMain(300ms, note("due while blocked"));

  scheduler.advanceBy(300ms);

  EXPECT_THAT(ran, ElementsAre("blocking", "due while blocked@1000000"));
  EXPECT_EQ(scheduler.longestMainTask(), 1s);
}

TEST_F(SchedulerTest, OtherProcessesActFirstAtEqualDeadlines) {
  scheduler.postMain(100ms, note("main"));
  scheduler.postWorld(100ms, note("world"));

  scheduler.advanceBy(100ms);

  EXPECT_THAT(ran, ElementsAre("world@100000", "main@100000"));
}

TEST_F(SchedulerTest, RunawayWorkFailsInsteadOfHanging) {
  std::function<void()> again = [&] { scheduler.postMain(1ms, again); };
  scheduler.postMain(0ms, again);
  EXPECT_THROW(scheduler.runUntilIdle(1000), std::runtime_error);
}

}  // namespace
}  // namespace brimlane::sim
