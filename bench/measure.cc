#include "bench/measure.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <new>
#include <ostream>

namespace brimlane::bench {
namespace {

struct Target {
  std::string label;
  double value;
  Bound bound;
  double limit;
};

std::vector<Target>& targets() {
  static std::vector<Target> all;
  return all;
}

std::map<std::string, double>& remembered() {
  static std::map<std::string, double> figures;
  return figures;
}

}  // namespace

FreshCopies::FreshCopies(std::size_t size, std::size_t count, std::size_t copies)
    : size_(size), count_(count), source_(size * count), buffers_(copies * count) {
  // Every page written, so none of them is the kernel's shared zero page.
  for (std::size_t i = 0; i < source_.size(); ++i) source_[i] = static_cast<std::uint8_t>(i * 131);
}

void FreshCopies::run() {
  for (std::size_t i = 0; i < buffers_.size(); ++i) {
    const void* from = i < count_ ? source_.data() + i * size_ : buffers_[i - count_];
    buffers_[i] = ::operator new(size_);
    std::memcpy(buffers_[i], from, size_);
  }
  benchmark::ClobberMemory();
  for (void* buffer : buffers_) ::operator delete(buffer);
}

AgainstMemcpy::AgainstMemcpy(std::size_t size, std::size_t count, std::size_t copies)
    : bytes_(size * count),
      batch_(std::max<std::size_t>(1, 256 * kKiB / std::max<std::size_t>(bytes_, 1))),
      limit_(size, count, copies) {}

void AgainstMemcpy::report(benchmark::State& state) const {
  state.SetBytesProcessed(static_cast<std::int64_t>(operations_ * static_cast<double>(bytes_)));
  state.counters["s_per_op"] = secondsPerOperation();
  state.counters["limit_s_per_op"] = limitSecondsPerOperation();
  state.counters["x_memcpy"] = ratio();
  if (batch_ > 1) state.SetLabel("time per " + std::to_string(batch_) + " ops");
}

double LoopTimer::secondsPerIteration(const benchmark::State& state) const {
  const double elapsed = std::chrono::duration<double>(Clock::now() - start_).count();
  return state.iterations() > 0 ? elapsed / static_cast<double>(state.iterations()) : elapsed;
}

void reportTarget(const std::string& label, double value, Bound bound, double limit) {
  std::vector<Target>& all = targets();
  const auto existing =
      std::find_if(all.begin(), all.end(), [&](const Target& t) { return t.label == label; });
  if (existing != all.end()) {
    *existing = {label, value, bound, limit};
  } else {
    all.push_back({label, value, bound, limit});
  }
}

bool printTargets(std::ostream& out) {
  if (targets().empty()) return true;
  bool allMet = true;
  out << "\nTargets\n";
  for (const Target& t : targets()) {
    const bool met = t.bound == Bound::kAtMost ? t.value <= t.limit : t.value >= t.limit;
    allMet = allMet && met;
    char line[256];
    std::snprintf(line, sizeof line, "  %-60s %10.4g  %s %-8.4g %s\n", t.label.c_str(), t.value,
                  t.bound == Bound::kAtMost ? "<=" : ">=", t.limit, met ? "met" : "MISSED");
    out << line;
  }
  return allMet;
}

void remember(const std::string& key, double value) {
  remembered()[key] = value;
}

std::optional<double> recalled(const std::string& key) {
  const auto found = remembered().find(key);
  if (found == remembered().end()) return std::nullopt;
  return found->second;
}

}  // namespace brimlane::bench
