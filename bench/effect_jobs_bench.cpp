// Effects on a document of 10 minutes of stereo 44.1 kHz audio, against the nearest sox effect
// on the same audio as a WAV file in the same run.
//   ours/sox: time ratio; target ≤ 1
// Amplify (and Normalize's final step) change segment gains only: their time is shown for
// documents of 1 minute, 10 minutes and 1 hour and must not grow with the length.
#include <benchmark/benchmark.h>

#include <cmath>
#include <functional>
#include <memory>
#include <vector>

#include "bench_folder.h"
#include "bench_timing.h"
#include "document/block_writer.h"
#include "document/clip_reader.h"
#include "effects/automatic_gain_control.h"
#include "effects/gain_effects.h"
#include "platform/file.h"
#include "platform/scripted_interaction.h"

namespace quillon::bench {
namespace {

constexpr int32_t kRate = 44100;

// Music-like stereo audio written as a block, and the same audio as a 16-bit WAV for sox.
Ref<WaveDocument> tenMinutes(const std::string& wavPath) {
  constexpr int32_t kFrames = 10 * 60 * kRate;
  Ref<WaveDocument> document = WaveDocument::createEmpty();
  document->audio.channels = 2;
  std::vector<Sample> block(8192 * 2);
  std::vector<int16_t> pcm(block.size());
  platform::File wav;
  wav.open(wavPath, platform::File::Mode::Create);
  const uint32_t dataBytes = uint32_t(kFrames) * 4;
  const uint8_t header[44] = {'R',
                              'I',
                              'F',
                              'F',
                              uint8_t(dataBytes + 36),
                              uint8_t((dataBytes + 36) >> 8),
                              uint8_t((dataBytes + 36) >> 16),
                              uint8_t((dataBytes + 36) >> 24),
                              'W',
                              'A',
                              'V',
                              'E',
                              'f',
                              'm',
                              't',
                              ' ',
                              16,
                              0,
                              0,
                              0,
                              1,
                              0,
                              2,
                              0,
                              0x44,
                              0xAC,
                              0,
                              0,
                              0x10,
                              0xB1,
                              2,
                              0,
                              4,
                              0,
                              16,
                              0,
                              'd',
                              'a',
                              't',
                              'a',
                              uint8_t(dataBytes),
                              uint8_t(dataBytes >> 8),
                              uint8_t(dataBytes >> 16),
                              uint8_t(dataBytes >> 24)};
  wav.write(header, sizeof header);
  {
    auto writer = makeRef<BlockWriter>(document->audio, kRate, 2);
    for (int32_t done = 0; done < kFrames; done += 8192) {
      const int32_t n = std::min(8192, kFrames - done);
      for (int32_t i = 0; i < n; ++i) {
        const double t = double(done + i) / kRate;
        const double v = 0.4 * std::sin(2 * M_PI * 220 * t) * std::sin(2 * M_PI * 0.5 * t) +
                         0.1 * std::sin(2 * M_PI * 3100 * t);
        pcm[2 * i] = pcm[2 * i + 1] = int16_t(v * 32767);
        block[2 * i] = block[2 * i + 1] = Sample(pcm[2 * i]) * 16;
      }
      writer->write(block.data(), n);
      wav.write(pcm.data(), size_t(n) * 4);
    }
  }
  document->selectionEnd = document->audio.length();
  return document;
}

void compareWithSox(benchmark::State& state,
                    const std::function<std::unique_ptr<Job>(Ref<WaveDocument>)>& makeJob,
                    const std::string& soxEffect) {
  BenchFolder folder;
  const std::string wav = folder.path() + "/in.wav";
  Ref<WaveDocument> document = tenMinutes(wav);
  const Clip original = document->audio;
  ScriptedInteraction ui;
  double ours = 0, sox = 0;
  for (auto _ : state) {
    document->audio = original;
    std::unique_ptr<Job> job = makeJob(document);
    ours += secondsOf([&] { runJob(*job, ui); });
    sox += commandSeconds("sox " + wav + " " + folder.path() + "/out.wav " + soxEffect);
  }
  state.counters["ours_s"] = ours / double(state.iterations());
  state.counters["sox_s"] = sox / double(state.iterations());
  state.counters["ours/sox"] = ours / sox;
}

void BM_NormalizeAgainstSoxNorm(benchmark::State& state) {
  compareWithSox(
      state, [](Ref<WaveDocument> d) { return std::make_unique<NormalizeJob>(d, 100); }, "norm");
}
BENCHMARK(BM_NormalizeAgainstSoxNorm)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_FadeInAgainstSoxFade(benchmark::State& state) {
  compareWithSox(
      state,
      [](Ref<WaveDocument> d) {
        return std::make_unique<EffectWorker>("Fade In", d,
                                              fadeDescriptor(Fade::In, 0, d->selectionEnd));
      },
      "fade 600");
}
BENCHMARK(BM_FadeInAgainstSoxFade)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_ReverseAgainstSoxReverse(benchmark::State& state) {
  compareWithSox(
      state, [](Ref<WaveDocument> d) { return std::make_unique<ReverseJob>(d); }, "reverse");
}
BENCHMARK(BM_ReverseAgainstSoxReverse)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_AutomaticGainControl(benchmark::State& state) {
  compareWithSox(
      state, [](Ref<WaveDocument> d) { return std::make_unique<AutomaticGainControlJob>(d); },
      "compand 0.05,0.2 6:-70,-60,-20 -5");
}
BENCHMARK(BM_AutomaticGainControl)->Unit(benchmark::kMillisecond)->Iterations(2);

// Amplify on documents of 1 minute, 10 minutes and 1 hour in 100 Segments.
void BM_AmplifyTimeIsIndependentOfLength(benchmark::State& state) {
  BenchFolder folder;
  Clip block;
  {
    const Sample one = 1;
    auto writer = makeRef<BlockWriter>(block, kRate, 2);
    writer->write(&one, 1);
  }
  Ref<WaveDocument> document = WaveDocument::createEmpty();
  for (int i = 0; i < 100; ++i) {
    Segment segment = block.segments[0];
    segment.length = int32_t(state.range(0) * kRate / 100);
    document->audio.segments.push_back(segment);
  }
  document->selectionStart = document->audio.length() / 4;
  document->selectionEnd = document->audio.length() / 2;
  const Clip original = document->audio;
  for (auto _ : state) {
    amplify(*document, 150);
    state.PauseTiming();
    document->audio = original;
    state.ResumeTiming();
  }
}
BENCHMARK(BM_AmplifyTimeIsIndependentOfLength)
    ->ArgName("seconds")
    ->Arg(60)
    ->Arg(600)
    ->Arg(3600)
    ->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace quillon::bench
