// Loading a 16-bit stereo 44.1 kHz WAV into a document, and saving it back to 16-bit WAV, against
// `sox in.wav out.wav` copying the same file in the same run; the load's peak resident memory is
// measured in a child process of its own, for 10 minutes and for 1 hour of audio.
//   load/sox: target ≤ 1.5 (the block files hold 32-bit words, twice the bytes)
//   save/sox: target ≤ 1.2
//   peak_MB: target < 64 and the same for both lengths
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

#include "bench_folder.h"
#include "bench_timing.h"
#include "document/wave_document.h"
#include "formats/open_pipeline.h"
#include "formats/save_pipeline.h"
#include "formats/wav.h"
#include "platform/scripted_interaction.h"

namespace quillon::bench {
namespace {

void writeWav(const std::string& path, int64_t frames) {
  Ref<SampleSink> sink = CreatePcmWavSink(path, 44100, 2, 2);
  std::vector<Sample> block(8192 * 2);
  uint32_t state = 5;
  for (int64_t done = 0; done < frames; done += 8192) {
    for (Sample& s : block) {
      state = state * 1664525 + 1013904223;
      s = (Sample(state) >> 16) * 16;
    }
    sink->write(block.data(), int32_t(std::min<int64_t>(8192, frames - done)));
  }
  sink->finish();
}

// Loads the file in a child process; answers its peak resident memory in megabytes.
double loadInChild(const std::string& path) {
  int pipeFds[2];
  if (::pipe(pipeFds) != 0) return -1;
  const pid_t child = ::fork();
  if (child == 0) {
    ScriptedInteraction ui;
    FileLoader loader;
    Ref<WaveDocument> document = WaveDocument::createFromFile(path, ui, loader);
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const double megabytes = document->loadFailed ? -1 : usage.ru_maxrss / 1024.0;
    [[maybe_unused]] ssize_t written = ::write(pipeFds[1], &megabytes, sizeof megabytes);
    document = nullptr;
    _exit(0);
  }
  double megabytes = -1;
  [[maybe_unused]] ssize_t got = ::read(pipeFds[0], &megabytes, sizeof megabytes);
  ::waitpid(child, nullptr, 0);
  ::close(pipeFds[0]);
  ::close(pipeFds[1]);
  return megabytes;
}

void BM_LoadWavAgainstSoxCopy(benchmark::State& state) {
  BenchFolder folder;
  const std::string wav = folder.path() + "/in.wav";
  writeWav(wav, state.range(0) * 60 * 44100);
  double ours = 0, sox = 0, peak = 0;
  for (auto _ : state) {
    ours += secondsOf([&] { peak = loadInChild(wav); });
    sox += commandSeconds("sox " + wav + " " + folder.path() + "/copy.wav");
    BlockStore::instance().purgeAll();
  }
  state.counters["ours_s"] = ours / double(state.iterations());
  state.counters["sox_s"] = sox / double(state.iterations());
  state.counters["load/sox"] = ours / sox;
  state.counters["peak_MB"] = peak;
}
BENCHMARK(BM_LoadWavAgainstSoxCopy)
    ->ArgName("minutes")
    ->Arg(10)
    ->Arg(60)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);

void BM_SaveWavAgainstSoxCopy(benchmark::State& state) {
  BenchFolder folder;
  const std::string wav = folder.path() + "/in.wav";
  writeWav(wav, 60 * 60 * 44100);
  ScriptedInteraction ui;
  FileLoader loader;
  Ref<WaveDocument> document = WaveDocument::createFromFile(wav, ui, loader);
  double ours = 0, sox = 0;
  for (auto _ : state) {
    SaveRequest request{document->audio, folder.path() + "/saved.wav", false,
                        WaveFormatRecord::pcm(44100, 2, 16)};
    ours += secondsOf([&] { saveSafely(ui, request, nullptr); });
    sox += commandSeconds("sox " + wav + " " + folder.path() + "/copy.wav");
  }
  state.counters["ours_s"] = ours / double(state.iterations());
  state.counters["sox_s"] = sox / double(state.iterations());
  state.counters["save/sox"] = ours / sox;
}
BENCHMARK(BM_SaveWavAgainstSoxCopy)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace
}  // namespace quillon::bench
