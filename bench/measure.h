// What the benchmarks share: the physical limit they are held to, measured in
// the same iterations as the operation itself; wall-clock timing of a loop; and
// the targets printed once every benchmark has run.
#pragma once

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace brimlane::bench {

inline constexpr std::size_t kKiB = 1024;
inline constexpr std::size_t kMiB = 1024 * kKiB;

// The least an operation that copies `count` buffers of `size` bytes `copies`
// times over can cost: each buffer copied with memcpy into a fresh buffer, that
// copy into another fresh buffer and so on (as a clipboard is saved and then
// written back, or a text encoded into a message and decoded from it), and all
// of them released.
class FreshCopies {
 public:
  FreshCopies(std::size_t size, std::size_t count, std::size_t copies);
  FreshCopies(const FreshCopies&) = delete;
  FreshCopies& operator=(const FreshCopies&) = delete;

  void run();

 private:
  std::size_t size_;
  std::size_t count_;
  std::vector<std::uint8_t> source_;
  // copies × count buffers, one row of `count` per copy.
  std::vector<void*> buffers_;
};

using Clock = std::chrono::steady_clock;

// Times an operation against FreshCopies of the same bytes. Every iteration
// runs a batch of operations and then a batch of limits, timing each, so that
// whatever else the machine is doing weighs on both sides alike. Register the
// benchmark with UseManualTime(): the time it reports is the operations' alone.
class AgainstMemcpy {
 public:
  AgainstMemcpy(std::size_t size, std::size_t count, std::size_t copies);

  // Operations per iteration: enough that small ones take well over the
  // clock's own cost. One from 256 KiB up.
  std::size_t batch() const { return batch_; }

  // One operation and one limit, untimed, before the loop: the first touch of
  // the heap's pages is not what the benchmark is about.
  template <class Operation>
  void run(benchmark::State& state, Operation&& operation) {
    operation();
    limit_.run();
    for (auto _ : state) {
      const Clock::time_point start = Clock::now();
      for (std::size_t i = 0; i < batch_; ++i) operation();
      const Clock::time_point middle = Clock::now();
      for (std::size_t i = 0; i < batch_; ++i) limit_.run();
      const Clock::time_point end = Clock::now();
      const double seconds = std::chrono::duration<double>(middle - start).count();
      operationSeconds_ += seconds;
      limitSeconds_ += std::chrono::duration<double>(end - middle).count();
      operations_ += static_cast<double>(batch_);
      state.SetIterationTime(seconds);
    }
  }

  double secondsPerOperation() const { return operationSeconds_ / operations_; }
  double limitSecondsPerOperation() const { return limitSeconds_ / operations_; }
  double ratio() const { return operationSeconds_ / limitSeconds_; }

  // Bytes per second, seconds per operation and per limit, and the ratio of
  // the two ("x_memcpy") as the benchmark's counters.
  void report(benchmark::State& state) const;

 private:
  std::size_t bytes_;
  std::size_t batch_;
  FreshCopies limit_;
  double operationSeconds_ = 0;
  double limitSeconds_ = 0;
  double operations_ = 0;
};

// Wall-clock time of a benchmark's loop: start it just before the loop.
// Memory-bound work spends part of its time in the kernel (page faults), which
// wall time counts and thread CPU time may not.
class LoopTimer {
 public:
  LoopTimer() : start_(Clock::now()) {}
  double secondsPerIteration(const benchmark::State& state) const;

 private:
  Clock::time_point start_;
};

// A figure checked against its target once all benchmarks have run. A
// benchmark runs several times while the library settles its iteration count;
// the last report of a label is the one that counts.
enum class Bound { kAtMost, kAtLeast };
void reportTarget(const std::string& label, double value, Bound bound, double limit);
// Prints every reported target and whether it was met; true if all were.
bool printTargets(std::ostream& out);

// Figures of earlier benchmarks of this run, so that a later one can tell how
// its cost scales with size.
void remember(const std::string& key, double value);
std::optional<double> recalled(const std::string& key);

}  // namespace brimlane::bench
