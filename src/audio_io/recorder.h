#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "audio_io/audio_device.h"
#include "audio_io/levels.h"
#include "document/sample_stream.h"
#include "platform/notice_poster.h"
#include "platform/ref_counted.h"

namespace quillon {

class ConvertingSink;

// What a recorder tells its window, on the user-interface thread.
class RecorderListener {
 public:
  virtual ~RecorderListener() = default;
  virtual void recorderRecording() {}
  virtual void recorderWaiting() {}
  virtual void recorderStopped() {}
  virtual void recorderPosition(int32_t milliseconds) { (void)milliseconds; }
  virtual void recorderLevels(const LevelRecord& levels) { (void)levels; }
};

// Records from an input device into a sink. A capture thread keeps 10 device buffers of
// rate / 10 frames (32 … 8192), removes the DC offset, measures levels and decides what goes
// into the sink: while waiting (below the start threshold) nothing but the last buffer as a
// pre-roll; while recording everything, until the level stays below the stop threshold for the
// silence time, when the recording is cut back to 450 ms after the last loud buffer and waits
// again. Stop trims the recording to 50 ms after the last loud buffer.
//
// Audio the device lost (an overrun) is replaced by silence of the same length while
// recording, so a recording never loses time; `dropouts` counts those losses.
class Recorder {
 public:
  static constexpr int kBuffers = 10;
  enum State { kIdle = 0, kWaiting = 1, kRecording = 2 };
  static constexpr int kDeferDevice = 1;     // start flag: start the device at `go`
  static constexpr int kBeginRecording = 2;  // start flag: record at once, without waiting
  static constexpr int32_t kEndlessSilence = 216000000;  // 60 hours: no voice-activated pause
  static constexpr int kOff = -127;

  Recorder(NoticePoster& poster, AudioDevices& devices);
  ~Recorder();
  Recorder(const Recorder&) = delete;
  Recorder& operator=(const Recorder&) = delete;

  // Records into `sink` (its rate and channels), from its current length on. `timeLimit` in ms
  // (0: none; the recording never grows past it). False when the sink has failed or no input
  // format opens (lastError says why).
  bool start(Ref<SampleSink> sink, int32_t timeLimit, int startThreshold, int32_t silenceTime,
             int flags = 0);
  void go();
  void stop();
  // Empties the recording and waits for sound again.
  void restart();

  int state() const { return state_.load(); }
  bool isActive() const { return active_; }
  static int stopThresholdFor(int startThreshold) {
    return startThreshold < -123 ? kOff : startThreshold - 4;
  }

  int dropouts() const { return dropouts_.load(); }
  int64_t framesLost() const { return framesLost_.load(); }
  // Device frames taken in so far, lost ones included.
  int64_t framesCaptured() const { return framesCaptured_.load(); }
  bool inputExhausted() { return device_ && device_->exhausted(); }
  int32_t lastLoudMilliseconds() const { return lastLoud_.load(); }
  LevelRecord levels() const;
  DeviceFormat deviceFormat() const { return deviceFormat_; }
  int32_t framesPerBuffer() const { return framesPerBuffer_; }
  const std::string& lastError() const { return error_; }

  void setListener(RecorderListener* listener) { listener_ = listener; }

  // The input device: 0 is "[Default Sound In]", n ≥ 1 the n-th input device.
  int device() const { return deviceNumber_; }
  void setDevice(int number) { deviceNumber_ = number; }
  // Chooses the device by name (the default when no device has it).
  void setDeviceByName(const std::string& name);
  // "[Default Sound In]" and the input devices ("(Unknown Device)" for one without a name).
  std::vector<std::string> deviceNames();

  // The record volume: a gain on the captured samples, muted below −35 dB.
  int volume() const { return volume_; }
  void setVolume(int decibels);

 private:
  struct Slot {
    DeviceBuffer buffer;
  };

  bool openDevice(const Ref<SampleSink>& sink);
  void run();
  // Takes a done buffer into the work buffer; answers its frames.
  int32_t take(Slot& slot);
  void process(int32_t frames, int32_t lost);
  void drain();
  void removeDc(int32_t frames);
  bool write(const Sample* words, int32_t frames);
  void writeSilence(int32_t frames);
  int32_t recordedMilliseconds() const;
  void cutTo(int32_t milliseconds);
  void postNotice();
  void onNotice();

  NoticePoster& poster_;
  AudioDevices& devices_;
  std::shared_ptr<Recorder*> self_;
  RecorderListener* listener_ = nullptr;
  int deviceNumber_ = 0;
  std::string deviceName_;
  bool nameToResolve_ = false;
  int volume_ = 0;
  std::atomic<int32_t> gain_;
  std::string error_;

  // Set up by start, used by the capture thread while it runs.
  std::unique_ptr<InputDevice> device_;
  Ref<SampleSink> target_;  // the recording
  Ref<SampleSink> sink_;    // what the thread writes: the target or a converter
  Ref<ConvertingSink> converter_;
  DeviceFormat deviceFormat_;
  int32_t framesPerBuffer_ = 0;
  std::vector<int16_t> samples_;
  std::array<Slot, kBuffers> slots_;
  int fillIndex_ = 0;
  std::vector<Sample> work_;
  std::vector<Sample> preRoll_;
  std::vector<Sample> silence_;
  int32_t preRollFrames_ = 0;
  std::vector<int64_t> dc_;
  int32_t dcFactor_ = 1;
  int startThreshold_ = kOff;
  int stopThreshold_ = kOff;
  int32_t silenceTime_ = kEndlessSilence;
  int32_t timeLimit_ = 0;
  bool active_ = false;

  std::thread thread_;
  std::mutex goMutex_;
  std::condition_variable goChanged_;
  bool go_ = false;
  std::atomic<bool> stopRequested_{false};
  std::atomic<bool> restartRequested_{false};
  std::atomic<int> state_{kIdle};
  std::atomic<int32_t> lastLoud_{0};
  std::atomic<int> dropouts_{0};
  std::atomic<int64_t> framesLost_{0};
  std::atomic<int64_t> framesCaptured_{0};
  std::atomic<bool> timeLimitReached_{false};
  std::atomic<bool> levelsChanged_{false};
  std::atomic<bool> stateChanged_{false};
  std::atomic<bool> noticePending_{false};
  mutable std::mutex levelsMutex_;
  LevelRecord levels_;
};

}  // namespace quillon
