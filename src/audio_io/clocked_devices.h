#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "audio_io/audio_clock.h"
#include "audio_io/audio_device.h"
#include "document/sample_stream.h"
#include "platform/ref_counted.h"

namespace quillon {

// A device without sound hardware that keeps the pace of a clock, one period at a time: the
// null device (output discarded, silent input) and the file device (output written into a WAV
// file exactly as received; input read from a WAV file, converted to the opened format).
struct ClockedDeviceOptions {
  std::string path;                  // the file device's WAV file; empty: the null device
  std::vector<int32_t> sampleRates;  // the rates it opens; empty: any
  std::vector<int> channelCounts;    // the channel counts it opens; empty: any
  int32_t periodFrames = 0;          // frames per period; 0: rate / 100
};

class ClockedOutputDevice final : public OutputDevice {
 public:
  ClockedOutputDevice(AudioClock& clock, ClockedDeviceOptions options);
  ~ClockedOutputDevice() override;

  DeviceOpen open(const DeviceFormat& format, bool fallback) override;
  void close() override;
  void write(DeviceBuffer& buffer) override;
  void loop(DeviceBuffer& buffer) override;
  int64_t reset() override;
  void pause() override;
  void restart() override;
  int64_t framesPlayed() override;
  int32_t latencyFrames() override { return 0; }
  std::string lastError() const override { return error_; }

  int32_t periodFrames() const { return period_; }
  // Frames written to the file (or discarded) since open, loop passes included.
  int64_t framesEmitted();

 private:
  void run();
  void play(std::unique_lock<std::mutex>& lock, int32_t frames);
  void emit(const int16_t* samples, int32_t frames);

  AudioClock& clock_;
  ClockedDeviceOptions options_;
  DeviceFormat format_;
  int32_t period_ = 0;
  std::string error_;
  Ref<SampleSink> file_;
  std::vector<Sample> words_;

  std::mutex mutex_;
  std::condition_variable changed_;
  std::thread thread_;
  bool open_ = false;
  bool closing_ = false;
  bool paused_ = false;
  std::deque<DeviceBuffer*> queue_;
  int32_t offset_ = 0;  // frames of the first queued buffer played already
  DeviceBuffer* loop_ = nullptr;
  int32_t loopOffset_ = 0;
  uint64_t resets_ = 0;
  int64_t played_ = 0;
  int64_t emitted_ = 0;
};

class ClockedInputDevice final : public InputDevice {
 public:
  ClockedInputDevice(AudioClock& clock, ClockedDeviceOptions options);
  ~ClockedInputDevice() override;

  DeviceOpen open(const DeviceFormat& format, bool fallback) override;
  void close() override;
  void queue(DeviceBuffer& buffer) override;
  void start() override;
  void reset() override;
  bool exhausted() override;
  std::string lastError() const override { return error_; }

  // An overrun on demand: the next `frames` frames are lost as if no buffer had been there.
  void loseFrames(int32_t frames);
  // Frames lost so far, and frames produced (delivered or lost).
  int64_t framesLost();
  int64_t framesProduced();

 private:
  void run();
  void deliver(std::unique_lock<std::mutex>& lock, const int16_t* samples, int32_t frames,
               bool last);

  AudioClock& clock_;
  ClockedDeviceOptions options_;
  DeviceFormat format_;
  int32_t period_ = 0;
  std::string error_;
  Ref<SampleSource> file_;
  std::vector<Sample> words_;
  std::vector<int16_t> period16_;

  std::mutex mutex_;
  std::condition_variable changed_;
  std::thread thread_;
  bool open_ = false;
  bool closing_ = false;
  bool running_ = false;
  bool exhausted_ = false;
  bool fileEnded_ = false;
  DeviceBuffer* finalBuffer_ = nullptr;  // holds the file's last frames
  std::deque<DeviceBuffer*> queue_;
  int32_t fill_ = 0;  // frames put into the first queued buffer
  int32_t pendingLost_ = 0;
  int64_t toLose_ = 0;
  int64_t lost_ = 0;
  int64_t produced_ = 0;
};

// Null or file devices on one clock, for the command line (QUILLON_AUDIO_OUT/IN) and tests.
// `names` are the device names they report; any number makes the same kind of device.
class ClockedDevices final : public AudioDevices {
 public:
  ClockedDevices(AudioClock& clock, ClockedDeviceOptions output, ClockedDeviceOptions input,
                 std::vector<std::string> names = {});

  std::vector<std::string> outputNames() override { return names_; }
  std::vector<std::string> inputNames() override { return names_; }
  std::unique_ptr<OutputDevice> makeOutput(int number) override;
  std::unique_ptr<InputDevice> makeInput(int number) override;

  ClockedDeviceOptions& outputOptions() { return output_; }
  ClockedDeviceOptions& inputOptions() { return input_; }
  // The devices made last (owned by their engines) and the numbers asked for.
  ClockedOutputDevice* lastOutput() const { return lastOutput_; }
  ClockedInputDevice* lastInput() const { return lastInput_; }
  int lastOutputNumber() const { return lastOutputNumber_; }
  int lastInputNumber() const { return lastInputNumber_; }

 private:
  AudioClock& clock_;
  ClockedDeviceOptions output_;
  ClockedDeviceOptions input_;
  std::vector<std::string> names_;
  ClockedOutputDevice* lastOutput_ = nullptr;
  ClockedInputDevice* lastInput_ = nullptr;
  int lastOutputNumber_ = -1;
  int lastInputNumber_ = -1;
};

}  // namespace quillon
