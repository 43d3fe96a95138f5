#include "platform/codecs/block_codec.h"

#include <algorithm>
#include <limits>

#include "platform/codecs/codec_drivers.h"

namespace quillon::platform::codecs {

namespace {

// ceil(units / per) × bytesEach, or 0 when that does not fit a size_t.
size_t roundedUpSize(size_t units, size_t per, size_t bytesEach) {
  const size_t blocks = units / per + (units % per != 0 ? 1 : 0);
  if (bytesEach != 0 && blocks > std::numeric_limits<size_t>::max() / bytesEach) return 0;
  return blocks * bytesEach;
}

bool pointersUsable(const uint8_t* source, size_t sourceBytes, const uint8_t* destination,
                    size_t destinationBytes) {
  return (source != nullptr || sourceBytes == 0) &&
         (destination != nullptr || destinationBytes == 0);
}

// 16-bit PCM in, whole blocks out; a final partial block is padded with silence.
class EncodingStream : public CodecStream {
 public:
  explicit EncodingStream(std::unique_ptr<BlockCodec> codec)
      : codec_(std::move(codec)),
        frameBytes_(size_t(codec_->channels()) * 2),
        frames_(codec_->framesPerBlock() * codec_->channels()) {}

  size_t destinationSizeFor(size_t sourceBytes) const override {
    return roundedUpSize(sourceBytes / frameBytes_, codec_->framesPerBlock(), codec_->blockBytes());
  }

  CodecConversion convert(const uint8_t* source, size_t sourceBytes, uint8_t* destination,
                          size_t destinationBytes, unsigned flags) override {
    CodecConversion result;
    if (!pointersUsable(source, sourceBytes, destination, destinationBytes)) return result;
    if (flags & kCodecConvertStart) codec_->reset();
    const size_t framesPerBlock = codec_->framesPerBlock();
    const size_t blockBytes = codec_->blockBytes();
    const size_t sourceFrames = sourceBytes / frameBytes_;
    const size_t wholeBlocks = sourceFrames / framesPerBlock;
    const size_t roomBlocks = destinationBytes / blockBytes;
    const size_t blocks = std::min(wholeBlocks, roomBlocks);
    for (size_t block = 0; block < blocks; ++block) {
      load(source + result.sourceUsed, framesPerBlock);
      codec_->encodeBlock(frames_.data(), framesPerBlock, destination + result.destinationUsed);
      result.sourceUsed += framesPerBlock * frameBytes_;
      result.destinationUsed += blockBytes;
    }
    const size_t restFrames = sourceFrames - wholeBlocks * framesPerBlock;
    if ((flags & kCodecConvertEnd) && blocks == wholeBlocks && restFrames > 0 &&
        roomBlocks > blocks) {
      load(source + result.sourceUsed, restFrames);
      codec_->encodeBlock(frames_.data(), restFrames, destination + result.destinationUsed);
      result.sourceUsed += restFrames * frameBytes_;
      result.destinationUsed += blockBytes;
    }
    result.ok = true;
    return result;
  }

 private:
  // Takes `count` frames of little-endian samples and pads the block with silence.
  void load(const uint8_t* bytes, size_t count) {
    const size_t samples = count * codec_->channels();
    for (size_t i = 0; i < samples; ++i)
      frames_[i] = loadS16(bytes + 2 * i);
    std::fill(frames_.begin() + long(samples), frames_.end(), int16_t(0));
  }

  std::unique_ptr<BlockCodec> codec_;
  size_t frameBytes_;
  std::vector<int16_t> frames_;  // one block of interleaved frames
};

// Blocks in, 16-bit PCM out; a truncated final block yields its complete frames.
class DecodingStream : public CodecStream {
 public:
  explicit DecodingStream(std::unique_ptr<BlockCodec> codec)
      : codec_(std::move(codec)),
        frameBytes_(size_t(codec_->channels()) * 2),
        frames_(codec_->framesPerBlock() * codec_->channels()) {}

  size_t destinationSizeFor(size_t sourceBytes) const override {
    return roundedUpSize(sourceBytes, codec_->blockBytes(), codec_->framesPerBlock() * frameBytes_);
  }

