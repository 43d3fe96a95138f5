#pragma once

#include <cstdint>
#include <string>

#include "document/sample_stream.h"
#include "platform/file.h"
#include "platform/ref_counted.h"

namespace quillon {

// Raw ".gsm": 33-byte GSM 06.10 frames of 160 samples, 8,000 Hz mono.
Ref<SampleSource> OpenGsmSource(const std::string& path);
// WAV format tag 49: 65-byte blocks of two frames (320 samples), mono at the header's rate,
// from the handle's current offset; `dataBytes` of −1 reads to the end of the file.
Ref<SampleSource> OpenGsmWavSource(platform::File file, int64_t dataBytes, int32_t sampleRate);

// An unfinished last frame (or block) is completed with silence when the file is finished.
Ref<SampleSink> CreateGsmSink(const std::string& path);
Ref<SampleSink> CreateGsmWavSink(const std::string& path, int32_t sampleRate);

}  // namespace quillon
