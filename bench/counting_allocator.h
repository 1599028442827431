// The bench binary replaces the global operator new and delete with versions
// that count: how many blocks, how many bytes, how many are alive and the most
// that were alive at once. That is how the benchmarks see copies (every copy of
// a byte buffer is one allocation of its size) and peak memory.
//
// The counters are plain integers: the benchmarks run on one thread, and an
// atomic increment on every allocation would slow the simulator down enough to
// distort its figures.
#pragma once

#include <cstddef>

namespace brimlane::bench {

struct AllocationStats {
  std::size_t allocations = 0;     // blocks handed out
  std::size_t bytesRequested = 0;  // their sizes as asked for
  // Blocks of exactly the watched size: a copy of a buffer of that size
  // allocates one, and hardly anything else does.
  std::size_t watchedAllocations = 0;
  // What the blocks alive now really occupy (usable size), and the most that
  // ever did since the last resetPeak().
  std::size_t liveBytes = 0;
  std::size_t peakLiveBytes = 0;
};

AllocationStats allocationStats();

// From now on the peak is measured from what is alive at this moment.
void resetPeak();

// Blocks of exactly this many bytes are counted as watched too; 0 watches none.
void setWatchedBlockSize(std::size_t bytes);

}  // namespace brimlane::bench
