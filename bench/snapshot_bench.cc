// Snapshot and restore of the general pasteboard through the host's own code on
// the simulated pasteboard, against the cost of copying the same bytes into
// fresh buffers twice (once for the snapshot, once for the restore).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "bench/counting_allocator.h"
#include "bench/measure.h"
#include "sim/sim_desktop.h"

namespace brimlane::bench {
namespace {

struct Layout {
  std::size_t items;
  std::size_t types;
  std::size_t bytesPerType;
  std::size_t payload() const { return items * types * bytesPerType; }
};

std::string sizeName(std::size_t bytes) {
  if (bytes % kMiB == 0) return std::to_string(bytes / kMiB) + " MiB";
  return std::to_string(bytes / kKiB) + " KiB";
}

std::string layoutName(const Layout& layout) {
  return std::to_string(layout.items) + "x" + std::to_string(layout.types) + "x" +
         sizeName(layout.bytesPerType);
}

// Distinct, non-zero bytes, so that every page really exists.
sim::SimPasteboardItem itemOf(std::size_t types, std::size_t bytesPerType, std::size_t seed) {
  sim::SimPasteboardItem item;
  for (std::size_t t = 0; t < types; ++t) {
    Bytes bytes(bytesPerType);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
      bytes[i] = static_cast<std::uint8_t>(1 + (i + seed + t) % 251);
    }
    item.types.push_back(
        {types == 1 ? "public.tiff" : "com.example.type-" + std::to_string(t), std::move(bytes)});
  }
  return item;
}

void fill(sim::SimPasteboard& pasteboard, const Layout& layout) {
  std::vector<sim::SimPasteboardItem> items;
  for (std::size_t i = 0; i < layout.items; ++i) {
    items.push_back(itemOf(layout.types, layout.bytesPerType, i));
  }
  pasteboard.setItems(std::move(items), "The user");
}

// One operation: the snapshot is taken, written back, and released (its bytes
// wiped), as a capture does. The limit is one fresh copy of every buffer for
// the snapshot and one for the restore: the pasteboard holds separate buffers,
// and a snapshot and a restored pasteboard must hold as many.
void BM_SnapshotRestore(benchmark::State& state, Layout layout) {
  sim::SimDesktop desktop;
  // The record of every clear and write would otherwise grow for the whole
  // run, and the benchmark would measure the simulator's bookkeeping.
  desktop.timeline().keepLatest(1024);
  desktop.launch();
  AppDelegate& host = *desktop.delegate();
  fill(desktop.pasteboard(), layout);
  const std::size_t buffers = layout.items * layout.types;
  const std::vector<sim::SimPasteboardItem> before = desktop.pasteboard().items();
  AgainstMemcpy measure(layout.bytesPerType, buffers, 2);

  // Counted around the operation alone, not the limit run next to it.
  setWatchedBlockSize(layout.bytesPerType);
  std::size_t operations = 0;
  std::size_t watched = 0;
  std::size_t allocations = 0;
  std::size_t written = 0;
  measure.run(state, [&] {
    const AllocationStats before = allocationStats();
    const std::size_t writtenBefore = desktop.pasteboard().bytesWritten();
    {
      const SavedPasteboard saved = host.snapshotPasteboard();
      host.restoreClipboard(saved);
    }
    const AllocationStats after = allocationStats();
    ++operations;
    watched += after.watchedAllocations - before.watchedAllocations;
    allocations += after.allocations - before.allocations;
    written += desktop.pasteboard().bytesWritten() - writtenBefore;
  });
  setWatchedBlockSize(0);

  if (desktop.pasteboard().items() != before) {
    state.SkipWithError("the pasteboard did not come back as it was");
    return;
  }
  measure.report(state);
  // Blocks of one buffer's size per buffer on the pasteboard: 2 means the
  // snapshot's copy and the restore's, nothing else.
  const double ops = static_cast<double>(operations);
  const double copies = static_cast<double>(watched) / (static_cast<double>(buffers) * ops);
  state.counters["copies"] = copies;
  state.counters["pb_written"] =
      static_cast<double>(written) / (static_cast<double>(layout.payload()) * ops);
  // Every other block the host and the simulated pasteboard allocate, per
  // buffer: item lists, type names, the snapshot's map nodes, the record.
  state.counters["other_allocs_per_buffer"] =
      (static_cast<double>(allocations - watched) / ops) / static_cast<double>(buffers);

  const std::string name = "snapshot+restore " + layoutName(layout);
  reportTarget(name + ": copies of each buffer", copies, Bound::kAtMost, 2.0);
  if (layout.payload() >= kMiB) {
    reportTarget(name + ": time / two fresh memcpys", measure.ratio(), Bound::kAtMost, 1.5);
  }
}

BENCHMARK_CAPTURE(BM_SnapshotRestore, 1x1x1KiB, Layout{1, 1, kKiB})->UseManualTime();
BENCHMARK_CAPTURE(BM_SnapshotRestore, 1x1x1MiB, Layout{1, 1, kMiB})->UseManualTime();
BENCHMARK_CAPTURE(BM_SnapshotRestore, 1x1x64MiB, Layout{1, 1, 64 * kMiB})->UseManualTime();
BENCHMARK_CAPTURE(BM_SnapshotRestore, 1x1x256MiB, Layout{1, 1, 256 * kMiB})->UseManualTime();
BENCHMARK_CAPTURE(BM_SnapshotRestore, 50x8x4KiB, Layout{50, 8, 4 * kKiB})->UseManualTime();

// A whole capture (snapshot, clear, Command-C, the copy landing 0.05 s later,
// the poll that reads it, restore) over a 256 MiB clipboard. What it may hold
// at its peak: the clipboard, one snapshot of it, and 1 MiB for everything else.
void BM_CaptureOver256MiB(benchmark::State& state) {
  constexpr std::size_t kClipboard = 256 * kMiB;
  sim::SimDesktop desktop;
  desktop.timeline().keepLatest(1024);
  sim::SimApp& notes = desktop.launchApp("Notes");
  notes.selection = "selected text";
  fill(desktop.pasteboard(), Layout{1, 1, kClipboard});
  desktop.activate(notes);
  desktop.launch();
  desktop.activate(notes);
  AppDelegate& host = *desktop.delegate();

  std::size_t peakGrowth = 0;
  bool captured = true;
  AgainstMemcpy measure(kClipboard, 1, 2);
  measure.run(state, [&] {
    const std::size_t live = allocationStats().liveBytes;
    resetPeak();
    const std::optional<std::string> selection = host.getSelectionViaClipboard();
    peakGrowth = std::max(peakGrowth, allocationStats().peakLiveBytes - live);
    captured = captured && selection == notes.selection;
  });
  if (!captured) {
    state.SkipWithError("a capture missed the selection");
    return;
  }
  measure.report(state);
  const double peak = static_cast<double>(kClipboard + peakGrowth);
  const double limit = static_cast<double>(2 * kClipboard + kMiB);
  state.counters["peak_MiB"] = peak / kMiB;
  state.counters["limit_MiB"] = limit / kMiB;
  reportTarget("capture over 256 MiB: peak memory (MiB)", peak / kMiB, Bound::kAtMost,
               limit / kMiB);
}

BENCHMARK(BM_CaptureOver256MiB)->UseManualTime();

}  // namespace
}  // namespace brimlane::bench
