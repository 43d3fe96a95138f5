// Echo, reverb, compressor and high-pass over ten minutes of stereo 44.1 kHz audio: ours reads
// the audio from memory through the filter in blocks of 8192 frames, as the effect worker does;
// the nearest sox effect runs on the same audio as a 16-bit WAV file, in the same run.
//   ours/sox: time ratio; target ≤ 1
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "bench_folder.h"
#include "bench_timing.h"
#include "effects/compressor_filter.h"
#include "effects/echo_filter.h"
#include "effects/high_pass_filter.h"
#include "effects/reverb_filter.h"
#include "memory_source.h"

namespace quillon::bench {
namespace {

constexpr int32_t kRate = 44100;
constexpr int32_t kFrames = 10 * 60 * kRate;
constexpr int32_t kBlock = 8192;

// Music-like 16-bit audio: a few drifting tones and some noise under a phrase-length envelope,
// different in the two channels, with quiet passages between louder ones.
std::vector<int16_t> musicLikeAudio() {
  std::vector<int16_t> pcm(size_t(kFrames) * 2);
  uint32_t seed = 5;
  double lowLeft = 0, lowRight = 0;
  for (int32_t i = 0; i < kFrames; ++i) {
    const double t = double(i) / kRate;
    const double envelope = 0.15 + 0.85 * std::pow(std::abs(std::sin(M_PI * 0.25 * t)), 2);
    double tones = 0;
    for (int h = 1; h <= 6; ++h)
      tones += std::sin(2 * M_PI * (110.0 * h + 3 * std::sin(0.7 * t)) * t) / h;
    seed = seed * 1664525u + 1013904223u;
    lowLeft += (int32_t(seed) / 2147483648.0 - lowLeft) * 0.2;
    seed = seed * 1664525u + 1013904223u;
    lowRight += (int32_t(seed) / 2147483648.0 - lowRight) * 0.2;
    pcm[2 * size_t(i)] = int16_t(std::lround(envelope * (4000 * tones + 6000 * lowLeft)));
    pcm[2 * size_t(i) + 1] = int16_t(std::lround(envelope * (3000 * tones + 8000 * lowRight)));
  }
  return pcm;
}

void writeWav(const std::string& path, const std::vector<int16_t>& pcm) {
  auto le = [](uint32_t v, int bytes) {
    std::string s;
    for (int i = 0; i < bytes; ++i)
      s += char((v >> (8 * i)) & 0xFF);
    return s;
  };
  const uint32_t data = uint32_t(pcm.size() * 2);
  std::ofstream out(path, std::ios::binary);
  out << "RIFF" << le(36 + data, 4) << "WAVEfmt " << le(16, 4) << le(1, 2) << le(2, 2)
      << le(kRate, 4) << le(kRate * 4, 4) << le(4, 2) << le(16, 2) << "data" << le(data, 4);
  out.write(reinterpret_cast<const char*>(pcm.data()), std::streamsize(data));
}

// The audio once, as a WAV for sox and as sample words for us.
struct Audio {
  BenchFolder folder;
  std::string wav = folder.path() + "/in.wav";
  std::vector<Sample> words;
  Audio() {
    const std::vector<int16_t> pcm = musicLikeAudio();
    writeWav(wav, pcm);
    words.assign(pcm.begin(), pcm.end());
    for (Sample& w : words)
      w *= 16;
  }
};

Audio& audio() {
  static Audio shared;
  return shared;
}

using MakeFilter = std::function<Ref<EffectFilter>(Ref<SampleSource>)>;

void runAgainstSox(benchmark::State& state, const MakeFilter& make, const std::string& soxEffect) {
  Audio& a = audio();
  std::vector<Sample> buffer(size_t(kBlock) * 2);
  double ours = 0, sox = 0;
  for (auto _ : state) {
    ours += secondsOf([&] {
      Ref<EffectFilter> filter = make(makeRef<MemorySource>(a.words, kRate));
      for (int32_t done = 0; done < kFrames; done += kBlock) {
        filter->read(buffer.data(), std::min(kBlock, kFrames - done));
        benchmark::DoNotOptimize(buffer.data());
      }
    });
    sox += commandSeconds("sox " + a.wav + " " + a.folder.path() + "/out.wav " + soxEffect +
                          " 2>/dev/null");
  }
  state.counters["ours_s"] = ours / double(state.iterations());
  state.counters["sox_s"] = sox / double(state.iterations());
  state.counters["ours/sox"] = ours / sox;
}

void BM_EchoAgainstSox(benchmark::State& state) {
  runAgainstSox(
      state, [](Ref<SampleSource> s) { return EchoDescriptor(800, 50).makeFilter(std::move(s)); },
      "echo 0.8 0.9 800 0.5");
}
BENCHMARK(BM_EchoAgainstSox)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ReverbAgainstSox(benchmark::State& state) {
  runAgainstSox(
      state,
      [](Ref<SampleSource> s) {
        return ReverbDescriptor(250, 25, 50, 0, 0).makeFilter(std::move(s));
      },
      "reverb");
}
BENCHMARK(BM_ReverbAgainstSox)->Unit(benchmark::kMillisecond)->Iterations(3);

// The "Hangar" preset: the late echoes grow with the decay, sox's reverb costs the same.
void BM_ReverbHangarAgainstSox(benchmark::State& state) {
  runAgainstSox(
      state,
      [](Ref<SampleSource> s) {
        return ReverbDescriptor(1000, 100, 50, 0, 0).makeFilter(std::move(s));
      },
      "reverb");
}
BENCHMARK(BM_ReverbHangarAgainstSox)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_CompressorAgainstSox(benchmark::State& state) {
  runAgainstSox(
      state,
      [](Ref<SampleSource> s) { return CompressorDescriptor(-10, 2, 4).makeFilter(std::move(s)); },
      "compand 0.05,0.2 6:-70,-60,-20 -5");
}
BENCHMARK(BM_CompressorAgainstSox)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_HighPassAgainstSox(benchmark::State& state) {
  runAgainstSox(
      state, [](Ref<SampleSource> s) { return HighPassDescriptor(250).makeFilter(std::move(s)); },
      "highpass 250");
}
BENCHMARK(BM_HighPassAgainstSox)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace quillon::bench
