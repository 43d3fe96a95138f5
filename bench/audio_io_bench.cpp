// The sound engines' figures: the feeder's CPU cost against a plain read of the same audio, the
// time from Play to the first buffer at the device against a plain seek and read, dropouts of a
// real-time recording while both cores are busy, and the reported play position against the
// frame the device is playing. Usage: audio_io_bench [--record-minutes N] (10 by default).
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "audio_io/audio_clock.h"
#include "audio_io/clocked_devices.h"
#include "audio_io/player.h"
#include "audio_io/recorder.h"
#include "audio_io/transport.h"
#include "bench_folder.h"
#include "document/block_writer.h"
#include "document/clip_editing.h"
#include "document/clip_reader.h"
#include "formats/wav.h"

namespace quillon::bench {
namespace {

using Clock = std::chrono::steady_clock;

double cpuSeconds() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double millisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// A tone with a little noise, as 16-bit values in sample words, written in chunks to a sink.
void writeTone(SampleSink& sink, int64_t frames) {
  const int ch = sink.channels();
  std::vector<Sample> chunk(size_t(8192) * ch);
  uint32_t seed = 1;
  for (int64_t done = 0; done < frames;) {
    const int32_t n = int32_t(std::min<int64_t>(frames - done, 8192));
    for (int32_t f = 0; f < n; ++f) {
      for (int c = 0; c < ch; ++c) {
        seed = seed * 1664525 + 1013904223;
        const double phase = 2 * M_PI * 440 * (c + 1) * double(done + f) / sink.sampleRate();
        chunk[size_t(f) * ch + c] =
            Sample(std::lround(150000 * std::sin(phase)) + int32_t(seed >> 26)) / 16 * 16;
      }
    }
    sink.write(chunk.data(), n);
    done += n;
  }
}

Clip toneClip(int64_t frames, int channels, int32_t rate) {
  Clip clip;
  {
    auto writer = makeRef<BlockWriter>(clip, rate, channels);
    writeTone(*writer, frames);
  }
  return clip;
}

// 1. The feeder's CPU time per second of 44.1 kHz stereo on the null device (virtual clock,
// so as fast as it goes), against reading and converting the same audio in a plain loop.
void feederCost() {
  const int32_t rate = 44100;
  const int64_t frames = int64_t{rate} * 180;
  const Clip clip = toneClip(frames, 2, rate);
  const double seconds = double(frames) / rate;

  double start = cpuSeconds();
  {
    ClipReader reader(clip);
    std::vector<Sample> words(4410 * 2);
    std::vector<int16_t> samples(words.size());
    volatile int16_t sink = 0;
    for (int64_t done = 0; done < frames; done += 4410) {
      reader.read(words.data(), 4410);
      for (size_t i = 0; i < words.size(); ++i)
        samples[i] = int16_t(std::clamp((words[i] + 8) >> 4, -32768, 32767));
      sink = sink + samples[0];
    }
  }
  const double plain = (cpuSeconds() - start) / seconds * 1000;

  VirtualClock clock;
  ClockedDevices devices(clock, {}, {});
  NoticeQueue notices;
  Player player(notices, devices);
  start = cpuSeconds();
  player.start(makeRef<ClipReader>(clip));
  while (player.isPlaying())
    notices.waitAndRun(20);
  const double played = (cpuSeconds() - start) / seconds * 1000;
  std::printf(
      "feeder cost, 44.1 kHz stereo to the null device: %.3f ms CPU per second of audio "
      "(%.3f %% of one core); plain read and conversion %.3f ms; ratio %.2f\n",
      played, played / 10, plain, played / plain);
}

// A device that keeps every buffer and notes when the first arrived.
class FirstWrite : public OutputDevice {
 public:
  explicit FirstWrite(std::atomic<Clock::rep>& at) : at_(at) {}
  DeviceOpen open(const DeviceFormat&, bool) override { return DeviceOpen::Opened; }
  void close() override {}
  void write(DeviceBuffer&) override {
    if (!written_) at_ = Clock::now().time_since_epoch().count();
    written_ = true;
  }
  void loop(DeviceBuffer&) override {}
  int64_t reset() override { return 0; }
  void pause() override {}
  void restart() override {}
  int64_t framesPlayed() override { return 0; }
  int32_t latencyFrames() override { return 0; }

