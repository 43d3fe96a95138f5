#include <algorithm>
#include <cstring>

#include "formats/byte_io.h"
#include "formats/positioned_file_reader.h"
#include "formats/wav.h"
#include "formats/wav_chunks.h"
#include "platform/form.h"

namespace quillon {
namespace {

constexpr uint16_t kTagPcm = 1;
constexpr uint16_t kTagFloat = 3;
constexpr uint16_t kTagGsm = 49;
constexpr uint16_t kTagExtensible = 0xFFFE;

Ref<SampleSource> failed(SourceStatus status) {
  return makeRef<NullSource>(status);
}

// The tag a file's samples really have: the extensible form names it in its sub-format.
uint16_t effectiveTag(const WaveFormatRecord& fmt) {
  if (fmt.tag == kTagExtensible && fmt.extraSize >= 8)
    return uint16_t(fmt.extra[6] | fmt.extra[7] << 8);
  return fmt.tag;
}

}  // namespace

Ref<SampleSource> OpenWavSourceFromHandle(platform::File file, int32_t sampleRate, int channels,
                                          SampleEncoding encoding, int64_t dataBytes) {
  PositionedFileReader::Layout layout;
  layout.sampleRate = sampleRate;
  layout.channels = channels;
  layout.encoding = encoding;
  layout.dataStart = file.tell();
  layout.dataBytes = dataBytes;
  return makeRef<PositionedFileReader>(std::move(file), layout);
}

Ref<SampleSource> OpenWavSource(const std::string& path) {
  platform::File file;
  if (!file.open(path, platform::File::Mode::Read)) return failed(SourceStatus::CannotOpen);
  WavChunks chunks;
  const SourceStatus status = findWavChunks(file, chunks, true);
  if (status != SourceStatus::Ok) return failed(status);
  const WaveFormatRecord& fmt = chunks.format;
  if (fmt.channels < 1 || fmt.channels > 255 || fmt.sampleRate < uint32_t(kLowestSampleRate) ||
      fmt.sampleRate > uint32_t(kHighestSampleRate)) {
    return failed(SourceStatus::Corrupt);
  }
  const auto rate = int32_t(fmt.sampleRate);
  const uint16_t tag = effectiveTag(fmt);

  PositionedFileReader::Layout layout;
  layout.sampleRate = rate;
  layout.channels = fmt.channels;
  layout.dataStart = chunks.dataStart;
  layout.dataBytes = chunks.dataBytes;
  layout.sizeFieldOffset = chunks.dataStart - 4;
  if (tag == kTagPcm) {
    const int bits = fmt.bitsPerSample;
    layout.encoding = bits <= 8    ? SampleEncoding::Unsigned8
                      : bits <= 16 ? SampleEncoding::Pcm16Le
                      : bits <= 24 ? SampleEncoding::Pcm24Le
                                   : SampleEncoding::Pcm32Le;
  } else if (tag == kTagFloat) {
    if (fmt.bitsPerSample != 32) return failed(SourceStatus::Corrupt);
    layout.encoding = SampleEncoding::Float32Le;
  } else if (tag == kTagGsm) {
    file.seek(chunks.dataStart);
    return openGsmWavReader(std::move(file), rate, chunks.dataBytes);
  } else {
    return openCompressedWavReader(std::move(file), chunks);
  }
  return makeRef<PositionedFileReader>(std::move(file), layout);
}

std::string GetWavCodecName(const std::string& path) {
  platform::File file;
  WavChunks chunks;
  if (!file.open(path, platform::File::Mode::Read) ||
      findWavChunks(file, chunks, false) != SourceStatus::Ok) {
    return wavCodecNameForTag(0);
  }
  return wavCodecNameForTag(chunks.format.tag);
}

WaveFormatRecord ReadWavFormat(const std::string& path) {
  platform::File file;
  WavChunks chunks;
  if (!file.open(path, platform::File::Mode::Read) ||
      findWavChunks(file, chunks, false) != SourceStatus::Ok) {
    return WaveFormatRecord::fromBytes(nullptr, 0);
  }
  return chunks.format;
}

}  // namespace quillon
