#include "formats/wav_chunks.h"

#include <algorithm>

#include "formats/byte_io.h"

namespace quillon {
namespace {

constexpr uint32_t kMinFormatBytes = 16;
constexpr uint32_t kMaxFormatBytes = 8192;

bool readAt(platform::File& file, int64_t offset, uint8_t* out, size_t count) {
  return file.readAt(out, count, offset) == int64_t(count);
}

}  // namespace

SourceStatus findWavChunks(platform::File& file, WavChunks& chunks, bool wantData) {
  int64_t offset = 0;
  // Leading foreign chunks before RIFF/WAVE.
  for (;;) {
    uint8_t head[12];
    if (!readAt(file, offset, head, 12)) return SourceStatus::Corrupt;
    ByteReader in(head, 12);
    const std::string id = in.fourCC();
    const uint32_t size = in.u32le();
    if (id == "RIFF" && in.fourCC() == "WAVE") {
      offset += 12;
      break;
    }
    const int64_t rounded = (int64_t{size} + 1) & ~int64_t{1};
    if (rounded <= 2 || rounded == 4) return SourceStatus::Corrupt;
    offset += 12 + (rounded - 4);
  }

  bool haveFormat = false;
  for (;;) {
    uint8_t head[8];
    if (!readAt(file, offset, head, 8)) return SourceStatus::Corrupt;
    ByteReader in(head, 8);
    const std::string id = in.fourCC();
    const uint32_t size = in.u32le();
    if (!haveFormat && id == "fmt ") {
      if (size < kMinFormatBytes || size > kMaxFormatBytes) return SourceStatus::Corrupt;
      std::vector<uint8_t> body(size);
      if (!readAt(file, offset + 8, body.data(), size)) return SourceStatus::Corrupt;
      // cbSize: 0 for a chunk of 16 or 17 bytes, and no more than the chunk holds.
      const size_t extra = size >= 18 ? std::min<size_t>(body[16] | body[17] << 8, size - 18) : 0;
      body.resize(std::max<size_t>(size, 18), 0);
      body[16] = uint8_t(extra);
      body[17] = uint8_t(extra >> 8);
      chunks.format = WaveFormatRecord::fromBytes(body.data(), 18 + extra);
      haveFormat = true;
      offset += 8 + int64_t{size} + (size & 1);
      if (!wantData) return SourceStatus::Ok;
      continue;
    }
    if (haveFormat && id == "data") {
      chunks.dataStart = offset + 8;
      chunks.dataBytes = int32_t(size);
      return SourceStatus::Ok;
    }
    if (size >= 0x7FFFFFFF) return SourceStatus::Corrupt;  // size + 1 would not fit
    if (haveFormat && id == "fact" && size >= 4) {
      uint8_t frames[4];
      if (readAt(file, offset + 8, frames, 4)) chunks.factFrames = ByteReader(frames, 4).u32le();
    }
    offset += 8 + ((int64_t{size} + 1) & ~int64_t{1});
  }
}

}  // namespace quillon
