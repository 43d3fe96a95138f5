#pragma once

#include <cstdint>
#include <string>

#include "document/sample_stream.h"
#include "platform/ref_counted.h"

namespace quillon {

// The layout of a headerless file: rate, channels and codec 0 "Dialogic ADPCM", 1 "G711 uLaw",
// 2 "G711 aLaw", 3 "16 bit PCM (Intel Endian)", 4 "8 bit unsigned", 5 "8 bit signed",
// 6 "16 bit PCM (Big Endian)", 7 "32 bit float (Intel Endian)", 8 "32 bit float (Big Endian)".
struct RawLayout {
  int32_t sampleRate = 44100;
  int channels = 1;
  int codec = 3;
};

// The stored layout of a family of headerless files ("RawAudio" for ".raw" and ".snd",
// "VoxAudio" for ".vox"): values "SampleRate", "Channels" (0 reads as 1) and "Codec" under the
// family's sub key, each with the given default.
RawLayout readRawLayout(const char* family, const RawLayout& defaults);
void writeRawLayout(const char* family, const RawLayout& layout);
inline constexpr char kRawAudioFamily[] = "RawAudio";
inline constexpr char kVoxAudioFamily[] = "VoxAudio";
// The defaults when opening: 44,100 Hz mono 16-bit PCM, and 8,000 Hz mono Dialogic ADPCM.
inline constexpr RawLayout kRawAudioDefaults{44100, 1, 3};
inline constexpr RawLayout kVoxAudioDefaults{8000, 1, 0};

// Reads from byte 0 with the length taken from the file size; an unknown codec gives a
// NullSource.
Ref<SampleSource> OpenRawSource(const std::string& path, const RawLayout& layout);
// Writes the samples only; an unknown codec gives a NullSink.
Ref<SampleSink> CreateRawSink(const std::string& path, const RawLayout& layout);

}  // namespace quillon
