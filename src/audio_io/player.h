#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "audio_io/audio_device.h"
#include "audio_io/levels.h"
#include "document/sample_stream.h"
#include "platform/notice_poster.h"
#include "platform/ref_counted.h"
#include "platform/settings.h"

namespace quillon {

// An output device as the player chose it: 0 is "[Default Sound Out]", n ≥ 1 the n-th output
// device of the list.
struct DeviceChoice {
  int number = 0;
  std::string name;
  friend bool operator==(const DeviceChoice&, const DeviceChoice&) = default;
};

// What a player tells the windows that show it, always on the user-interface thread. `user` is
// the value the listener was added with.
class PlayerListener {
 public:
  virtual ~PlayerListener() = default;
  virtual void playerStarted(intptr_t user) { (void)user; }
  virtual void playerStopped(intptr_t user) { (void)user; }
  virtual void playerPaused(intptr_t user) { (void)user; }
  virtual void playerPosition(intptr_t user, int32_t milliseconds) {
    (void)user, (void)milliseconds;
  }
  virtual void playerLevels(intptr_t user, const LevelRecord& levels) { (void)user, (void)levels; }
  virtual void playerVolume(intptr_t user, int decibels) { (void)user, (void)decibels; }
  virtual void playerDevice(intptr_t user, const DeviceChoice& device) { (void)user, (void)device; }
};

// Where a player keeps its device name and volume: "SoundDevice" and "PlayVolume" for the main
// window's player.
struct PlayerSettings {
  settings::TextSetting device{settings::kSoundDevice};
  settings::NumberSetting volume{settings::kPlayVolume};
};

// Plays a SampleSource on an output device. A worker thread pulls 16-bit buffers of rate / 10
// frames (20 … 8192) from the source into a ring of 8 and takes them back as the device hands
// them back; its news reaches the listeners through the notice poster, on the thread that owns
// the player (which must not be the worker: use a queue or the window system's loop).
//
// The position is the frame being heard: the frames the device reports as heard (what it took,
// less its latency) mapped back onto the source positions of the buffers they came from.
// The volume is a gain the player applies: −36 … +10 dB, muted below −35 dB.
class Player {
 public:
  static constexpr int kBuffers = 8;
  static constexpr int kMaxListeners = 64;
  static constexpr int32_t kMaxRead = 8192;
  static constexpr int kOpenPaused = 1;  // start flag: open the device paused

  explicit Player(NoticePoster& poster, AudioDevices& devices, PlayerSettings stored = {});
  ~Player();
  Player(const Player&) = delete;
  Player& operator=(const Player&) = delete;

  // Stops what plays, then plays `source` from its position (through a limiter when its peak
  // bound passes 16-bit full scale). False when no device opens (lastError says why).
  bool start(Ref<SampleSource> source, int flags = 0);
  void stop();
  void seek(int32_t frame);
  void seekMilliseconds(int32_t milliseconds);
  // Pause loops a quarter buffer from the heard position, so the place stays audible; Resume
  // goes on from that position.
  void pause();
  void resume();

  bool isPlaying() const { return open_; }
  bool isPaused() const { return pauseLoop_; }
  // In the play-out phase: the source has ended, the device plays what it holds.
  bool playingOut() const { return playingOut_.load(); }
  int32_t position();
  int32_t positionMilliseconds();
  // The frames the device has played since Start (0 when closed): with a source that does not
  // move one frame a frame (a scan), its owner maps them onto the source itself.
  int64_t framesHeard() { return open_ && device_ ? device_->framesPlayed() : 0; }
  LevelRecord levels() const;
  int32_t framesPerBuffer() const { return framesPerBuffer_; }
  int32_t sampleRate() const { return sampleRate_; }
  const std::string& lastError() const { return error_; }

  DeviceChoice device();
  void setDevice(const DeviceChoice& device);
  // "[Default Sound Out]" and the output devices, in the order of the device numbers.
  std::vector<std::string> deviceNames();

  int volume() const { return decibelsOfVolumeWord(volumeWord_); }
  void setVolume(int decibels);
  void volumeUp() { setVolume(std::min(volume() + 1, 127)); }
  void volumeDown() { setVolume(std::max(volume() - 1, -127)); }

