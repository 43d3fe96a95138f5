#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "audio_io/player.h"
#include "audio_io/recorder.h"
#include "document/sample_types.h"
#include "formats/wav.h"
#include "platform/notice_poster.h"
#include "support/memory_source.h"
#include "support/peer_tools.h"

namespace quillon::testing {

// 16-bit samples as a device receives words: (v + 8) >> 4, saturated.
inline std::vector<int16_t> toDevice(const std::vector<Sample>& words) {
  std::vector<int16_t> out(words.size());
  for (size_t i = 0; i < words.size(); ++i)
    out[i] = int16_t(std::clamp<int64_t>((int64_t{words[i]} + 8) >> 4, -32768, 32767));
  return out;
}

// The samples of a 16-bit WAV file.
inline std::vector<int16_t> readWav16(const std::string& path) {
  Ref<SampleSource> source = OpenWavSource(path);
  EXPECT_EQ(source->status(), SourceStatus::Ok) << path;
  return toDevice(readSource(source));
}

inline void writeWav16(const std::string& path, const std::vector<Sample>& words, int32_t rate,
                       int channels) {
  ASSERT_TRUE(writeAll(CreatePcmWavSink(path, rate, channels, 2), words));
}

// Runs the notices of `queue` until `done` is true; fails after a minute (a hang, not a timing).
inline bool runUntil(NoticeQueue& queue, const std::function<bool()>& done) {
  const auto give = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!done()) {
    if (std::chrono::steady_clock::now() > give) {
      ADD_FAILURE() << "gave up waiting";
      return false;
    }
    queue.waitAndRun(2);
  }
  queue.runPending();
  return true;
}

// A tone at `amplitude` (sample words) over a little DC-free noise, never exactly zero.
inline std::vector<Sample> toneWords(int32_t frames, int channels, int32_t rate, int32_t amplitude,
                                     double hertz = 441) {
  std::vector<Sample> words(size_t(frames) * channels);
  const std::vector<Sample> hiss = noise(words.size(), 64, 7);
  for (int32_t f = 0; f < frames; ++f) {
    for (int c = 0; c < channels; ++c) {
      const double phase = 2 * M_PI * hertz * (c + 1) * f / rate;
      Sample v = Sample(std::lround(amplitude * std::sin(phase))) + hiss[size_t(f) * channels + c];
      v = v / 16 * 16;  // 16-bit values
      words[size_t(f) * channels + c] = v == 0 ? 16 : v;
    }
  }
  return words;
}

// A 500 Hz tone at 8 kHz whose buffers measure `decibels` (peak = 2^17 × 10^(dB / 20)).
inline std::vector<Sample> toneAt(int decibels, int32_t frames) {
  const int32_t amplitude =
      int32_t(std::lround(131072 * std::pow(10.0, decibels / 20.0) / 16)) * 16;
  std::vector<Sample> words(static_cast<size_t>(frames));
  for (int32_t f = 0; f < frames; ++f)
    words[size_t(f)] = Sample(std::lround(amplitude * std::sin(M_PI * f / 8) / 16)) * 16;
  return words;
}

// The recorder's DC removal, per channel: x' = x − (m >> 12), m = m + k × x',
// k = 192,000 / rate + 1.
inline std::vector<Sample> removeDc(const std::vector<Sample>& words, int channels, int32_t rate) {
  const int64_t k = 192000 / rate + 1;
  std::vector<int64_t> m(size_t(channels), 0);
  std::vector<Sample> out(words.size());
  for (size_t i = 0; i < words.size(); ++i) {
    int64_t& state = m[i % size_t(channels)];
    const int64_t y = words[i] - (state >> 12);
    state += k * y;
    out[i] = Sample(y);
  }
  return out;
}

// Everything a player tells, in order.
struct PlayerLog : PlayerListener {
  void playerStarted(intptr_t) override { events.push_back("started"); }
  void playerStopped(intptr_t) override { events.push_back("stopped"); }
  void playerPaused(intptr_t) override { events.push_back("paused"); }
  void playerPosition(intptr_t, int32_t ms) override { positions.push_back(ms); }
  void playerLevels(intptr_t, const LevelRecord& record) override { levels.push_back(record); }
  void playerVolume(intptr_t, int decibels) override { volumes.push_back(decibels); }
  void playerDevice(intptr_t, const DeviceChoice& device) override { devices.push_back(device); }
  int count(const std::string& event) const {
    return int(std::count(events.begin(), events.end(), event));
  }
  std::vector<std::string> events;
  std::vector<int32_t> positions;
  std::vector<LevelRecord> levels;
  std::vector<int> volumes;
  std::vector<DeviceChoice> devices;
};

}  // namespace quillon::testing
