#pragma once

#include <cstdint>
#include <vector>

#include "document/sample_stream.h"
#include "formats/wave_format_record.h"
#include "platform/file.h"
#include "platform/ref_counted.h"

namespace quillon {

struct WavChunks {
  // The first 18 + cbSize bytes of the "fmt " chunk (cbSize taken as 0 for a chunk of 16 or 17
  // bytes, and limited to what the chunk holds).
  WaveFormatRecord format;
  int64_t dataStart = 0;    // file offset of the first sample byte
  int64_t dataBytes = -1;   // the data chunk's size field, signed: negative while being written
  int64_t factFrames = -1;  // the "fact" chunk's frame count, when there is one
};

// Skips leading foreign chunks to RIFF/WAVE and walks the chunks to "fmt " (16 to 8,192 bytes,
// read whole) and, when `wantData`, on to "data" (noting a "fact" chunk on the way). Answers
// Ok, or Corrupt when the file is not such a file. Odd-sized chunks are followed by a pad byte.
SourceStatus findWavChunks(platform::File& file, WavChunks& chunks, bool wantData);

// Readers of WAV files whose samples need a codec: GSM 06.10 (tag 49) and the formats of the
// codec manager's drivers. They take over the file.
Ref<SampleSource> openGsmWavReader(platform::File file, int32_t sampleRate, int64_t dataBytes);
Ref<SampleSource> openCompressedWavReader(platform::File file, const WavChunks& chunks);

}  // namespace quillon
