#include "platform/codec_manager.h"

#include "platform/codecs/codec_drivers.h"

namespace quillon::platform {

WaveFormat WaveFormat::pcm16(uint32_t sampleRate, uint16_t channels) {
  WaveFormat format;
  format.tag = 1;
  format.channels = channels;
  format.sampleRate = sampleRate;
  format.blockAlign = uint16_t(channels * 2);
  format.averageBytesPerSecond = sampleRate * format.blockAlign;
  format.bitsPerSample = 16;
  return format;
}

CodecManager& CodecManager::instance() {
  static CodecManager manager;
  return manager;
}

CodecManager::CodecManager() {
  addDriver(makeImaAdpcmDriver());
  addDriver(makeMsAdpcmDriver());
  addDriver(makeALawDriver());
  addDriver(makeMuLawDriver());
}

const CodecDriver* CodecManager::findDriver(uint16_t manufacturerId, uint16_t productId) const {
  for (const auto& driver : drivers_) {
    if (driver->manufacturerId() == manufacturerId && driver->productId() == productId) {
      return driver.get();
    }
  }
  return nullptr;
}

std::unique_ptr<CodecStream> CodecManager::open(const WaveFormat& source,
                                                const WaveFormat& destination,
                                                unsigned flags) const {
  for (const auto& driver : drivers_) {
    if (auto stream = driver->open(source, destination, flags)) return stream;
  }
  return nullptr;
}

}  // namespace quillon::platform
