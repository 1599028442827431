// The simulated desktop's record of events: what it keeps when told to keep
// only the latest, and the sentences the pasteboard writes into it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "test_support.h"

namespace brimlane::sim {
namespace {

using ::testing::ElementsAre;

std::vector<std::string> details(const Timeline& timeline) {
  std::vector<std::string> result;
  for (const TimelineEvent& e : timeline.events()) result.push_back(e.details);
  return result;
}

TEST(TimelineTest, KeepsEverythingUnlessToldOtherwise) {
  Scheduler scheduler;
  Timeline timeline(scheduler);
  for (int i = 0; i < 1000; ++i) timeline.record(Source::kUser, "step", std::to_string(i));
  EXPECT_EQ(timeline.events().size(), 1000u);
  EXPECT_EQ(timeline.events().front().details, "0");
  EXPECT_EQ(timeline.dropped(), 0u);
}

TEST(TimelineTest, KeepsAtLeastTheLatestAndFewerThanTwiceAsMany) {
  Scheduler scheduler;
  Timeline timeline(scheduler);
  timeline.keepLatest(3);
  for (int i = 0; i < 100; ++i) {
    timeline.record(Source::kUser, "step", std::to_string(i));
    const std::vector<TimelineEvent>& events = timeline.events();
    ASSERT_GE(events.size(), std::min<std::size_t>(static_cast<std::size_t>(i) + 1, 3));
    ASSERT_LT(events.size(), 6u);
    // The newest is last, and nothing between the first kept and it is lost.
    ASSERT_EQ(events.back().details, std::to_string(i));
    ASSERT_EQ(timeline.dropped() + events.size(), static_cast<std::size_t>(i) + 1);
    ASSERT_EQ(events.front().details, std::to_string(timeline.dropped()));
  }
}

TEST(TimelineTest, KeepingEverythingAgainStopsDropping) {
  Scheduler scheduler;
  Timeline timeline(scheduler);
  timeline.keepLatest(2);
  for (int i = 0; i < 10; ++i) timeline.record(Source::kUser, "step", std::to_string(i));
  const std::size_t dropped = timeline.dropped();
  timeline.keepLatest(std::nullopt);
  for (int i = 10; i < 20; ++i) timeline.record(Source::kUser, "step", std::to_string(i));
  EXPECT_EQ(timeline.dropped(), dropped);
  EXPECT_EQ(timeline.events().back().details, "19");
  EXPECT_EQ(timeline.events().size(), 20 - dropped);
}

TEST(TimelineTest, AWrittenItemIsDescribedByItsTypes) {
  Scheduler scheduler;
  Timeline timeline(scheduler);
  SimPasteboard pasteboard(timeline, scheduler);
  const Bytes bytes = toBytes("text");
  const PasteboardEntry two[] = {{"public.utf8-plain-text", bytes}, {"public.html", bytes}};
  const PasteboardEntry unnamed[] = {{"", bytes}};
  pasteboard.writeItem(two);
  pasteboard.writeItem({});
  pasteboard.writeItem(unnamed);
  EXPECT_THAT(details(timeline),
              ElementsAre("An item is written: public.utf8-plain-text, public.html.",
                          "An item is written: no types.", "An item is written: no types."));
}

}  // namespace
}  // namespace brimlane::sim
