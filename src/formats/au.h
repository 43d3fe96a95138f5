#pragma once

#include <cstdint>
#include <string>

#include "document/sample_stream.h"
#include "platform/ref_counted.h"

namespace quillon {

// Sun/NeXT ".au": a 24-byte big-endian header (".snd", data offset, data size, encoding, rate,
// channels) and the data from the offset on; a data size of 0xFFFFFFFF runs to the end.
Ref<SampleSource> OpenAuSource(const std::string& path);

// Codec index 0 "PCM 16 bit", 1 "PCM 8 bit", 2 "aLaw", 3 "uLaw"; any other index writes 16-bit
// PCM at 44,100 Hz stereo.
Ref<SampleSink> CreateAuSink(const std::string& path, int codecIndex, int32_t sampleRate,
                             int channels);

}  // namespace quillon