 private:
  std::atomic<Clock::rep>& at_;
  bool written_ = false;
};

class FirstWriteDevices : public AudioDevices {
 public:
  std::vector<std::string> outputNames() override { return {}; }
  std::vector<std::string> inputNames() override { return {}; }
  std::unique_ptr<OutputDevice> makeOutput(int) override {
    return std::make_unique<FirstWrite>(firstWrite);
  }
  std::unique_ptr<InputDevice> makeInput(int) override { return nullptr; }
  std::atomic<Clock::rep> firstWrite{0};
};

// 2. Play on a one-hour document (360 segments of ten seconds, as after editing) with the
// cursor in the middle, to the first buffer at the device; against a reader's seek and read.
void startLatency() {
  const int32_t rate = 44100;
  const Clip tenSeconds = toneClip(int64_t{rate} * 10, 2, rate);
  Ref<WaveDocument> document = WaveDocument::createEmpty();
  document->audio.sampleRate = rate;
  document->audio.channels = 2;
  for (int i = 0; i < 360; ++i)
    insertClip(document->audio, document->audio.length(), tenSeconds);
  document->cursor = rate * 1800 + 12345;

  std::vector<double> plain, play;
  FirstWriteDevices devices;
  NoticeQueue notices;
  Transport transport(notices, devices);
  for (int round = 0; round < 21; ++round) {
    auto start = Clock::now();
    {
      ClipReader reader(document->audio);
      reader.seek(document->cursor);
      std::vector<Sample> words(4410 * 2);
      reader.read(words.data(), 4410);
    }
    plain.push_back(millisecondsSince(start));

    devices.firstWrite = 0;
    start = Clock::now();
    transport.play(*document);
    while (devices.firstWrite == 0)
      std::this_thread::yield();
    const Clock::time_point first{Clock::duration(devices.firstWrite.load())};
    play.push_back(std::chrono::duration<double, std::milli>(first - start).count());
    transport.stop();
    notices.runPending();
  }
  std::printf(
      "Play to the first buffer at the device, 1-hour document of 360 segments: median %.3f ms; "
      "a reader's seek and first read %.3f ms; ratio %.2f\n",
      median(play), median(plain), median(play) / median(plain));
}

// 3. A real-time recording of 48 kHz stereo from the file input device while two busy
// processes keep both cores loaded.
void recordingUnderLoad(int minutes, const std::string& folder) {
  const int32_t rate = 48000;
  const int64_t frames = int64_t{rate} * 60 * minutes;
  const std::string input = folder + "/input.wav";
  writeTone(*CreatePcmWavSink(input, rate, 2, 2), frames);

  std::vector<pid_t> busy;
  for (int i = 0; i < 2; ++i) {
    const pid_t child = ::fork();
    if (child == 0) {
      volatile uint64_t spin = 0;
      for (;;)
        spin = spin + 1;
    }
    busy.push_back(child);
  }
  ClockedDeviceOptions options;
  options.path = input;
  ClockedDevices devices(SystemClock::instance(), {}, options);
  NoticeQueue notices;
  Recorder recorder(notices, devices);
  Clip clip;
  {
    auto writer = makeRef<BlockWriter>(clip, rate, 2);
    recorder.start(writer, 0, Recorder::kOff, Recorder::kEndlessSilence);
    const auto start = Clock::now();
    while (!recorder.inputExhausted()) {
      notices.waitAndRun(200);
      if (millisecondsSince(start) > (minutes * 60 + 30) * 1000.0) break;
    }
    recorder.stop();
  }
  for (pid_t child : busy) {
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
  }
  std::printf(
      "recording 48 kHz stereo for %d min in real time, both cores busy: %d dropouts, %lld "
      "frames lost; recorded %.3f s of %.3f s\n",
      minutes, recorder.dropouts(), static_cast<long long>(recorder.framesLost()),
      double(clip.length()) / rate, double(frames) / rate);
}

// 4. The reported position against the frame the device is playing at that moment (the null
// device in real time), next to the end of the last buffer handed back.
void positionError() {
  const int32_t rate = 44100;
  const Clip clip = toneClip(int64_t{rate} * 12, 2, rate);
  ClockedDevices devices(SystemClock::instance(), {}, {});
  NoticeQueue notices;
  Player player(notices, devices);
  player.start(makeRef<ClipReader>(clip));
  const int32_t period = devices.lastOutput()->periodFrames();
  int64_t worst = 0, worstBuffer = 0, samples = 0;
  double sum = 0, sumBuffer = 0;
  const auto start = Clock::now();
  while (player.isPlaying() && millisecondsSince(start) < 10000) {
    const int64_t reported = player.position();
    const int64_t playing = devices.lastOutput()->framesEmitted();
    const int64_t handedBack = playing / player.framesPerBuffer() * player.framesPerBuffer();
    worst = std::max(worst, std::abs(reported - playing));
    worstBuffer = std::max(worstBuffer, playing - handedBack);
    sum += double(std::abs(reported - playing));
    sumBuffer += double(playing - handedBack);
    ++samples;
    notices.waitAndRun(3);
  }
  player.stop();
  std::printf(
      "play position against the frame being played, %lld samples: worst %lld frames (%.2f "
      "device periods of %d), mean %.1f; the end of the last buffer handed back: worst %lld, "
      "mean %.1f\n",
      static_cast<long long>(samples), static_cast<long long>(worst), double(worst) / period,
      period, sum / double(samples), static_cast<long long>(worstBuffer),
      sumBuffer / double(samples));
}

}  // namespace
}  // namespace quillon::bench

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);  // each figure as soon as it is known
  int minutes = 10;
  for (int i = 1; i + 1 < argc; ++i)
    if (std::strcmp(argv[i], "--record-minutes") == 0) minutes = std::atoi(argv[i + 1]);
  quillon::bench::BenchFolder folder;
  ::setenv("XDG_CONFIG_HOME", (folder.path() + "/config").c_str(), 1);  // the player's settings
  quillon::bench::feederCost();
  quillon::bench::startLatency();
  quillon::bench::positionError();
  if (minutes > 0) quillon::bench::recordingUnderLoad(minutes, folder.path());
  return 0;
}
