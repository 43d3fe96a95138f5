#include "formats/wave_format_record.h"

#include <algorithm>

#include "formats/byte_io.h"

namespace quillon {

WaveFormatRecord WaveFormatRecord::pcm(uint32_t sampleRate, uint16_t channels, uint16_t bits) {
  WaveFormatRecord record;
  const uint16_t bytesPerSample = bits < 9 ? 1 : bits <= 16 ? 2 : 4;
  record.tag = 1;
  record.channels = channels;
  record.sampleRate = sampleRate;
  record.blockAlign = uint16_t(channels * bytesPerSample);
  record.averageBytesPerSecond = sampleRate * record.blockAlign;
  record.bitsPerSample = bits;
  return record;
}

WaveFormatRecord WaveFormatRecord::fromBytes(const uint8_t* bytes, size_t size) {
  std::array<uint8_t, kSize> padded{};
  std::copy_n(bytes, std::min(size, kSize), padded.begin());
  ByteReader in(padded.data(), padded.size());
  WaveFormatRecord record;
  record.tag = in.u16le();
  record.channels = in.u16le();
  record.sampleRate = in.u32le();
  record.averageBytesPerSecond = in.u32le();
  record.blockAlign = in.u16le();
  record.bitsPerSample = in.u16le();
  record.extraSize = std::min<uint16_t>(in.u16le(), kMaxExtra);
  in.bytes(record.extra.data(), kMaxExtra);
  record.manufacturerId = in.u16le();
  record.productId = in.u16le();
  return record;
}

std::array<uint8_t, WaveFormatRecord::kSize> WaveFormatRecord::toBytes() const {
  ByteWriter out;
  out.u16le(tag).u16le(channels).u32le(sampleRate).u32le(averageBytesPerSecond);
  out.u16le(blockAlign).u16le(bitsPerSample).u16le(extraSize);
  out.bytes(extra.data(), kMaxExtra).u16le(manufacturerId).u16le(productId);
  std::array<uint8_t, kSize> bytes{};
  std::copy(out.data().begin(), out.data().end(), bytes.begin());
  return bytes;
}

platform::WaveFormat WaveFormatRecord::toWaveFormat() const {
  platform::WaveFormat format;
  format.tag = tag;
  format.channels = channels;
  format.sampleRate = sampleRate;
  format.averageBytesPerSecond = averageBytesPerSecond;
  format.blockAlign = blockAlign;
  format.bitsPerSample = bitsPerSample;
  format.extra.assign(extra.begin(), extra.begin() + std::min<size_t>(extraSize, kMaxExtra));
  return format;
}

WaveFormatRecord WaveFormatRecord::fromWaveFormat(const platform::WaveFormat& format,
                                                  uint16_t manufacturerId, uint16_t productId) {
  WaveFormatRecord record;
  record.tag = format.tag;
  record.channels = format.channels;
  record.sampleRate = format.sampleRate;
  record.averageBytesPerSecond = format.averageBytesPerSecond;
  record.blockAlign = format.blockAlign;
  record.bitsPerSample = format.bitsPerSample;
  record.extraSize = uint16_t(std::min(format.extra.size(), kMaxExtra));
  std::copy_n(format.extra.begin(), record.extraSize, record.extra.begin());
  record.manufacturerId = manufacturerId;
  record.productId = productId;
  return record;
}

}  // namespace quillon
