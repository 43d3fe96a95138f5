// Ten minutes of 16-bit stereo 44.1 kHz WAV read into sample words and written back, against
// sox doing the same conversions in the same run.
//   sox/ours: throughput of ours over sox's; target ≥ 1
#include <benchmark/benchmark.h>

#include <vector>

#include "bench_folder.h"
#include "bench_timing.h"
#include "formats/wav.h"
#include "platform/file.h"

namespace quillon::bench {
namespace {

constexpr int32_t kFrames = 10 * 60 * 44100;
constexpr int32_t kStep = 8192;

std::vector<Sample> musicLikeWords() {
  std::vector<Sample> words(size_t(kFrames) * 2);
  uint32_t state = 7;
  for (Sample& w : words) {
    state = state * 1664525 + 1013904223;
    w = (Sample(state) >> 16) * 16;  // 16-bit values
  }
  return words;
}

void writeWav(const std::string& path, const std::vector<Sample>& words) {
  Ref<SampleSink> sink = CreatePcmWavSink(path, 44100, 2, 2);
  for (int32_t done = 0; done < kFrames; done += kStep) {
    sink->write(words.data() + size_t(done) * 2, std::min(kStep, kFrames - done));
  }
  sink->finish();
}

void BM_WavReadAgainstSox(benchmark::State& state) {
  BenchFolder folder;
  const std::string path = folder.path() + "/in.wav";
  writeWav(path, musicLikeWords());
  std::vector<Sample> buffer(size_t(kStep) * 2);
  double ours = 0, sox = 0;
  for (auto _ : state) {
    ours += secondsOf([&] {
      Ref<SampleSource> source = OpenWavSource(path);
      for (int32_t done = 0; done < kFrames; done += kStep) {
        source->read(buffer.data(), std::min(kStep, kFrames - done));
      }
      benchmark::DoNotOptimize(buffer.data());
    });
    sox += commandSeconds("sox " + path + " -t s32 /dev/null");
  }
  state.counters["ours_s"] = ours / double(state.iterations());
  state.counters["sox_s"] = sox / double(state.iterations());
  state.counters["sox/ours"] = sox / ours;
}
BENCHMARK(BM_WavReadAgainstSox)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_WavWriteAgainstSox(benchmark::State& state) {
  BenchFolder folder;
  const std::vector<Sample> words = musicLikeWords();
  std::vector<int32_t> scaled(words.size());
  for (size_t i = 0; i < words.size(); ++i)
    scaled[i] = words[i] * 4096;
  const std::string raw = folder.path() + "/in.s32";
  {
    platform::File file;
    file.open(raw, platform::File::Mode::Create);
    file.write(scaled.data(), scaled.size() * sizeof(int32_t));
  }
  double ours = 0, sox = 0;
  for (auto _ : state) {
    ours += secondsOf([&] { writeWav(folder.path() + "/ours.wav", words); });
    sox += commandSeconds("sox -D -t s32 -r 44100 -c 2 " + raw + " -b 16 " + folder.path() +
                          "/sox.wav");
  }
  state.counters["ours_s"] = ours / double(state.iterations());
  state.counters["sox_s"] = sox / double(state.iterations());
  state.counters["sox/ours"] = sox / ours;
}
BENCHMARK(BM_WavWriteAgainstSox)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace quillon::bench
