#pragma once

#include <string>
#include <vector>

#include "document/sample_stream.h"
#include "formats/wave_format_record.h"
#include "platform/codec_manager.h"
#include "platform/ref_counted.h"

namespace quillon {

// A WAV writer for any format a codec driver produces from 16-bit PCM. Status bit 0 (and no
// file) when no driver takes the format.
Ref<SampleSink> createCompressedWavSink(const std::string& path, const WaveFormatRecord& format);

// The WAV header of a format: "fmt " holds 18 + cbSize bytes; no "fact" chunk. While writing, the
// data size makes the RIFF size read 0xFFFFFFFF.
std::vector<uint8_t> compressedWavHeader(const platform::WaveFormat& format, bool final,
                                         int64_t dataBytes);
// The most data bytes such a header can state: the RIFF size (data + 38 + cbSize) is 32 bits.
int64_t wavMaxDataBytes(const platform::WaveFormat& format);

}  // namespace quillon
