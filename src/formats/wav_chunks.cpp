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

platform::WaveFormat WavFormatChunk::toWaveFormat() const {
  platform::WaveFormat format;
  format.tag = tag;
  format.channels = channels;
  format.sampleRate = sampleRate;
  format.averageBytesPerSecond = averageBytesPerSecond;
  format.blockAlign = blockAlign;
  format.bitsPerSample = bitsPerSample;
  if (bytes.size() > 18) format.extra.assign(bytes.begin() + 18, bytes.end());
  return format;
}

uint8_t findWavChunks(platform::File& file, WavChunks& chunks, bool wantData) {
  int64_t offset = 0;
  // Leading foreign chunks before RIFF/WAVE.
  for (;;) {
    uint8_t head[12];
    if (!readAt(file, offset, head, 12)) return kSourceCorrupt;
    ByteReader in(head, 12);
    const std::string id = in.fourCC();
    const uint32_t size = in.u32le();
    if (id == "RIFF" && in.fourCC() == "WAVE") {
      offset += 12;
      break;
    }
    const int64_t rounded = (int64_t{size} + 1) & ~int64_t{1};
    if (rounded <= 2 || rounded == 4) return kSourceCorrupt;
    offset += 12 + (rounded - 4);
  }

  bool haveFormat = false;
  for (;;) {
    uint8_t head[8];
    if (!readAt(file, offset, head, 8)) return kSourceCorrupt;
    ByteReader in(head, 8);
    const std::string id = in.fourCC();
    const uint32_t size = in.u32le();
    if (!haveFormat && id == "fmt ") {
      if (size < kMinFormatBytes || size > kMaxFormatBytes) return kSourceCorrupt;
      std::vector<uint8_t> body(size);
      if (!readAt(file, offset + 8, body.data(), size)) return kSourceCorrupt;
      ByteReader fmt(body);
      WavFormatChunk& f = chunks.format;
      f.tag = fmt.u16le();
      f.channels = fmt.u16le();
      f.sampleRate = fmt.u32le();
      f.averageBytesPerSecond = fmt.u32le();
      f.blockAlign = fmt.u16le();
      f.bitsPerSample = fmt.u16le();
      const size_t extra = size >= 18 ? std::min<size_t>(fmt.u16le(), size - 18) : 0;
      f.bytes.assign(body.begin(), body.begin() + std::min<size_t>(size, 18));
      f.bytes.resize(18, 0);
      f.bytes[16] = uint8_t(extra);
      f.bytes[17] = uint8_t(extra >> 8);
      f.bytes.insert(f.bytes.end(), body.begin() + 18, body.begin() + 18 + ptrdiff_t(extra));
      haveFormat = true;
      offset += 8 + int64_t{size} + (size & 1);
      if (!wantData) return kSourceOk;
      continue;
    }
    if (haveFormat && id == "data") {
      chunks.dataStart = offset + 8;
      chunks.dataBytes = int32_t(size);
      return kSourceOk;
    }
    if (size >= 0x7FFFFFFF) return kSourceCorrupt;  // size + 1 would not fit
    if (haveFormat && id == "fact" && size >= 4) {
      uint8_t frames[4];
      if (readAt(file, offset + 8, frames, 4)) chunks.factFrames = ByteReader(frames, 4).u32le();
    }
    offset += 8 + ((int64_t{size} + 1) & ~int64_t{1});
  }
}

}  // namespace quillon
