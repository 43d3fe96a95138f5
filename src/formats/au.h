#pragma once

#include <cstdint>
#include <string>

#include "document/sample_stream.h"
#include "platform/form.h"
#include "platform/interaction.h"
#include "platform/ref_counted.h"

namespace quillon {

// Sun/NeXT ".au": a 24-byte big-endian header (".snd", data offset, data size, encoding, rate,
// channels) and the data from the offset on; a data size of 0xFFFFFFFF runs to the end.
Ref<SampleSource> OpenAuSource(const std::string& path);

// Codec index 0 "PCM 16 bit", 1 "PCM 8 bit", 2 "aLaw", 3 "uLaw"; any other index writes 16-bit
// PCM at 44,100 Hz stereo.
Ref<SampleSink> CreateAuSink(const std::string& path, int codecIndex, int32_t sampleRate,
                             int channels);

// The AU settings ("LAuSettingsDlg"): "codec" (the indexes above), "rate" and "channels" ("Mono"
// 1, "Stereo" 2), stored under "AuEncoder"; the writer they configure whatever the document is.
extern const Form kAuSettingsForm;
bool EditAuSettings(Interaction& owner, int32_t documentRate, int documentChannels);
Ref<SampleSink> CreateAuSinkFromSettings(const std::string& path, int32_t documentRate,
                                         int documentChannels);

}  // namespace quillon
