// GSM 06.10 against libgsm's `toast` and `untoast` on the same ten minutes of 8 kHz audio, file
// to file on both sides: we read the 16-bit file, convert to sample words, pre-process, encode,
// pack and write the 33-byte frames (and the reverse), the peer runs as its own process.
//   ours/toast and ours/untoast: throughput ratios; target ≥ 1
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <vector>

#include "bench_folder.h"
#include "bench_timing.h"
#include "formats/gsm610.h"

namespace quillon::bench {
namespace {

using namespace gsm610;

constexpr int kFrames = 10 * 60 * 8000 / kFrameSamples;
constexpr double kSeconds = 600;

// Vowel-like tones in syllables over a little noise, so that every stage of the codec works.
std::vector<int16_t> speechLikeAudio() {
  std::vector<int16_t> pcm(size_t(kFrames) * kFrameSamples);
  uint32_t seed = 1;
  for (size_t i = 0; i < pcm.size(); ++i) {
    const double t = i / 8000.0;
    const double pitch = 2 * M_PI * (110 + 20 * std::sin(2 * M_PI * 0.3 * t)) * t;
    double v = 0;
    for (int h = 1; h <= 20; ++h)
      v += std::sin(h * pitch) / h * (1 + std::cos(h * 0.4 + t));
    seed = seed * 1664525u + 1013904223u;
    v = v * 3000 * std::abs(std::sin(M_PI * 2.5 * t)) + int32_t(seed) / 2e6;
    pcm[i] = int16_t(std::lround(std::clamp(v, -32768.0, 32767.0)));
  }
  return pcm;
}

template <typename T>
void writeFile(const std::string& path, const std::vector<T>& data) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size() * sizeof(T)));
}

std::vector<uint8_t> readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  std::vector<uint8_t> bytes(size_t(std::max<std::streamoff>(in.tellg(), 0)));
  in.seekg(0).read(reinterpret_cast<char*>(bytes.data()), std::streamsize(bytes.size()));
  return bytes;
}

void encodeFile(const std::string& from, const std::string& to) {
  const std::vector<uint8_t> bytes = readFile(from);
  const size_t frames = bytes.size() / (2 * kFrameSamples);
  std::vector<uint8_t> out(frames * kFrameBytes);
  WordPreprocessor pre;
  Encoder encoder;
  for (size_t f = 0; f < frames; ++f) {
    Sample words[kFrameSamples];
    int16_t so[kFrameSamples];
    const uint8_t* in = &bytes[f * 2 * kFrameSamples];
    for (int k = 0; k < kFrameSamples; ++k)
      words[k] = Sample(int16_t(in[2 * k] | in[2 * k + 1] << 8)) * 16;
    pre.process(words, so);
    FrameParameters frame;
    encoder.encode(so, frame);
    packFrame(frame, &out[f * kFrameBytes]);
  }
  writeFile(to, out);
}

void decodeFile(const std::string& from, const std::string& to) {
  const std::vector<uint8_t> bytes = readFile(from);
  const size_t frames = bytes.size() / kFrameBytes;
  std::vector<int16_t> out(frames * kFrameSamples);
  Decoder decoder;
  WordPostprocessor post;
  for (size_t f = 0; f < frames; ++f) {
    FrameParameters frame;
    unpackFrame(&bytes[f * kFrameBytes], frame);
    int16_t sr[kFrameSamples];
    Sample words[kFrameSamples];
    decoder.decode(frame, sr);
    post.process(sr, words);
    for (int k = 0; k < kFrameSamples; ++k)
      out[f * kFrameSamples + k] = int16_t(std::clamp((words[k] + 8) >> 4, -32768, 32767));
  }
  writeFile(to, out);
}

bool runPeer(const std::string& command) {
  return std::system(command.c_str()) == 0;
}

void report(benchmark::State& state, double ours, double peer, const char* name) {
  const double audio = kSeconds * double(state.iterations());
  state.counters["ours_x_realtime"] = audio / ours;
  state.counters[std::string(name) + "_x_realtime"] = audio / peer;
  state.counters[std::string("ours/") + name] = peer / ours;
}

void BM_EncodeAgainstToast(benchmark::State& state) {
  BenchFolder folder;
  const std::string input = folder.path() + "/speech.raw";
  writeFile(input, speechLikeAudio());
  double ours = 0, peer = 0;
  for (auto _ : state) {
    peer += secondsOf([&] {
      if (!runPeer("toast -l < " + input + " > " + folder.path() + "/peer.gsm"))
        state.SkipWithError("toast failed (is libgsm-tools installed?)");
    });
    ours += secondsOf([&] { encodeFile(input, folder.path() + "/ours.gsm"); });
  }
  report(state, ours, peer, "toast");
}
BENCHMARK(BM_EncodeAgainstToast)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_DecodeAgainstUntoast(benchmark::State& state) {
  BenchFolder folder;
  const std::string input = folder.path() + "/speech.raw";
  const std::string frames = folder.path() + "/speech.gsm";
  writeFile(input, speechLikeAudio());
  if (!runPeer("toast -l < " + input + " > " + frames)) {
    state.SkipWithError("toast failed (is libgsm-tools installed?)");
    return;
  }
  double ours = 0, peer = 0;
  for (auto _ : state) {
    peer += secondsOf([&] {
      if (!runPeer("untoast -l < " + frames + " > " + folder.path() + "/peer.raw"))
        state.SkipWithError("untoast failed");
    });
    ours += secondsOf([&] { decodeFile(frames, folder.path() + "/ours.raw"); });
  }
  report(state, ours, peer, "untoast");
}
BENCHMARK(BM_DecodeAgainstUntoast)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace quillon::bench
