// Block files against plain sequential file I/O of the same bytes, in the same process.
//   writer/plain: BlockWriter throughput (samples + peak summary) over a plain write; target ≥ 0.7
//   reader/plain: ClipReader throughput over a plain read; target ≥ 0.8 at unity gain, ≥ 0.5 with
//                 a gain
#include <benchmark/benchmark.h>

#include <chrono>
#include <vector>

#include "bench_folder.h"
#include "bench_timing.h"
#include "document/block_writer.h"
#include "document/clip_reader.h"
#include "platform/file.h"

namespace quillon::bench {
namespace {

constexpr int kChannels = 2;
constexpr int32_t kFramesPerChunk = 8192;
constexpr int32_t kTenMinutes = 10 * 60 * 44100;

std::vector<Sample> musicLikeChunk() {
  std::vector<Sample> chunk(size_t(kFramesPerChunk) * kChannels);
  uint32_t state = 12345;
  for (Sample& s : chunk) {
    state = state * 1664525 + 1013904223;
    s = Sample(state) >> 13;  // within ±2^18
  }
  return chunk;
}

void plainWrite(const std::string& path, const std::vector<Sample>& chunk, int32_t frames) {
  platform::File file;
  file.open(path, platform::File::Mode::Create);
  for (int32_t done = 0; done < frames; done += kFramesPerChunk) {
    const int32_t n = std::min(kFramesPerChunk, frames - done);
    file.write(chunk.data(), size_t(n) * kChannels * sizeof(Sample));
  }
}

void writeBlock(Clip& clip, const std::vector<Sample>& chunk, int32_t frames) {
  auto writer = makeRef<BlockWriter>(clip, 44100, kChannels);
  for (int32_t done = 0; done < frames; done += kFramesPerChunk) {
    writer->write(chunk.data(), std::min(kFramesPerChunk, frames - done));
  }
}

void BM_BlockWriterAgainstPlainWrite(benchmark::State& state) {
  BenchFolder folder;
  const std::vector<Sample> chunk = musicLikeChunk();
  const std::string plainPath = folder.path() + "/plain.raw";
  double plain = 0, writer = 0;
  for (auto _ : state) {
    plain += secondsOf([&] { plainWrite(plainPath, chunk, kTenMinutes); });
    platform::removeFile(plainPath);
    Clip clip;
    writer += secondsOf([&] { writeBlock(clip, chunk, kTenMinutes); });
  }
  const double megabytes = double(kTenMinutes) * kChannels * 4 * state.iterations() / 1e6;
  state.counters["plain_MB/s"] = megabytes / plain;
  state.counters["writer_MB/s"] = megabytes / writer;
  state.counters["writer/plain"] = plain / writer;
}
BENCHMARK(BM_BlockWriterAgainstPlainWrite)->Unit(benchmark::kMillisecond)->Iterations(4);

void BM_ClipReaderAgainstPlainRead(benchmark::State& state) {
  const int32_t gain = int32_t(state.range(0));
  BenchFolder folder;
  const std::vector<Sample> chunk = musicLikeChunk();
  Clip clip;
  writeBlock(clip, chunk, kTenMinutes);
  clip.segments[0].gain = gain;
  const std::string path = BlockStore::instance().samplePath(clip.segments[0].block());
  std::vector<Sample> buffer(chunk.size());
  double plain = 0, reader = 0;
  for (auto _ : state) {
    plain += secondsOf([&] {
      platform::File file;
      file.open(path, platform::File::Mode::Read);
      while (file.read(buffer.data(), buffer.size() * sizeof(Sample)) > 0) {
      }
    });
    reader += secondsOf([&] {
      auto source = makeRef<ClipReader>(clip);
      for (int32_t done = 0; done < kTenMinutes; done += kFramesPerChunk) {
        source->read(buffer.data(), std::min(kFramesPerChunk, kTenMinutes - done));
      }
    });
    benchmark::DoNotOptimize(buffer.data());
  }
  const double megabytes = double(kTenMinutes) * kChannels * 4 * state.iterations() / 1e6;
  state.counters["plain_MB/s"] = megabytes / plain;
  state.counters["reader_MB/s"] = megabytes / reader;
  state.counters["reader/plain"] = plain / reader;
}
BENCHMARK(BM_ClipReaderAgainstPlainRead)
    ->ArgName("gain")
    ->Arg(kUnityGain)
    ->Arg(kUnityGain + kUnityGain / 2)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(6);

}  // namespace
}  // namespace quillon::bench
