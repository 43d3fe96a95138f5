// A ten-minute 128 kbit/s stereo MP3 (made by lame from tones and noise) decoded three ways in
// the same run:
//   korrel_s: through the running korrel by the editor's client (`Mp3ServiceSource`, blocks of
//     8192 frames, so four requests of at most 2047 frames each)
//   in_process_s: the same decoder called in this process through `DecoderService::handle` with
//     the same request records and the same copy out of the reply, so the difference is the IPC
//   mpg123_s: `mpg123 -q -s file > /dev/null`
//   ipc_overhead: korrel_s / in_process_s − 1; target ≤ 0.15
// and, separately, one ping's round trip (the channel alone) and the time from the open of an MP3
// to its first decoded block of 8192 frames with korrel started cold (no service running).
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "bench_folder.h"
#include "bench_timing.h"
#include "decoder_client/decoder_client.h"
#include "decoder_client/mp3_service_source.h"
#include "decoder_service/decoder_protocol.h"
#include "decoder_service/decoder_service.h"
#include "formats/wav.h"

namespace quillon::bench {
namespace {

using namespace decoder;

constexpr int32_t kSeconds = 10 * 60;
constexpr int32_t kStep = 8192;

// The bench's own runtime and state folders, so no editor of the user is disturbed.
class ServiceFolder : public BenchFolder {
 public:
  ServiceFolder() {
    ::setenv("XDG_RUNTIME_DIR", (path() + "/runtime").c_str(), 1);
    ::setenv("XDG_STATE_HOME", (path() + "/state").c_str(), 1);
    if (!std::getenv("QUILLON_KORREL")) ::setenv("QUILLON_KORREL", QUILLON_KORREL_PATH, 1);
  }
  ~ServiceFolder() { DecoderClient::shutdown(); }
};

// Tones and noise, like music at a moderate level, encoded by lame at 128 kbit/s.
std::string makeMp3(const std::string& folder, int32_t seconds) {
  const std::string wav = folder + "/music.wav";
  const std::string mp3 = folder + "/music.mp3";
  const int32_t frames = seconds * 44100;
  Ref<SampleSink> sink = CreatePcmWavSink(wav, 44100, 2, 2);
  std::vector<Sample> block(size_t(kStep) * 2);
  uint32_t noise = 7;
  for (int32_t done = 0; done < frames; done += kStep) {
    for (int32_t f = 0; f < kStep; ++f) {
      const double t = (done + f) / 44100.0;
      const double tones = 9000 * std::sin(2 * std::numbers::pi * 220 * t) +
                           4000 * std::sin(2 * std::numbers::pi * 2637 * t);
      for (int c = 0; c < 2; ++c) {
        noise = noise * 1664525 + 1013904223;
        block[2 * size_t(f) + c] = (int32_t(std::lround(tones)) + int32_t(noise >> 20) - 2048) * 16;
      }
    }
    sink->write(block.data(), std::min(kStep, frames - done));
  }
  sink->finish();
  sink = nullptr;
  if (commandSeconds("lame --quiet -b 128 " + wav + " " + mp3) < 0) return {};
  return mp3;
}

// The whole file through korrel, as loading reads it.
int64_t decodeThroughKorrel(const std::string& mp3, std::vector<Sample>& buffer) {
  Ref<SampleSource> source = openMp3ServiceSource(mp3);
  int64_t sum = 0;
  const int32_t total = source->length();
  for (int32_t done = 0; done < total; done += kStep) {
    source->read(buffer.data(), std::min(kStep, total - done));
    sum += buffer[0];
  }
  return sum;
}

// The same requests handed to the decoder in this process.
int64_t decodeInProcess(const std::string& mp3, std::vector<Sample>& buffer) {
  DecoderService service;
  std::vector<uint8_t> query(kQueryBufferSize), reply(kReplyBufferSize);
  writeOpenRequest(query.data(), query.size(), mp3);
  service.handle(query.data(), query.size(), reply.data(), reply.size());
  const OpenReply opened = readOpenReply(reply.data(), reply.size());
  const int32_t total = opened.length;
  int64_t sum = 0;
  for (int32_t done = 0; done < total; done += kStep) {
    const int32_t block = std::min(kStep, total - done);
    for (int32_t at = 0; at < block; at += 2047) {
      const int32_t n = std::min(2047, block - at);
      writeRequest(query.data(), query.size(), {kRead, opened.stream, n});
      service.handle(query.data(), query.size(), reply.data(), reply.size());
      readSampleWords(reply.data(), reply.size(), buffer.data() + 2 * size_t(at), size_t(n) * 2);
    }
    sum += buffer[0];
  }
  writeRequest(query.data(), query.size(), {kClose, opened.stream});
  service.handle(query.data(), query.size(), reply.data(), reply.size());
  return sum;
}

void BM_DecodeTenMinutesThroughKorrel(benchmark::State& state) {
  ServiceFolder folder;
  const std::string mp3 = makeMp3(folder.path(), kSeconds);
  if (mp3.empty()) return state.SkipWithError("lame failed");
  std::vector<Sample> buffer(size_t(kStep) * 2);
  DecoderClient::instance().ping();  // the service is warm: the figure is decoding and IPC
  double korrel = 0, inProcess = 0, mpg123 = 0;
  for (auto _ : state) {
    korrel += secondsOf([&] { benchmark::DoNotOptimize(decodeThroughKorrel(mp3, buffer)); });
    inProcess += secondsOf([&] { benchmark::DoNotOptimize(decodeInProcess(mp3, buffer)); });
    mpg123 += commandSeconds("mpg123 -q -s " + mp3 + " > /dev/null");
  }
  const double iterations = double(state.iterations());
  state.counters["korrel_s"] = korrel / iterations;
  state.counters["in_process_s"] = inProcess / iterations;
  state.counters["mpg123_s"] = mpg123 / iterations;
  state.counters["ipc_overhead"] = korrel / inProcess - 1;
  state.counters["korrel/mpg123"] = korrel / mpg123;
  state.counters["x_realtime"] = kSeconds * iterations / korrel;
}
BENCHMARK(BM_DecodeTenMinutesThroughKorrel)->Unit(benchmark::kMillisecond)->Iterations(3);

// One request and its reply, without decoding: what the channel costs per request.
void BM_PingRoundTrip(benchmark::State& state) {
  ServiceFolder folder;
  DecoderClient& client = DecoderClient::instance();
  client.ping();
  for (auto _ : state)
    benchmark::DoNotOptimize(client.ping());
}
BENCHMARK(BM_PingRoundTrip)->Unit(benchmark::kMicrosecond);

// Open to first block with no service running: starting korrel, its ping, the open (the scan)
// and one block of 8192 frames.
void BM_ColdOpenToFirstBlock(benchmark::State& state) {
  ServiceFolder folder;
  const std::string mp3 = makeMp3(folder.path(), 30);
  if (mp3.empty()) return state.SkipWithError("lame failed");
  std::vector<Sample> buffer(size_t(kStep) * 2);
  for (auto _ : state) {
    state.PauseTiming();
    DecoderClient::shutdown();
    state.ResumeTiming();
    Ref<SampleSource> source = openMp3ServiceSource(mp3);
    source->read(buffer.data(), kStep);
    benchmark::DoNotOptimize(buffer.data());
  }
}
BENCHMARK(BM_ColdOpenToFirstBlock)->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace
}  // namespace quillon::bench
