// Decoding in the MP3 service against libmad alone and against mpg123, on the same ten minutes of
// 128 kbit/s stereo audio (made by sox and lame once per run):
//   service/libmad: time through DecoderService::handle in 2047-frame reads (scan, refills, the
//                   dithered conversion, the reply records) over libmad's plain decode and
//                   synthesis of the file held in memory, in-process; the cost of everything
//                   around the decoder (target: at most 1.15)
//   service/mpg123: over `mpg123 -q -s file > /dev/null`, a process of its own
#include <benchmark/benchmark.h>
#include <mad.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "bench_timing.h"
#include "decoder_service/decoder_service.h"

namespace quillon::bench {
namespace {

using namespace decoder;

constexpr double kSeconds = 600;

// The test file, made once in a folder removed at exit; path() is "" when sox or lame failed.
class TenMinuteMp3 {
 public:
  static const TenMinuteMp3& instance() {
    static const TenMinuteMp3 file;
    return file;
  }
  ~TenMinuteMp3() {
    std::error_code ignored;
    if (!folder_.empty()) std::filesystem::remove_all(folder_, ignored);
  }
  const std::string& path() const { return path_; }

 private:
  TenMinuteMp3() {
    std::string folder = (std::filesystem::temp_directory_path() / "korrel-bench-XXXXXX").string();
    if (!::mkdtemp(folder.data())) return;
    folder_ = folder;
    const std::string mp3 = folder + "/ten_minutes.mp3";
    const std::string make =
        "sox -n -r 44100 -c 2 -b 16 -t wav - synth 600 sine 110-3520 pinknoise vol 0.4 "
        "2>/dev/null | lame --quiet -b 128 - " +
        mp3;
    if (std::system(make.c_str()) == 0) path_ = mp3;
  }
  std::string folder_, path_;
};

// Frames decoded through the service's requests, 2047 stereo frames per read, up to `frames`
// (the estimated length of a constant-bit-rate file can fall short of the audio).
int64_t decodeThroughService(const std::string& path, int64_t frames) {
  DecoderService service;
  std::vector<uint8_t> query(kQueryBufferSize), reply(kReplyBufferSize);
  writeOpenRequest(query.data(), query.size(), path);
  service.handle(query.data(), query.size(), reply.data(), reply.size());
  const OpenReply open = readOpenReply(reply.data(), reply.size());
  if (open.status != kStatusOk) return 0;
  int32_t position = 0;
  while (position < frames) {
    writeRequest(query.data(), query.size(), {kRead, open.stream, 2047});
    service.handle(query.data(), query.size(), reply.data(), reply.size());
    position = readPositionReply(reply.data(), reply.size()).position;
    benchmark::DoNotOptimize(reply.data());
  }
  writeRequest(query.data(), query.size(), {kClose, open.stream, 0});
  service.handle(query.data(), query.size(), reply.data(), reply.size());
  return position;
}

// libmad alone: the whole file in memory, every frame decoded and synthesised, nothing else.
int64_t decodeWithLibmad(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<unsigned char> bytes{std::istreambuf_iterator<char>(in),
                                   std::istreambuf_iterator<char>()};
  bytes.resize(bytes.size() + MAD_BUFFER_GUARD, 0);
  mad_stream stream;
  mad_frame frame;
  mad_synth synth;
  mad_stream_init(&stream);
  mad_frame_init(&frame);
  mad_synth_init(&synth);
  mad_stream_buffer(&stream, bytes.data(), bytes.size());
  int64_t frames = 0;
  for (;;) {
    if (mad_frame_decode(&frame, &stream) != 0) {
      if (MAD_RECOVERABLE(stream.error)) continue;
      break;
    }
    mad_synth_frame(&synth, &frame);
    frames += synth.pcm.length;
    benchmark::DoNotOptimize(synth.pcm.samples[0][0]);
  }
  mad_synth_finish(&synth);
  mad_frame_finish(&frame);
  mad_stream_finish(&stream);
  return frames;
}

void BM_DecodeTenMinutes(benchmark::State& state) {
  const std::string& path = TenMinuteMp3::instance().path();
  if (path.empty()) {
    state.SkipWithError("sox or lame could not make the MP3 file");
    return;
  }
  double service = 0, libmad = 0, mpg123 = 0;
  int64_t libmadFrames = decodeWithLibmad(path), serviceFrames = 0;
  for (auto _ : state) {
    service += secondsOf([&] { serviceFrames = decodeThroughService(path, libmadFrames); });
    libmad += secondsOf([&] { libmadFrames = decodeWithLibmad(path); });
    const double peer = commandSeconds("mpg123 -q -s " + path + " > /dev/null");
    if (peer < 0) state.SkipWithError("mpg123 failed (is it installed?)");
    mpg123 += peer;
  }
  const double audio = kSeconds * double(state.iterations());
  state.counters["service_x_realtime"] = audio / service;
  state.counters["libmad_x_realtime"] = audio / libmad;
  state.counters["mpg123_x_realtime"] = audio / mpg123;
  state.counters["service/libmad"] = service / libmad;
  state.counters["service/mpg123"] = service / mpg123;
  state.counters["service_frames"] = double(serviceFrames);
  state.counters["libmad_frames"] = double(libmadFrames);
}
BENCHMARK(BM_DecodeTenMinutes)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace
}  // namespace quillon::bench