  CodecConversion convert(const uint8_t* source, size_t sourceBytes, uint8_t* destination,
                          size_t destinationBytes, unsigned flags) override {
    CodecConversion result;
    if (!pointersUsable(source, sourceBytes, destination, destinationBytes)) return result;
    if (flags & kCodecConvertStart) codec_->reset();
    const size_t blockBytes = codec_->blockBytes();
    const size_t pcmBlockBytes = codec_->framesPerBlock() * frameBytes_;
    const size_t wholeBlocks = sourceBytes / blockBytes;
    const size_t blocks = std::min(wholeBlocks, destinationBytes / pcmBlockBytes);
    for (size_t block = 0; block < blocks; ++block) {
      const size_t count =
          codec_->decodeBlock(source + result.sourceUsed, blockBytes, frames_.data());
      store(destination + result.destinationUsed, count);
      result.sourceUsed += blockBytes;
      result.destinationUsed += count * frameBytes_;
    }
    const size_t restBytes = sourceBytes - wholeBlocks * blockBytes;
    if ((flags & kCodecConvertEnd) && blocks == wholeBlocks && restBytes > 0) {
      const size_t count = codec_->framesInTruncatedBlock(restBytes);
      if (count * frameBytes_ <= destinationBytes - result.destinationUsed) {
        codec_->decodeBlock(source + result.sourceUsed, restBytes, frames_.data());
        store(destination + result.destinationUsed, count);
        result.sourceUsed += restBytes;
        result.destinationUsed += count * frameBytes_;
      }
    }
    result.ok = true;
    return result;
  }

 private:
  void store(uint8_t* bytes, size_t count) const {
    const size_t samples = count * codec_->channels();
    for (size_t i = 0; i < samples; ++i)
      storeS16(bytes + 2 * i, frames_[i]);
  }

  std::unique_ptr<BlockCodec> codec_;
  size_t frameBytes_;
  std::vector<int16_t> frames_;
};

bool isPcm16(const WaveFormat& format) {
  return format.tag == 1 && format.bitsPerSample == 16 && format.channels >= 1 &&
         format.blockAlign == format.channels * 2;
}

}  // namespace

std::unique_ptr<CodecStream> makeEncodingStream(std::unique_ptr<BlockCodec> codec) {
  return std::make_unique<EncodingStream>(std::move(codec));
}

std::unique_ptr<CodecStream> makeDecodingStream(std::unique_ptr<BlockCodec> codec) {
  return std::make_unique<DecodingStream>(std::move(codec));
}

uint16_t SingleTagDriver::manufacturerId() const {
  return kQuillonManufacturerId;
}

std::vector<WaveFormat> SingleTagDriver::standardFormats(uint16_t tag) const {
  std::vector<WaveFormat> formats;
  if (tag != tag_) return formats;
  for (uint32_t rate : kStandardRates) {
    for (uint16_t channels : {uint16_t(1), uint16_t(2)})
      formats.push_back(standardFormat(rate, channels));
  }
  return formats;
}

std::unique_ptr<CodecStream> SingleTagDriver::open(const WaveFormat& source,
                                                   const WaveFormat& destination,
                                                   unsigned /*flags*/) const {
  const bool encoding = isPcm16(source) && destination.tag == tag_;
  const bool decoding = source.tag == tag_ && isPcm16(destination);
  if (!encoding && !decoding) return nullptr;
  const WaveFormat& pcm = encoding ? source : destination;
  const WaveFormat& compressed = encoding ? destination : source;
  if (compressed.channels != pcm.channels || compressed.sampleRate != pcm.sampleRate ||
      compressed.sampleRate == 0) {
    return nullptr;
  }
  std::unique_ptr<BlockCodec> codec = makeCodec(compressed);
  if (!codec) return nullptr;
  return encoding ? makeEncodingStream(std::move(codec)) : makeDecodingStream(std::move(codec));
}

uint16_t adpcmBlockAlign(uint32_t sampleRate, uint16_t channels) {
  unsigned perChannel = sampleRate <= 11025 ? 256 : sampleRate <= 22050 ? 512 : 1024;
  // Many channels: smaller blocks, so that the block align still fits its 16 bits.
  while (perChannel > 16 && perChannel * channels > 0xFFFF)
    perChannel /= 2;
  return perChannel * channels > 0xFFFF ? 0 : uint16_t(perChannel * channels);
}

WaveFormat adpcmFormat(uint16_t tag, uint32_t sampleRate, uint16_t channels, uint16_t blockAlign,
                       size_t headerBytes, size_t headerSamples) {
  WaveFormat format;
  format.tag = tag;
  format.channels = channels;
  format.sampleRate = sampleRate;
  format.blockAlign = blockAlign != 0 ? blockAlign : adpcmBlockAlign(sampleRate, channels);
  format.bitsPerSample = 4;
  const size_t header = headerBytes * size_t(channels);
  const size_t samplesPerBlock = channels != 0 && format.blockAlign >= header
                                     ? headerSamples + (format.blockAlign - header) * 2 / channels
                                     : 0;
  if (samplesPerBlock != 0) {
    format.averageBytesPerSecond =
        uint32_t(uint64_t(sampleRate) * format.blockAlign / samplesPerBlock);
  }
  format.extra = {uint8_t(samplesPerBlock), uint8_t(samplesPerBlock >> 8)};
  return format;
}

}  // namespace quillon::platform::codecs
