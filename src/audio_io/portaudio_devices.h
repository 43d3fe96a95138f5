#pragma once

#include <memory>
#include <string>
#include <vector>

#include "audio_io/audio_device.h"

namespace quillon {

// The system's sound devices through PortAudio: ALSA and JACK, and through ALSA's default
// device PulseAudio and PipeWire. PortAudio is started (and the devices listed) on first use,
// never at program start. A device name given here (QUILLON_AUDIO_OUT/IN) is used whatever
// device number the engine asks for.
class PortAudioDevices final : public AudioDevices {
 public:
  PortAudioDevices(std::string forcedOutput = {}, std::string forcedInput = {});

  std::vector<std::string> outputNames() override;
  std::vector<std::string> inputNames() override;
  std::unique_ptr<OutputDevice> makeOutput(int number) override;
  std::unique_ptr<InputDevice> makeInput(int number) override;

 private:
  std::string forcedOutput_;
  std::string forcedInput_;
};

}  // namespace quillon
