#include "formats/gsm_file.h"

#include <algorithm>
#include <array>

#include "formats/block_decoding_reader.h"
#include "formats/compressed_wav.h"
#include "formats/gsm610.h"
#include "formats/headered_file_writer.h"
#include "formats/wav_chunks.h"

namespace quillon {
namespace {

using gsm610::kFrameBytes;
using gsm610::kFrameSamples;
using gsm610::kMsBlockBytes;

constexpr int32_t kPeakBound = 1048544;

// Decodes frames (one per raw block, two per WAV block) and turns them into sample words.
class GsmReader : public BlockDecodingReader {
 public:
  GsmReader(platform::File file, const Layout& layout, bool wavPacking)
      : BlockDecodingReader(std::move(file), layout), wavPacking_(wavPacking) {
    setPeakBound(kPeakBound);
  }

 protected:
  bool decodeBlock(const uint8_t* block, Sample* out) override {
    gsm610::FrameParameters frames[2];
    int count = 1;
    if (wavPacking_) {
      gsm610::unpackMsBlock(block, frames[0], frames[1]);
      count = 2;
    } else {
      gsm610::unpackFrame(block, frames[0]);
    }
    for (int i = 0; i < count; ++i) {
      int16_t synthesis[kFrameSamples];
      decoder_.decode(frames[i], synthesis);
      postprocessor_.process(synthesis, out + i * kFrameSamples);
    }
    return true;
  }

  void restart() override {
    decoder_ = gsm610::Decoder();
    postprocessor_ = gsm610::WordPostprocessor();
  }

 private:
  bool wavPacking_;
  gsm610::Decoder decoder_;
  gsm610::WordPostprocessor postprocessor_;
};

// Collects 160 (raw) or 320 (WAV) samples and writes them as one frame or block.
class GsmEncoder : public DataEncoder {
 public:
  explicit GsmEncoder(bool wavPacking) : wavPacking_(wavPacking) {}

  bool encode(const Sample* words, int32_t frames, std::vector<uint8_t>& out) override {
    const int32_t blockFrames = wavPacking_ ? 2 * kFrameSamples : kFrameSamples;
    for (int32_t i = 0; i < frames; ++i) {
      pending_[size_t(filled_++)] = words[i];
      if (filled_ == blockFrames) writeBlock(out);
    }
    return true;
  }

  bool finish(std::vector<uint8_t>& out) override {
    if (filled_ > 0) {
      std::fill(pending_.begin() + filled_, pending_.end(), 0);
      writeBlock(out);
    }
    return true;
  }

  int64_t bytesFor(int64_t frames) const override {
    const int64_t blockFrames = wavPacking_ ? 2 * kFrameSamples : kFrameSamples;
    return (frames + blockFrames - 1) / blockFrames * (wavPacking_ ? kMsBlockBytes : kFrameBytes);
  }

 private:
  void writeBlock(std::vector<uint8_t>& out) {
    gsm610::FrameParameters frames[2];
    const int count = wavPacking_ ? 2 : 1;
    for (int i = 0; i < count; ++i) {
      int16_t input[kFrameSamples];
      preprocessor_.process(pending_.data() + i * kFrameSamples, input);
      encoder_.encode(input, frames[i]);
    }
    const size_t at = out.size();
    if (wavPacking_) {
      out.resize(at + kMsBlockBytes);
      gsm610::packMsBlock(frames[0], frames[1], out.data() + at);
    } else {
      out.resize(at + kFrameBytes);
      gsm610::packFrame(frames[0], out.data() + at);
    }
    filled_ = 0;
  }

  bool wavPacking_;
  std::array<Sample, 2 * kFrameSamples> pending_{};
  int32_t filled_ = 0;
  gsm610::WordPreprocessor preprocessor_;
  gsm610::Encoder encoder_;
};

}  // namespace

Ref<SampleSource> OpenGsmSource(const std::string& path) {
  platform::File file;
  if (!file.open(path, platform::File::Mode::Read))
    return makeRef<NullSource>(SourceStatus::CannotOpen);
  BlockDecodingReader::Layout layout;
  layout.sampleRate = 8000;
  layout.dataBytes = std::max<int64_t>(file.size(), 0);
  layout.blockBytes = kFrameBytes;
  layout.framesPerBlock = kFrameSamples;
  return makeRef<GsmReader>(std::move(file), layout, false);
}

Ref<SampleSource> OpenGsmWavSource(platform::File file, int64_t dataBytes, int32_t sampleRate) {
  BlockDecodingReader::Layout layout;
  layout.sampleRate = sampleRate;
  layout.dataStart = file.tell();
  layout.dataBytes = dataBytes;
  layout.blockBytes = kMsBlockBytes;
  layout.framesPerBlock = 2 * kFrameSamples;
  return makeRef<GsmReader>(std::move(file), layout, true);
}

Ref<SampleSource> openGsmWavReader(platform::File file, int32_t sampleRate, int64_t dataBytes) {
  return OpenGsmWavSource(std::move(file), dataBytes, sampleRate);
}

Ref<SampleSink> CreateGsmSink(const std::string& path) {
  return makeRef<HeaderedFileWriter>(path, 8000, 1, std::make_unique<GsmEncoder>(false),
                                     HeaderBuilder());
}

Ref<SampleSink> CreateGsmWavSink(const std::string& path, int32_t sampleRate) {
  platform::WaveFormat format;
  format.tag = 49;
  format.channels = 1;
  format.sampleRate = uint32_t(sampleRate);
  format.averageBytesPerSecond = uint32_t(sampleRate) * kMsBlockBytes / (2 * kFrameSamples);
  format.blockAlign = kMsBlockBytes;
  format.bitsPerSample = 0;
  format.extra = {uint8_t(2 * kFrameSamples), uint8_t((2 * kFrameSamples) >> 8)};
  return makeRef<HeaderedFileWriter>(
      path, sampleRate, 1, std::make_unique<GsmEncoder>(true),
      [format](bool final, int64_t dataBytes, int32_t) {
        return compressedWavHeader(format, final, dataBytes);
      },
      wavMaxDataBytes(format));
}

}  // namespace quillon
