#pragma once

#include <cstdint>
#include <string>

#include "document/sample_stream.h"
#include "platform/form.h"
#include "platform/interaction.h"
#include "platform/ref_counted.h"
#include "platform/settings.h"

namespace quillon {

// The layout of a headerless file: rate, channels and codec 0 "Dialogic ADPCM", 1 "G711 uLaw",
// 2 "G711 aLaw", 3 "16 bit PCM (Intel Endian)", 4 "8 bit unsigned", 5 "8 bit signed",
// 6 "16 bit PCM (Big Endian)", 7 "32 bit float (Intel Endian)", 8 "32 bit float (Big Endian)".
struct RawLayout {
  int32_t sampleRate = 44100;
  int channels = 1;
  int codec = 3;
};

// The families of headerless files: "RawAudio" for ".raw" and ".snd", "VoxAudio" for ".vox".
using RawFamily = settings::RawLayoutSetting;
inline constexpr const RawFamily& kRawAudioFamily = settings::kRawAudioLayout;
inline constexpr const RawFamily& kVoxAudioFamily = settings::kVoxAudioLayout;

// The stored layout of a family: values "SampleRate", "Channels" (0 reads as 1) and "Codec"
// under the family's sub key, each with the given default.
RawLayout readRawLayout(const RawFamily& family, const RawLayout& defaults);
void writeRawLayout(const RawFamily& family, const RawLayout& layout);
// A family's defaults when opening: 44,100 Hz mono 16-bit PCM, and 8,000 Hz mono Dialogic ADPCM.
constexpr RawLayout openingDefaults(const RawFamily& family) {
  return {family.sampleRate.defaultNumber, family.channels.defaultNumber,
          family.codec.defaultNumber};
}
inline constexpr RawLayout kRawAudioDefaults = openingDefaults(kRawAudioFamily);
inline constexpr RawLayout kVoxAudioDefaults = openingDefaults(kVoxAudioFamily);

// The raw layout dialog ("LRAWDlg") of each family: "codec" (the list above), "rate" (6,000 to
// 196,000) and "channels" ("Mono" 1, "Stereo" 2), stored under the family.
extern const Form kRawAudioLayoutForm;
extern const Form kVoxAudioLayoutForm;
const Form& layoutFormOf(const RawFamily& family);

// Shows the family's raw layout dialog, opened on `initial`, and stores what it confirms; false
// when cancelled.
bool askRawLayout(Interaction& owner, const RawFamily& family, const RawLayout& initial);

// Reads from byte 0 with the length taken from the file size; an unknown codec gives a
// NullSource.
Ref<SampleSource> OpenRawSource(const std::string& path, const RawLayout& layout);
// Writes the samples only; an unknown codec gives a NullSink.
Ref<SampleSink> CreateRawSink(const std::string& path, const RawLayout& layout);

}  // namespace quillon
