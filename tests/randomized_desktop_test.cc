// Thousands of seeded runs of arbitrary user, application and UI behaviour
// against a launched host, each checked against the host's promises. A failure
// prints its seed; BRIMLANE_RANDOM_SEED=N runs that one seed again.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "sim/explorer/desktop_explorer.h"

namespace brimlane::sim {
namespace {

constexpr std::uint64_t kShards = 4;
constexpr std::uint64_t kRunsPerShard = 550;
constexpr std::size_t kStepsPerRun = 60;

std::string explain(std::uint64_t seed, const std::string& broken,
                    const std::vector<std::string>& steps) {
  std::string text = "seed " + std::to_string(seed) + ": " + broken + "\nsteps:";
  for (const std::string& step : steps) text += "\n  " + step;
  return text;
}

class RandomizedDesktopTest : public ::testing::TestWithParam<std::uint64_t> {};

TEST_P(RandomizedDesktopTest, KeepsEveryPromise) {
  std::uint64_t first = GetParam() * kRunsPerShard;
  std::uint64_t runs = kRunsPerShard;
  if (const char* seed = std::getenv("BRIMLANE_RANDOM_SEED")) {
    if (GetParam() != 0) GTEST_SKIP() << "one seed runs in the first shard only";
    first = std::strtoull(seed, nullptr, 10);
    runs = 1;
  }
  for (std::uint64_t seed = first; seed < first + runs; ++seed) {
    RandomChoices choices(seed);
    DesktopExplorer explorer(choices);
    if (const std::optional<std::string> broken = explorer.run(kStepsPerRun)) {
      FAIL() << explain(seed, *broken, explorer.steps());
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Shards, RandomizedDesktopTest,
                         ::testing::Range<std::uint64_t>(0, kShards));

}  // namespace
}  // namespace brimlane::sim
