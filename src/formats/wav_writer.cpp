#include "formats/byte_io.h"
#include "formats/compressed_wav.h"
#include "formats/gsm_file.h"
#include "formats/headered_file_writer.h"
#include "formats/wav.h"

namespace quillon {
namespace {

// "RIFF", size, "WAVE", "fmt " with its 18 + cbSize bytes, "data", size. While writing, the data
// size is 0 − 39 − cbSize so that the RIFF size reads 0xFFFFFFFF: readers then know the file is
// still growing.
std::vector<uint8_t> wavHeader(const platform::WaveFormat& format, bool final, int64_t dataBytes) {
  const auto extra = uint32_t(format.extra.size());
  const uint32_t dataSize = final ? uint32_t(dataBytes) : uint32_t(0) - 39 - extra;
  ByteWriter out;
  out.fourCC("RIFF").u32le(dataSize + extra + 38).fourCC("WAVE");
  out.fourCC("fmt ").u32le(18 + extra);
  out.u16le(format.tag).u16le(format.channels).u32le(format.sampleRate);
  out.u32le(format.averageBytesPerSecond).u16le(format.blockAlign).u16le(format.bitsPerSample);
  out.u16le(uint16_t(extra)).bytes(format.extra.data(), extra);
  out.fourCC("data").u32le(dataSize);
  return out.data();
}

Ref<SampleSink> sampleWavSink(const std::string& path, int32_t sampleRate, int channels,
                              SampleEncoding encoding, uint16_t tag) {
  const int bytes = bytesPerSample(encoding);
  platform::WaveFormat format;
  format.tag = tag;
  format.channels = uint16_t(channels);
  format.sampleRate = uint32_t(sampleRate);
  format.blockAlign = uint16_t(channels * bytes);
  format.averageBytesPerSecond = uint32_t(sampleRate) * format.blockAlign;
  format.bitsPerSample = uint16_t(8 * bytes);
  return makeRef<HeaderedFileWriter>(
      path, sampleRate, channels, std::make_unique<SampleDataEncoder>(encoding, channels),
      [format](bool final, int64_t dataBytes, int32_t) {
        return wavHeader(format, final, dataBytes);
      },
      wavMaxDataBytes(format));
}

SampleEncoding pcmEncoding(int bytesPerSample) {
  switch (bytesPerSample) {
    case 1:
      return SampleEncoding::Unsigned8;
    case 3:
      return SampleEncoding::Pcm24Le;
    case 4:
      return SampleEncoding::Pcm32Le;
    default:
      return SampleEncoding::Pcm16Le;
  }
}

}  // namespace

std::vector<uint8_t> compressedWavHeader(const platform::WaveFormat& format, bool final,
                                         int64_t dataBytes) {
  return wavHeader(format, final, dataBytes);
}

int64_t wavMaxDataBytes(const platform::WaveFormat& format) {
  return int64_t{0xFFFFFFFF} - 38 - int64_t(format.extra.size());
}

Ref<SampleSink> CreatePcmWavSink(const std::string& path, int32_t sampleRate, int channels,
                                 int bytesPerSample) {
  return sampleWavSink(path, sampleRate, channels, pcmEncoding(bytesPerSample), 1);
}

Ref<SampleSink> CreateWavSink(const std::string& path, const WaveFormatRecord& format) {
  const int channels = format.channels;
  const auto rate = int32_t(format.sampleRate);
  if (format.tag == 1) {
    const int bits = format.bitsPerSample;
    return CreatePcmWavSink(path, rate, channels,
                            bits <= 8    ? 1
                            : bits <= 16 ? 2
                            : bits <= 24 ? 3
                                         : 4);
  }
  if (format.tag == 3 && format.bitsPerSample == 32) {
    return sampleWavSink(path, rate, channels, SampleEncoding::Float32Le, 3);
  }
  if (format.tag == 49) return CreateGsmWavSink(path, rate);
  return createCompressedWavSink(path, format);
}

}  // namespace quillon
