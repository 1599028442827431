// The standard method codec as the simulated engine uses it on every channel
// message: a "pasteText" call carrying the text to paste, a reply, and a large
// nested value.
#include <benchmark/benchmark.h>

#include <string>

#include "bench/measure.h"
#include "sim/standard_codec.h"

namespace brimlane::bench {
namespace {

std::string textOf(std::size_t size) {
  std::string text(size, ' ');
  for (std::size_t i = 0; i < size; ++i) text[i] = static_cast<char>('a' + i % 26);
  return text;
}

std::string sizeName(std::size_t bytes) {
  return bytes >= kMiB ? std::to_string(bytes / kMiB) + " MiB"
                       : std::to_string(bytes / kKiB) + " KiB";
}

MethodCall pasteTextCall(std::size_t size) {
  return MethodCall{"pasteText", ChannelValue(textOf(size))};
}

// Encoding copies the text into the message once; the limit is one memcpy.
void BM_EncodePasteText(benchmark::State& state) {
  const std::size_t size = static_cast<std::size_t>(state.range(0));
  const MethodCall call = pasteTextCall(size);
  AgainstMemcpy measure(size, 1, 1);
  measure.run(state, [&] {
    Bytes wire = sim::encodeMethodCall(call);
    benchmark::DoNotOptimize(wire.data());
  });
  measure.report(state);
}

// Decoding copies the text out of the message once; the limit is one memcpy.
void BM_DecodePasteText(benchmark::State& state) {
  const std::size_t size = static_cast<std::size_t>(state.range(0));
  const Bytes wire = sim::encodeMethodCall(pasteTextCall(size));
  bool decoded = true;
  AgainstMemcpy measure(size, 1, 1);
  measure.run(state, [&] {
    sim::Decoded<MethodCall> call = sim::decodeMethodCall(wire);
    decoded = decoded && std::holds_alternative<MethodCall>(call);
    benchmark::DoNotOptimize(call);
  });
  if (!decoded) {
    state.SkipWithError("the call did not decode");
    return;
  }
  measure.report(state);
}

// The call crosses the channel: encoded on one side, decoded on the other. The
// limit is two memcpys, the second from the first's copy.
void BM_PasteTextRoundTrip(benchmark::State& state) {
  const std::size_t size = static_cast<std::size_t>(state.range(0));
  const MethodCall call = pasteTextCall(size);
  bool decoded = true;
  AgainstMemcpy measure(size, 1, 2);
  measure.run(state, [&] {
    const Bytes wire = sim::encodeMethodCall(call);
    sim::Decoded<MethodCall> back = sim::decodeMethodCall(wire);
    decoded = decoded && std::holds_alternative<MethodCall>(back);
    benchmark::DoNotOptimize(back);
  });
  if (!decoded) {
    state.SkipWithError("the call did not decode");
    return;
  }
  measure.report(state);

  const std::string name = "pasteText " + sizeName(size);
  remember(name + " s", measure.secondsPerOperation());
  remember(name + " limit s", measure.limitSecondsPerOperation());
  if (size >= kMiB) {
    reportTarget(name + ": decode+encode / two fresh memcpys", measure.ratio(), Bound::kAtMost,
                 2.0);
  }
  // Cost per byte against the 1 MiB call's. A large message no longer fits in
  // the caches, which makes every byte dearer for memcpy too, so the target is
  // on the codec's growth over memcpy's: 1 when the codec scales exactly as a
  // copy does, and 16 if it were quadratic.
  const std::optional<double> oneMiB = recalled("pasteText 1 MiB s");
  const std::optional<double> oneMiBLimit = recalled("pasteText 1 MiB limit s");
  if (size > kMiB && oneMiB && oneMiBLimit) {
    const double scale = static_cast<double>(size) / kMiB;
    const double perByte = measure.secondsPerOperation() / (scale * *oneMiB);
    const double limitPerByte = measure.limitSecondsPerOperation() / (scale * *oneMiBLimit);
    state.counters["per_byte_vs_1MiB"] = perByte;
    state.counters["memcpy_per_byte_vs_1MiB"] = limitPerByte;
    reportTarget(name + ": growth per byte from 1 MiB, over memcpy's", perByte / limitPerByte,
                 Bound::kAtMost, 1.5);
  }
}

BENCHMARK(BM_EncodePasteText)->Arg(kKiB)->Arg(kMiB)->Arg(16 * kMiB)->UseManualTime();
BENCHMARK(BM_DecodePasteText)->Arg(kKiB)->Arg(kMiB)->Arg(16 * kMiB)->UseManualTime();
BENCHMARK(BM_PasteTextRoundTrip)->Arg(kKiB)->Arg(kMiB)->Arg(16 * kMiB)->UseManualTime();

// What the host answers a "pasteText" with, and an argument error.
void BM_ReplyRoundTrip(benchmark::State& state, ChannelResult result) {
  bool decoded = true;
  for (auto _ : state) {
    const Bytes wire = sim::encodeReply(result);
    sim::Decoded<sim::DecodedReply> reply = sim::decodeReply(wire);
    decoded = decoded && std::holds_alternative<sim::DecodedReply>(reply);
    benchmark::DoNotOptimize(reply);
  }
  if (!decoded) {
    state.SkipWithError("the reply did not decode");
    return;
  }
  state.SetItemsProcessed(state.iterations());
}

BENCHMARK_CAPTURE(BM_ReplyRoundTrip, success_true, ChannelResult(true));
BENCHMARK_CAPTURE(BM_ReplyRoundTrip, error,
                  ChannelResult(ChannelError{"INVALID_ARGUMENT", "Text argument required", {}}));

// `entries` map entries in all: maps of 100 entries in a list, each entry a
// string key and a small list value (an integer, a float, a string, a flag).
ChannelValue nestedValue(std::size_t entries) {
  ChannelList maps;
  for (std::size_t m = 0; m < entries / 100; ++m) {
    ChannelMap map;
    for (std::size_t e = 0; e < 100; ++e) {
      const std::size_t n = m * 100 + e;
      map.emplace_back(ChannelValue("key-" + std::to_string(n)),
                       ChannelValue(ChannelList{ChannelValue(static_cast<std::int32_t>(n)),
                                                ChannelValue(0.5 * static_cast<double>(n)),
                                                ChannelValue("value " + std::to_string(n)),
                                                ChannelValue(n % 2 == 0)}));
    }
    maps.emplace_back(std::move(map));
  }
  return ChannelValue(std::move(maps));
}

void BM_NestedEncode(benchmark::State& state) {
  const std::size_t entries = static_cast<std::size_t>(state.range(0));
  const ChannelValue value = nestedValue(entries);
  std::size_t size = 0;
  for (auto _ : state) {
    Bytes wire = sim::encodeValue(value);
    size = wire.size();
    benchmark::DoNotOptimize(wire.data());
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(entries) * state.iterations());
  state.SetBytesProcessed(static_cast<std::int64_t>(size) * state.iterations());
}

void BM_NestedDecode(benchmark::State& state) {
  const std::size_t entries = static_cast<std::size_t>(state.range(0));
  const Bytes wire = sim::encodeValue(nestedValue(entries));
  bool decoded = true;
  for (auto _ : state) {
    sim::Decoded<ChannelValue> value = sim::decodeValue(wire);
    decoded = decoded && std::holds_alternative<ChannelValue>(value);
    benchmark::DoNotOptimize(value);
  }
  if (!decoded) {
    state.SkipWithError("the value did not decode");
    return;
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(entries) * state.iterations());
  state.SetBytesProcessed(static_cast<std::int64_t>(wire.size()) * state.iterations());
}

// 100,000 entries as well, to show the cost per entry does not grow.
BENCHMARK(BM_NestedEncode)->Arg(10'000)->Arg(100'000);
BENCHMARK(BM_NestedDecode)->Arg(10'000)->Arg(100'000);

}  // namespace
}  // namespace brimlane::bench
