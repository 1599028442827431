// Runs the benchmarks, then prints every target with its figure from this run.
// The exit status is that of the run, not of the targets: a missed target is a
// finding to read, not a broken build.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cstring>
#include <iostream>

#include "bench/measure.h"

namespace {

// The first touch of a page is dear in a virtual machine (on the one these
// figures come from, some 10 µs a page), and whether a large block gets new
// pages depends on the allocator's history: glibc maps big blocks afresh until
// a free raises its threshold, and gives memory back when the top of the heap
// grows past another. Left alone, a benchmark and the memcpy it is compared
// with can land on different sides of those thresholds.
//
// So by default the heap keeps what is freed and never maps blocks of their
// own: after the first iteration every buffer reuses pages already there, and
// the figures count copying work only. `--fresh_pages` does the opposite and
// maps every block of 128 KiB or more anew, as a large allocation usually is on
// a Mac, so that both sides pay for the first touch of each page.
const char* configureHeap(int& argc, char** argv) {
  bool freshPages = false;
  int kept = 1;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--fresh_pages") == 0) {
      freshPages = true;
    } else {
      argv[kept++] = argv[i];
    }
  }
  argc = kept;
  if (freshPages) {
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
    mallopt(M_TRIM_THRESHOLD, 128 * 1024);
    return "fresh pages: blocks of 128 KiB or more are mapped anew each time";
  }
  mallopt(M_MMAP_MAX, 0);
  mallopt(M_TRIM_THRESHOLD, -1);
  return "warm heap: freed memory is kept and reused (see --fresh_pages)";
}

}  // namespace

int main(int argc, char** argv) {
  const char* heap = configureHeap(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::AddCustomContext("heap", heap);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::cout.flush();
  brimlane::bench::printTargets(std::cout);
  return 0;
}
