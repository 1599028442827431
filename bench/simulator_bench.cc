// The simulated desktop's throughput: complete summon-and-paste cycles per
// second of real time. Randomized and fuzz runs drive the host through millions
// of such steps, and virtual time must never cost real time.
#include <benchmark/benchmark.h>

#include <chrono>
#include <optional>
#include <string>

#include "app/channels/channel_handlers.h"
#include "bench/counting_allocator.h"
#include "bench/measure.h"
#include "sim/sim_desktop.h"

namespace brimlane::bench {
namespace {

using namespace std::chrono_literals;

constexpr std::uint32_t kKeyT = 17;
const std::string kPasted = "rewritten text";

// One cycle: the user presses Command-Shift-T in Notes; the host captures the
// selection (Notes copies it 0.05 s after the Command-C, the host's poll reads
// it at 0.1 s), restores the clipboard, sends it to the UI and shows the panel;
// the UI calls "pasteText" over the channel; a second of virtual time runs the
// Command-V at 0.3 s, Notes' paste and the restore at 0.8 s.
//
// Once with the whole timeline kept, as the tests keep it, and once with only
// its latest events, as a long randomized run would keep it.
void BM_SummonAndPasteCycle(benchmark::State& state, std::optional<std::size_t> keptEvents) {
  sim::SimDesktop desktop;
  desktop.timeline().keepLatest(keptEvents);
  sim::SimApp& notes = desktop.launchApp("Notes");
  notes.selection = "selected text";
  desktop.pasteboard().setItems({sim::SimPasteboardItem::plainText("user's clipboard")},
                                "The user");
  desktop.activate(notes);
  desktop.launch();
  desktop.activate(notes);
  const MethodCall paste{"pasteText", ChannelValue(kPasted)};
  const std::string channel(kSelectionChannelName);
  const std::size_t receivedBefore = desktop.engine().received().size();

  const std::size_t liveBefore = allocationStats().liveBytes;
  bool answered = true;
  const LoopTimer timer;
  for (auto _ : state) {
    desktop.pressKeys(kKeyT, kCmdKey | kShiftKey);
    const sim::UiCallOutcome outcome = desktop.engine().call(channel, paste);
    answered = answered && outcome.replies.size() == 1;
    desktop.advance(1s);
  }
  const double seconds = timer.secondsPerIteration(state);
  const std::size_t liveAfter = allocationStats().liveBytes;

  const auto cycles = static_cast<std::size_t>(state.iterations());
  const std::vector<sim::UiMessage>& received = desktop.engine().received();
  if (!answered || received.size() - receivedBefore != cycles ||
      received.back().call.arguments != ChannelValue(notes.selection) ||
      notes.document.size() != cycles * kPasted.size() ||
      desktop.pasteboard().stringForTypeString() != "user's clipboard") {
    state.SkipWithError("a cycle did not capture, paste and restore as it should");
    return;
  }
  state.SetItemsProcessed(state.iterations());
  // What the desktop's records keep per cycle; fuzz runs multiply it by millions.
  state.counters["kept_B_per_cycle"] =
      (static_cast<double>(liveAfter) - static_cast<double>(liveBefore)) /
      static_cast<double>(cycles);
  reportTarget(std::string("summon-and-paste cycles per second, ") +
                   (keptEvents ? "latest events kept" : "whole timeline kept"),
               1 / seconds, Bound::kAtLeast, 20'000);
}

BENCHMARK_CAPTURE(BM_SummonAndPasteCycle, whole_timeline, std::nullopt)->UseRealTime();
BENCHMARK_CAPTURE(BM_SummonAndPasteCycle, latest_1024_events, std::optional<std::size_t>(1024))
    ->UseRealTime();

}  // namespace
}  // namespace brimlane::bench
