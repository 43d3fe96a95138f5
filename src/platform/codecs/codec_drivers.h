#pragma once

#include <cstdint>
#include <memory>

#include "platform/codec_manager.h"

namespace quillon::platform {

// Our own codec drivers, registered by the CodecManager. They share one manufacturer id; the
// product ids number them. Both ids are stored with a chosen save format so that the format
// picker finds the same driver again.
inline constexpr uint16_t kQuillonManufacturerId = 0x5155;  // "UQ" as little-endian bytes
inline constexpr uint16_t kImaAdpcmProductId = 1;
inline constexpr uint16_t kMsAdpcmProductId = 2;
inline constexpr uint16_t kALawProductId = 3;
inline constexpr uint16_t kMuLawProductId = 4;

inline constexpr uint16_t kMsAdpcmTag = 0x0002;
inline constexpr uint16_t kALawTag = 0x0006;
inline constexpr uint16_t kMuLawTag = 0x0007;
inline constexpr uint16_t kImaAdpcmTag = 0x0011;

// IMA ADPCM (tag 0x11) in the 4-bit block layout of WAV files.
std::unique_ptr<CodecDriver> makeImaAdpcmDriver();
// Microsoft ADPCM (tag 2), 4 bits, with the coefficient pairs in the record.
std::unique_ptr<CodecDriver> makeMsAdpcmDriver();
// ITU-T G.711 A-law (tag 6) and µ-law (tag 7), 8 bits per sample.
std::unique_ptr<CodecDriver> makeALawDriver();
std::unique_ptr<CodecDriver> makeMuLawDriver();

// Complete format records, as the drivers offer them. A block align of 0 picks the customary one
// for the rate: 256 bytes per channel up to 11025 Hz, 512 up to 22050 Hz, 1024 above.
WaveFormat imaAdpcmFormat(uint32_t sampleRate, uint16_t channels, uint16_t blockAlign = 0);
WaveFormat msAdpcmFormat(uint32_t sampleRate, uint16_t channels, uint16_t blockAlign = 0);
WaveFormat g711Format(uint16_t tag, uint32_t sampleRate, uint16_t channels);

}  // namespace quillon::platform
