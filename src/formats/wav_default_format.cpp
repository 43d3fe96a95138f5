#include "formats/wav.h"
#include "platform/file.h"
#include "platform/paths.h"
#include "platform/xdg_dirs.h"

namespace quillon {

std::string defaultWavFormatPath() {
  return platform::joinPath(platform::XdgDirs::configFolder(), "WavCodec.wff");
}

bool writeDefaultWavFormat(const WaveFormatRecord& format) {
  if (!platform::makeFolders(platform::XdgDirs::configFolder())) return false;
  const auto bytes = format.toBytes();
  return platform::replaceFileAtomically(defaultWavFormatPath(),
                                         std::string(bytes.begin(), bytes.end()), 0644);
}

WaveFormatRecord readDefaultWavFormat(int32_t sampleRate, int channels) {
  const WaveFormatRecord pcm = WaveFormatRecord::pcm(uint32_t(sampleRate), uint16_t(channels), 16);
  if (!platform::fileExists(defaultWavFormatPath())) writeDefaultWavFormat(pcm);
  std::string bytes;
  if (!platform::readWholeFile(defaultWavFormatPath(), bytes)) return pcm;
  return WaveFormatRecord::fromBytes(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

}  // namespace quillon
