// Ten minutes of stereo 44.1 kHz converted to 48 kHz through our converter (from a source in
// memory), and `sox in.wav -r 48000 out.wav` on the same audio in the same run.
//   ours/sox: our time over sox's (sox's `rate` is a longer, higher-quality filter)
//   x_realtime_per_channel: seconds of audio per channel converted per second; target ≥ 50
//   x_realtime: seconds of stereo audio converted per second
#include <benchmark/benchmark.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "bench_folder.h"
#include "bench_timing.h"
#include "effects/format_conversion.h"
#include "formats/wav.h"
#include "memory_source.h"

namespace quillon::bench {
namespace {

constexpr int32_t kSeconds = 10 * 60;
constexpr int32_t kFrames = kSeconds * 44100;
constexpr int32_t kStep = 8192;

// Tones and noise at 16-bit resolution, like music at a moderate level.
std::vector<Sample> musicLikeWords() {
  std::vector<Sample> words(size_t(kFrames) * 2);
  uint32_t state = 7;
  for (int32_t n = 0; n < kFrames; ++n) {
    const double t = n / 44100.0;
    const double tones = 9000 * std::sin(2 * std::numbers::pi * 220 * t) +
                         4000 * std::sin(2 * std::numbers::pi * 2637 * t);
    for (int c = 0; c < 2; ++c) {
      state = state * 1664525 + 1013904223;
      const int32_t noise = int32_t(state >> 20) - 2048;
      words[size_t(n) * 2 + c] = (int32_t(std::lround(tones)) + noise) * 16;
    }
  }
  return words;
}

void BM_RateTo48000AgainstSox(benchmark::State& state) {
  BenchFolder folder;
  const std::vector<Sample> words = musicLikeWords();
  const std::string in = folder.path() + "/in.wav";
  {
    Ref<SampleSink> sink = CreatePcmWavSink(in, 44100, 2, 2);
    for (int32_t done = 0; done < kFrames; done += kStep)
      sink->write(words.data() + size_t(done) * 2, std::min(kStep, kFrames - done));
    sink->finish();
  }
  std::vector<Sample> buffer(size_t(kStep) * 2);
  double ours = 0, sox = 0;
  for (auto _ : state) {
    ours += secondsOf([&] {
      Ref<SampleSource> converted = convertFormat(makeRef<MemorySource>(words, 44100), 48000, 2);
      const int32_t total = converted->length();
      for (int32_t done = 0; done < total; done += kStep)
        converted->read(buffer.data(), std::min(kStep, total - done));
      benchmark::DoNotOptimize(buffer.data());
    });
    sox += commandSeconds("sox " + in + " -r 48000 " + folder.path() + "/out.wav");
  }
  const double iterations = double(state.iterations());
  state.counters["ours_s"] = ours / iterations;
  state.counters["sox_s"] = sox / iterations;
  state.counters["ours/sox"] = ours / sox;
  state.counters["x_realtime"] = kSeconds * iterations / ours;
  state.counters["x_realtime_per_channel"] = 2 * kSeconds * iterations / ours;
}
BENCHMARK(BM_RateTo48000AgainstSox)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace quillon::bench
