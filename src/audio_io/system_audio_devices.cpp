#include "audio_io/system_audio_devices.h"

#include <cstdlib>
#include <map>
#include <mutex>
#include <utility>

#include "audio_io/clocked_devices.h"
#include "audio_io/portaudio_devices.h"

namespace quillon {
namespace {

// One direction's devices from its text; `output` says which direction the text names.
std::unique_ptr<AudioDevices> devicesFor(const std::string& text, bool output) {
  if (text == "null") {
    return std::make_unique<ClockedDevices>(SystemClock::instance(), ClockedDeviceOptions{},
                                            ClockedDeviceOptions{});
  }
  if (text.rfind("file:", 0) == 0) {
    ClockedDeviceOptions file;
    file.path = text.substr(5);
    return std::make_unique<ClockedDevices>(SystemClock::instance(),
                                            output ? file : ClockedDeviceOptions{},
                                            output ? ClockedDeviceOptions{} : file);
  }
  return std::make_unique<PortAudioDevices>(output ? text : std::string(),
                                            output ? std::string() : text);
}

std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

}  // namespace

ChosenAudioDevices::ChosenAudioDevices(const std::string& output, const std::string& input)
    : output_(devicesFor(output, true)), input_(devicesFor(input, false)) {}

ChosenAudioDevices::~ChosenAudioDevices() = default;

std::vector<std::string> ChosenAudioDevices::outputNames() {
  return output_->outputNames();
}
std::vector<std::string> ChosenAudioDevices::inputNames() {
  return input_->inputNames();
}
std::unique_ptr<OutputDevice> ChosenAudioDevices::makeOutput(int number) {
  return output_->makeOutput(number);
}
std::unique_ptr<InputDevice> ChosenAudioDevices::makeInput(int number) {
  return input_->makeInput(number);
}

// One set per pair of texts, kept for the life of the process: a program reads the variables
// once, a test may change them between runs.
AudioDevices& systemAudioDevices() {
  static std::mutex mutex;
  static std::map<std::pair<std::string, std::string>, std::unique_ptr<ChosenAudioDevices>> made;
  std::lock_guard lock(mutex);
  const auto key =
      std::make_pair(environment("QUILLON_AUDIO_OUT"), environment("QUILLON_AUDIO_IN"));
  auto& devices = made[key];
  if (!devices) devices = std::make_unique<ChosenAudioDevices>(key.first, key.second);
  return *devices;
}

}  // namespace quillon