  // Up to 64 listeners; adding one twice does nothing. A new listener hears the volume at once,
  // and the device as soon as it is known (the device list is read when sound is first used).
  void addListener(PlayerListener* listener, intptr_t user = 0);
  void removeListener(PlayerListener* listener);
  int listenerCount() const { return int(listeners_.size()); }
  // One listener that takes every notice instead of the table; null returns to the table.
  void setSink(PlayerListener* sink, intptr_t user = 0);

  // The volume word: 0 … 0xFFFF, linear in decibels; 0 is muted.
  static int32_t volumeWordFor(int decibels);
  static int decibelsOfVolumeWord(int32_t word) { return word / 1424 - 36; }
  // The gain (8.24) a volume word applies.
  static int32_t gainOfVolumeWord(int32_t word);

 private:
  struct Slot {
    DeviceBuffer buffer;
    bool free = true;
    int32_t stamp = 0;  // the source position after this buffer
    LevelRecord levels;
  };
  // Source frames [from, to) went to the device as frames [deviceStart, deviceStart + frames).
  struct Span {
    int64_t deviceStart = 0;
    int32_t frames = 0;
    int32_t from = 0;
    int32_t to = 0;
  };

  bool openDevice(const Ref<SampleSource>& source, int flags);
  void closeDevice();
  void startWorker();
  void stopWorker();
  void run();
  void takeDoneBuffers();
  void playOut();
  void fill(Slot& slot, int32_t frames);
  void convert(const Sample* words, int16_t* samples, size_t count) const;
  void primeLoop(int32_t frame);
  // Forgets the spans: the device's next frame (`deviceFrame`) plays source frame `frame`.
  void restartTimeline(int64_t deviceFrame, int32_t frame);
  int32_t sourceFrameHeard(int64_t deviceFrame) const;
  void postNotice();
  void onNotice();
  void resolveDevice();
  template <class F>
  void tell(F&& f);
  int32_t toMilliseconds(int64_t frames) const;

  NoticePoster& poster_;
  AudioDevices& devices_;
  PlayerSettings stored_;
  std::shared_ptr<Player*> self_;  // notices hold it weakly: none runs after the player is gone

  // Owned by the user-interface thread (the worker uses them only while it runs).
  std::unique_ptr<OutputDevice> device_;
  Ref<SampleSource> source_;
  bool open_ = false;
  bool devicePaused_ = false;
  bool pauseLoop_ = false;
  int channels_ = 1;
  int32_t sampleRate_ = 0;
  int32_t framesPerBuffer_ = 0;
  std::vector<int16_t> samples_;
  std::vector<Sample> work_;
  std::array<Slot, kBuffers> slots_;
  int fillIndex_ = 0;
  int doneIndex_ = 0;
  int lastWritten_ = -1;
  int64_t writeIndex_ = 0;  // the device frame the next buffer starts at
  std::string error_;
  int32_t volumeWord_ = 0;
  std::atomic<int32_t> gain_;
  DeviceChoice choice_;
  bool choiceKnown_ = false;
  std::vector<std::pair<PlayerListener*, intptr_t>> listeners_;
  PlayerListener* sink_ = nullptr;
  intptr_t sinkUser_ = 0;

  std::thread worker_;
  std::atomic<bool> stopRequested_{false};
  std::atomic<bool> positionChanged_{false};
  std::atomic<bool> finished_{false};
  std::atomic<bool> noticePending_{false};
  std::atomic<bool> playingOut_{false};
  std::atomic<int32_t> finalLength_{0};

  // Shared by the worker and the user-interface thread.
  mutable std::mutex mutex_;
  int32_t playPosition_ = 0;  // after the last buffer handed back
  LevelRecord lastLevels_;
  std::array<Span, 2 * kBuffers> spans_{};
  int spanCount_ = 0;
  int nextSpan_ = 0;
  int32_t timelineStart_ = 0;  // the source frame before the first span
  int64_t timelineDeviceStart_ = 0;
};

}  // namespace quillon
