#include "formats/compressed_wav.h"

#include <algorithm>
#include <cstring>

#include "formats/block_decoding_reader.h"
#include "formats/headered_file_writer.h"
#include "formats/wav_chunks.h"

namespace quillon {
namespace {

constexpr int32_t kBufferFrames = 8192;

// Reads the blocks of a compressed format through a codec driver's decoding stream.
class CompressedWavReader : public BlockDecodingReader {
 public:
  CompressedWavReader(platform::File file, const Layout& layout,
                      std::unique_ptr<platform::CodecStream> stream)
      : BlockDecodingReader(std::move(file), layout),
        stream_(std::move(stream)),
        blockBytes_(layout.blockBytes),
        pcm_(size_t(layout.framesPerBlock) * size_t(layout.channels) * 2) {
    setPeakBound(kFullScale16);
  }

 protected:
  bool decodeBlock(const uint8_t* block, Sample* out) override {
    const platform::CodecConversion done = stream_->convert(
        block, blockBytes_, pcm_.data(), pcm_.size(), platform::kCodecConvertBlockAlign);
    if (!done.ok) return false;
    const size_t samples = pcm_.size() / 2;
    const size_t produced = std::min(done.destinationUsed / 2, samples);
    for (size_t i = 0; i < produced; ++i) {
      out[i] = Sample(int16_t(pcm_[2 * i] | pcm_[2 * i + 1] << 8)) * 16;
    }
    std::fill(out + produced, out + samples, 0);
    return true;
  }

 private:
  std::unique_ptr<platform::CodecStream> stream_;
  size_t blockBytes_;
  std::vector<uint8_t> pcm_;
};

// Collects 16-bit PCM and hands it to an encoding stream in whole blocks, as the compression
// manager wants it; the end pads and converts a final partial block.
class CodecDataEncoder : public DataEncoder {
 public:
  CodecDataEncoder(std::unique_ptr<platform::CodecStream> stream,
                   const platform::WaveFormat& target, int channels, size_t destinationBytes)
      : stream_(std::move(stream)),
        target_(target),
        channels_(channels),
        source_(size_t(kBufferFrames) * size_t(channels) * 2),
        destination_(destinationBytes) {}

  bool encode(const Sample* words, int32_t frames, std::vector<uint8_t>& out) override {
    const size_t count = size_t(frames) * size_t(channels_);
    for (size_t i = 0; i < count; ++i) {
      const auto v =
          uint16_t(int16_t(std::clamp<int64_t>((int64_t{words[i]} + 8) >> 4, -32768, 32767)));
      source_[filled_++] = uint8_t(v);
      source_[filled_++] = uint8_t(v >> 8);
      if (filled_ == source_.size() && !convert(platform::kCodecConvertBlockAlign, out)) {
        return false;
      }
    }
    return true;
  }

  bool finish(std::vector<uint8_t>& out) override {
    return filled_ == 0 || convert(platform::kCodecConvertEnd, out);
  }

  // From the format's average rate, with a block to spare for the padded end.
  int64_t bytesFor(int64_t frames) const override {
    if (target_.sampleRate == 0) return frames * channels_ * 2;
    return frames * int64_t{target_.averageBytesPerSecond} / target_.sampleRate + 1 +
           target_.blockAlign;
  }

 private:
  bool convert(unsigned flags, std::vector<uint8_t>& out) {
    const platform::CodecConversion done =
        stream_->convert(source_.data(), filled_, destination_.data(), destination_.size(), flags);
    if (!done.ok) return false;
    out.insert(out.end(), destination_.begin(),
               destination_.begin() + ptrdiff_t(done.destinationUsed));
    const size_t used = std::min(done.sourceUsed, filled_);
    std::memmove(source_.data(), source_.data() + used, filled_ - used);
    filled_ -= used;
    return true;
  }

  std::unique_ptr<platform::CodecStream> stream_;
  platform::WaveFormat target_;
  int channels_;
  std::vector<uint8_t> source_;
  size_t filled_ = 0;
  std::vector<uint8_t> destination_;
};

}  // namespace

Ref<SampleSource> openCompressedWavReader(platform::File file, const WavChunks& chunks) {
  const platform::WaveFormat compressed = chunks.format.toWaveFormat();
  const platform::WaveFormat pcm =
      platform::WaveFormat::pcm16(compressed.sampleRate, compressed.channels);
  std::unique_ptr<platform::CodecStream> stream =
      platform::CodecManager::instance().open(compressed, pcm, platform::kCodecOpenNonRealtime);
  if (!stream || compressed.blockAlign == 0) return makeRef<NullSource>(SourceStatus::MissingCodec);
  const size_t pcmBytes = stream->destinationSizeFor(compressed.blockAlign);
  const size_t bytesPerFrame = size_t(compressed.channels) * 2;
  if (pcmBytes == 0 || pcmBytes % bytesPerFrame) return makeRef<NullSource>(SourceStatus::Corrupt);
  BlockDecodingReader::Layout layout;
  layout.sampleRate = int32_t(compressed.sampleRate);
  layout.channels = compressed.channels;
  layout.dataStart = chunks.dataStart;
  layout.dataBytes = chunks.dataBytes;
  layout.blockBytes = compressed.blockAlign;
  layout.framesPerBlock = int32_t(pcmBytes / bytesPerFrame);
  layout.frames = chunks.factFrames;
  return makeRef<CompressedWavReader>(std::move(file), layout, std::move(stream));
}

Ref<SampleSink> createCompressedWavSink(const std::string& path, const WaveFormatRecord& format) {
  platform::WaveFormat target = format.toWaveFormat();
  const uint16_t channels = std::max<uint16_t>(format.channels, 1);
  const platform::WaveFormat source = platform::WaveFormat::pcm16(format.sampleRate, channels);
  platform::CodecManager& codecs = platform::CodecManager::instance();
  std::unique_ptr<platform::CodecStream> stream = codecs.open(source, target, 0);
  if (!stream) stream = codecs.open(source, target, platform::kCodecOpenNonRealtime);
  if (!stream) return makeRef<NullSink>();
  const size_t destinationBytes = stream->destinationSizeFor(size_t(kBufferFrames) * channels * 2);
  if (destinationBytes == 0) return makeRef<NullSink>();
  return makeRef<HeaderedFileWriter>(
      path, int32_t(format.sampleRate), channels,
      std::make_unique<CodecDataEncoder>(std::move(stream), target, channels, destinationBytes),
      [target](bool final, int64_t dataBytes, int32_t) {
        return compressedWavHeader(target, final, dataBytes);
      },
      wavMaxDataBytes(target));
}

}  // namespace quillon
