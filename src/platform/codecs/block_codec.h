#pragma once

// The part that every codec driver of ours shares: a codec that turns one block of 16-bit frames
// into one compressed block and back, the two conversion streams built on it, and a driver base
// that checks the PCM side of an open request.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/codec_manager.h"

namespace quillon::platform::codecs {

// One compressed format with its record already validated: framesPerBlock frames of `channels`
// interleaved 16-bit samples make one block of blockBytes bytes.
class BlockCodec {
 public:
  BlockCodec(unsigned channels, size_t framesPerBlock, size_t blockBytes)
      : channels_(channels), framesPerBlock_(framesPerBlock), blockBytes_(blockBytes) {}
  virtual ~BlockCodec() = default;

  unsigned channels() const { return channels_; }
  size_t framesPerBlock() const { return framesPerBlock_; }
  size_t blockBytes() const { return blockBytes_; }

  // Forgets what earlier blocks left behind (the first conversion of a stream).
  virtual void reset() {}
  // Writes one whole block from framesPerBlock interleaved frames, of which the first `signal`
  // are the signal and the rest silence that pads the last block of a stream.
  virtual void encodeBlock(const int16_t* frames, size_t signal, uint8_t* block) = 0;
  // The complete frames in the first `bytes` (< blockBytes) of a truncated block.
  virtual size_t framesInTruncatedBlock(size_t bytes) const = 0;
  // Decodes the first `bytes` (≤ blockBytes) of a block: all framesPerBlock frames of a whole
  // block, framesInTruncatedBlock(bytes) of a truncated one. Answers the frames written.
  virtual size_t decodeBlock(const uint8_t* block, size_t bytes, int16_t* frames) = 0;

 private:
  unsigned channels_;
  size_t framesPerBlock_;
  size_t blockBytes_;
};

// Streams over a codec: 16-bit little-endian PCM to blocks, and blocks to PCM.
std::unique_ptr<CodecStream> makeEncodingStream(std::unique_ptr<BlockCodec> codec);
std::unique_ptr<CodecStream> makeDecodingStream(std::unique_ptr<BlockCodec> codec);

// A driver of one format tag. `open` accepts exactly one side of 16-bit PCM with the rate and
// channel count of the other side, which must carry the driver's tag and a record that
// makeCodec accepts.
class SingleTagDriver : public CodecDriver {
 public:
  SingleTagDriver(uint16_t productId, std::string name, uint16_t tag)
      : productId_(productId), name_(std::move(name)), tag_(tag) {}

  uint16_t manufacturerId() const override;
  uint16_t productId() const override { return productId_; }
  std::string name() const override { return name_; }
  std::vector<uint16_t> formatTags() const override { return {tag_}; }
  std::vector<WaveFormat> standardFormats(uint16_t tag) const override;
  std::unique_ptr<CodecStream> open(const WaveFormat& source, const WaveFormat& destination,
                                    unsigned flags) const override;

 protected:
  uint16_t tag() const { return tag_; }
  // The offered record for a rate and channel count.
  virtual WaveFormat standardFormat(uint32_t sampleRate, uint16_t channels) const = 0;
  // A codec for a record of our tag (rate and channels at least 1), or null when the record is
  // malformed or describes a layout this codec does not handle.
  virtual std::unique_ptr<BlockCodec> makeCodec(const WaveFormat& format) const = 0;

 private:
  uint16_t productId_;
  std::string name_;
  uint16_t tag_;
};

// The rates that the drivers offer in their standard formats.
inline constexpr uint32_t kStandardRates[] = {8000, 11025, 16000, 22050, 32000, 44100, 48000};

// The customary ADPCM block align: 256 bytes per channel up to 11025 Hz, 512 up to 22050 Hz,
// 1024 above (smaller for very many channels; 0 when nothing fits 16 bits).
uint16_t adpcmBlockAlign(uint32_t sampleRate, uint16_t channels);

// The common fields of a 4-bit ADPCM format: blockAlign 0 takes the customary one; a block holds
// `headerBytes` per channel carrying `headerSamples` samples each, then two samples per byte.
// `extra` starts with the samples per block (16 bits); the driver appends what else it needs.
WaveFormat adpcmFormat(uint16_t tag, uint32_t sampleRate, uint16_t channels, uint16_t blockAlign,
                       size_t headerBytes, size_t headerSamples);

inline int16_t loadS16(const uint8_t* bytes) {
  return int16_t(uint16_t(bytes[0] | (bytes[1] << 8)));
}
inline void storeS16(uint8_t* bytes, int value) {
  bytes[0] = uint8_t(value);
  bytes[1] = uint8_t(unsigned(value) >> 8);
}
inline int clamp16(int value) {
  return value < -32768 ? -32768 : value > 32767 ? 32767 : value;
}

}  // namespace quillon::platform::codecs
