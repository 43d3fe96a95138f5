#pragma once

#include <cstdint>
#include <string>

#include "document/sample_stream.h"
#include "platform/form.h"
#include "platform/interaction.h"
#include "platform/ref_counted.h"

namespace quillon {

// AIFF (".aif", ".aiff"): big-endian chunks "COMM" and "SSND" inside "FORM"/"AIFF"; 8, 16, 24 and
// 32-bit samples. AIFC files are refused as corrupt.
Ref<SampleSource> OpenAiffSource(const std::string& path);

// Writes 8-bit signed samples when `sampleSize` ≤ 8, else 16-bit.
Ref<SampleSink> CreateAiffSink(const std::string& path, int32_t sampleRate, int channels,
                               int sampleSize);

// The AIFF settings ("LAIFFEncodeDlg"): "rate" (0 stands for 44,100), "bits" (the sample size)
// and "channels" ("Mono" 1, "Stereo" 2), stored under "AIFFEncode". Rate and channels default
// to the document's, in the dialog and in the writer alike.
extern const Form kAiffSettingsForm;
bool EditAiffSettings(Interaction& owner, int32_t documentRate, int documentChannels);
Ref<SampleSink> CreateAiffSinkFromSettings(const std::string& path, int32_t documentRate,
                                           int documentChannels);

// The 80-bit extended sample rate field; reading answers 0 for exponents outside 0x4000…0x401E.
void writeExtendedRate(uint32_t rate, uint8_t out[10]);
uint32_t readExtendedRate(const uint8_t in[10]);

}  // namespace quillon
