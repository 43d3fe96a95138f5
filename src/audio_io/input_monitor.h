#pragma once

#include <functional>
#include <memory>

#include "audio_io/levels.h"
#include "audio_io/recorder.h"
#include "platform/notice_poster.h"

namespace quillon {

// Listens to an input without keeping what it hears, for the level meter of the "Microphone &
// Record Volume" page: a recorder that records at once into a sink that discards everything.
class InputMonitor : private RecorderListener {
 public:
  static constexpr int32_t kSampleRate = 44100;
  static constexpr int kChannels = 2;

  InputMonitor(NoticePoster& poster, AudioDevices& devices);
  ~InputMonitor() override;

  void setLevelsListener(std::function<void(const LevelRecord&)> listener) {
    listener_ = std::move(listener);
  }
  // Listens to input device `number` (0 the default) with the record volume; false when it does
  // not open.
  bool start(int number, int volume);
  void stop();
  bool isListening() const { return recorder_->isActive(); }
  void setVolume(int decibels) { recorder_->setVolume(decibels); }
  Recorder& recorder() { return *recorder_; }

 private:
  void recorderLevels(const LevelRecord& levels) override;
  void recorderStopped() override;

  std::unique_ptr<Recorder> recorder_;
  std::function<void(const LevelRecord&)> listener_;
};

}  // namespace quillon
