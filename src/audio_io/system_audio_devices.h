#pragma once

#include <string>

#include "audio_io/audio_device.h"

namespace quillon {

// The process's devices: PortAudio, unless QUILLON_AUDIO_OUT / QUILLON_AUDIO_IN say otherwise
// for output and input: "null" (the null device on the system clock), "file:PATH" (the file
// device) or a device name (that PortAudio device, whatever the stored choice). Nothing is
// started until a device is first asked for.
AudioDevices& systemAudioDevices();

// The devices one pair of those texts choose (empty texts: PortAudio).
class ChosenAudioDevices final : public AudioDevices {
 public:
  ChosenAudioDevices(const std::string& output, const std::string& input);
  ~ChosenAudioDevices() override;

  std::vector<std::string> outputNames() override;
  std::vector<std::string> inputNames() override;
  std::unique_ptr<OutputDevice> makeOutput(int number) override;
  std::unique_ptr<InputDevice> makeInput(int number) override;

 private:
  std::unique_ptr<AudioDevices> output_;
  std::unique_ptr<AudioDevices> input_;
};

}  // namespace quillon
