#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "platform/codec_manager.h"

namespace quillon {

// A WAV format as the program stores it (1,028 bytes, little-endian, the same layout in memory
// of the format dialogs and in "WavCodec.wff"): the 18 bytes of a WAVEFORMATEX, up to 1,006
// extra bytes, and the ids of the codec driver that offered the format (0 for PCM and GSM).
struct WaveFormatRecord {
  static constexpr size_t kSize = 1028;
  static constexpr size_t kMaxExtra = 1006;

  uint16_t tag = 1;
  uint16_t channels = 1;
  uint32_t sampleRate = 44100;
  uint32_t averageBytesPerSecond = 0;
  uint16_t blockAlign = 0;
  uint16_t bitsPerSample = 0;
  uint16_t extraSize = 0;  // cbSize
  std::array<uint8_t, kMaxExtra> extra{};
  uint16_t manufacturerId = 0;
  uint16_t productId = 0;

  // Tag 1; 1 byte per sample below 9 bits, 2 up to 16, else 4.
  static WaveFormatRecord pcm(uint32_t sampleRate, uint16_t channels, uint16_t bits);
  // Reads a stored record; missing bytes count as zero and cbSize is limited to what fits.
  static WaveFormatRecord fromBytes(const uint8_t* bytes, size_t size);
  std::array<uint8_t, kSize> toBytes() const;

  platform::WaveFormat toWaveFormat() const;
  static WaveFormatRecord fromWaveFormat(const platform::WaveFormat& format,
                                         uint16_t manufacturerId = 0, uint16_t productId = 0);
};

}  // namespace quillon
