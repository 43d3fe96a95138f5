#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "audio_io/device_signal.h"

namespace quillon {

// What a device is opened with: 16-bit PCM of this rate and channel count.
struct DeviceFormat {
  int32_t sampleRate = 0;
  int channels = 0;
  friend bool operator==(const DeviceFormat&, const DeviceFormat&) = default;
};

enum class DeviceOpen {
  Opened,
  BadFormat,  // the device does not take this format (another one may open)
  Failed,     // the device cannot be opened at all
};

// One buffer an engine hands to a device. The memory is the engine's; from the hand-over until
// `done` is set (by the device, with release order) only the device touches it.
struct DeviceBuffer {
  int16_t* samples = nullptr;  // frames × channels, interleaved
  int32_t frames = 0;          // output: frames to play; input: room in frames
  int32_t recorded = 0;        // input: frames the device put in
  int32_t lostBefore = 0;      // input: frames the device lost just before this buffer
  std::atomic<bool> done{false};
};

// A waveform output device. Its operations are called from one thread at a time (the engine
// keeps them in order); `signal` is set whenever a buffer comes back.
class OutputDevice {
 public:
  virtual ~OutputDevice() = default;

  // `fallback` asks for any route that can play the format (the system's default device, with
  // its conversions), after the device itself refused it.
  virtual DeviceOpen open(const DeviceFormat& format, bool fallback) = 0;
  virtual void close() = 0;
  // Plays `buffer` after the buffers queued before it; playing starts with the first.
  virtual void write(DeviceBuffer& buffer) = 0;
  // After what is queued, plays `buffer` over and over until `reset`.
  virtual void loop(DeviceBuffer& buffer) = 0;
  // Stops at once: every buffer not played to its end comes back done, the loop ends. Answers
  // how many frames had been heard at that moment (see framesPlayed).
  virtual int64_t reset() = 0;
  // Holds playing where it is; `restart` goes on.
  virtual void pause() = 0;
  virtual void restart() = 0;
  // The frames of the written buffers that have reached the listener since `open`: what the
  // device has taken, less what still sits in its latency. A reset keeps the count where it
  // was; the next buffer's first frame is the next to count.
  virtual int64_t framesPlayed() = 0;
  // The output latency the device reports, in frames.
  virtual int32_t latencyFrames() = 0;
  // Why the last open failed, in the device's own words.
  virtual std::string lastError() const { return {}; }

  DeviceSignal& signal() { return signal_; }

 protected:
  DeviceSignal signal_;
};

// A waveform input device.
class InputDevice {
 public:
  virtual ~InputDevice() = default;

  virtual DeviceOpen open(const DeviceFormat& format, bool fallback) = 0;
  virtual void close() = 0;
  // Gives the device an empty buffer to fill; buffers are filled in the order given. Frames
  // that arrive while the device holds no buffer are lost, and the next buffer says how many.
  virtual void queue(DeviceBuffer& buffer) = 0;
  // Starts capturing.
  virtual void start() = 0;
  // Stops capturing; every queued buffer comes back done, the one being filled with what it
  // holds.
  virtual void reset() = 0;
  // A file input whose whole file the engine has taken (a real device never is).
  virtual bool exhausted() { return false; }
  virtual std::string lastError() const { return {}; }

  DeviceSignal& signal() { return signal_; }

 protected:
  DeviceSignal signal_;
};

// Where devices come from: the list of device names and the devices by number, where 0 is the
// system's default and n ≥ 1 the n-th name of the list.
class AudioDevices {
 public:
  virtual ~AudioDevices() = default;
  virtual std::vector<std::string> outputNames() = 0;
  virtual std::vector<std::string> inputNames() = 0;
  virtual std::unique_ptr<OutputDevice> makeOutput(int number) = 0;
  virtual std::unique_ptr<InputDevice> makeInput(int number) = 0;
};

// 16-bit frames: rate / 10 clamped to [minimum, 8192].
inline int32_t framesPerBufferFor(int32_t sampleRate, int32_t minimum) {
  const int32_t frames = sampleRate / 10;
  return frames < minimum ? minimum : frames > 8192 ? 8192 : frames;
}

}  // namespace quillon
