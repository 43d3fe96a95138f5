#include "audio_io/input_monitor.h"

namespace quillon {
namespace {

// Takes every frame and keeps none.
class DiscardingSink final : public SampleSink {
 public:
  DiscardingSink(int32_t sampleRate, int channels) : SampleSink(sampleRate, channels) {}
  bool write(const Sample*, int32_t) override { return true; }
};

}  // namespace

InputMonitor::InputMonitor(NoticePoster& poster, AudioDevices& devices)
    : recorder_(std::make_unique<Recorder>(poster, devices)) {
  recorder_->setListener(this);
}

InputMonitor::~InputMonitor() {
  recorder_->setListener(nullptr);
  recorder_->stop();
}

bool InputMonitor::start(int number, int volume) {
  recorder_->stop();
  recorder_->setDevice(number);
  recorder_->setVolume(volume);
  return recorder_->start(makeRef<DiscardingSink>(kSampleRate, kChannels), 0, Recorder::kOff,
                          Recorder::kEndlessSilence, Recorder::kBeginRecording);
}

void InputMonitor::stop() {
  recorder_->stop();
}

void InputMonitor::recorderLevels(const LevelRecord& levels) {
  if (listener_) listener_(levels);
}

void InputMonitor::recorderStopped() {
  LevelRecord silent{kChannels, {}};
  silent.decibels.fill(int8_t(kSilentLevel));
  if (listener_) listener_(silent);
}

}  // namespace quillon
