#pragma once

// One opened MPEG audio file inside korrel: the scan for its layout and length, seeking, the
// refill of libmad's input, decoding frame by frame and the conversion of libmad's fixed-point
// output to sample words (20-bit values, full scale ±2^19).
#include <mad.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quillon::decoder {

using SampleWord = int32_t;

// Stream status, as the open reply reports it.
enum StreamStatus : int32_t {
  kStreamOk = 0,
  kStreamNotOpened = 1,
  kStreamEnded = 2,    // the input ran out
  kStreamNoFrame = 3,  // no decodable frame, or an unrecoverable decoding error
};

// The Xing record of a variable-bit-rate file's first frame; all 0 when there is none.
struct XingRecord {
  enum Flags : uint32_t { kFrames = 1, kBytes = 2, kTableOfContents = 4, kQuality = 8 };
  uint32_t flags = 0;
  uint32_t frames = 0;
  uint32_t bytes = 0;
  int32_t tableOfContents[100] = {};  // each 0 … 255: the byte position of each percent / 256
  uint32_t quality = 0;
};

// What the scan of a file finds.
struct StreamLayout {
  bool found = false;   // at least one frame decoded
  int64_t id3Size = 0;  // a leading ID3v2 tag with its 10-byte header, or 0
  int64_t fileSize = 0;
  int32_t length = 0;       // estimated frames (samples per channel)
  int samplesPerFrame = 0;  // 384, 576 or 1152
  float frameSize = 0;      // estimated bytes per frame
  float frameCount = 0;     // estimated frames of the file
  XingRecord xing;
};

// The size of an ID3v2 tag from the first 10 bytes of a file: its 28-bit syncsafe size plus the
// header; 0 when the bytes do not start with "ID3".
int64_t id3TagSize(const uint8_t* head, size_t size);

// Parses a Xing record from a frame's ancillary bits; false when there is none or it is cut.
bool parseXingRecord(mad_bitptr bits, unsigned bitLength, XingRecord& record);

// Fills samples per frame, frame size, frame count and length from a decoded frame's header,
// the Xing record and the sizes of the file and its tag.
void estimateLength(StreamLayout& layout, const mad_header& header);

// The byte of the file where decoding resumes for `frame`: proportional to the length, through
// the Xing table of contents when the file has one.
int64_t seekByte(const StreamLayout& layout, int32_t frame);

// The noise-shaped, dithered rounding of libmad's 28-fraction-bit samples to sample words.
// Each channel keeps its own state.
struct DitherState {
  int32_t error[3] = {};
  uint32_t random = 0;
};

inline SampleWord toSampleWord(mad_fixed_t sample, DitherState& state) {
  constexpr int32_t kMax = MAD_F_ONE - 1;  // 0x0FFFFFFF
  constexpr int32_t kMin = -MAD_F_ONE;     // -0x10000000
  constexpr int kShift = MAD_F_FRACBITS + 1 - 20;
  constexpr int32_t kMask = (1 << kShift) - 1;
  // Anything beyond ±4.0 clips to full scale all the same; bounding it keeps the sums in range.
  constexpr int32_t kBound = 1 << 30;
  // Noise shaping: the last errors fed back.
  int32_t s = (sample > kBound    ? kBound
               : sample < -kBound ? -kBound
                                  : sample) +
              state.error[0] - state.error[1] + state.error[2];
  state.error[2] = state.error[1];
  state.error[1] = state.error[0] / 2;
  // Half a step to round, then triangular dither from the difference of two random draws.
  const uint32_t random = state.random * 1664525u + 1013904223u;
  int32_t out = s + (1 << (kShift - 1)) + int32_t(random & kMask) - int32_t(state.random & kMask);
  state.random = random;
  if (out > kMax) {
    out = kMax;
    if (s > kMax) s = kMax;
  } else if (out < kMin) {
    out = kMin;
    if (s < kMin) s = kMin;
  }
  out &= ~kMask;
  state.error[0] = s - out;
  return out >> kShift;
}

// Decoded sample words waiting to be read, interleaved by channel.
class SampleQueue {
 public:
  void clear() { index_ = count_ = 0; }
  size_t available() const { return count_ - index_; }
  size_t capacity() const { return storage_.size(); }
  // Room for `words` more words after the queued ones; grows leaving 255 words to spare.
  SampleWord* reserve(size_t words);
  void commit(size_t words) { count_ += words; }
  // Moves up to `words` words to `out`; answers how many.
  size_t take(SampleWord* out, size_t words);

 private:
  std::vector<SampleWord> storage_;
  size_t index_ = 0;
  size_t count_ = 0;
};

class DecoderStream {
 public:
  static constexpr size_t kInputSize = 40960;
  static constexpr size_t kInputGuard = 16;

  DecoderStream();
  ~DecoderStream();
  DecoderStream(const DecoderStream&) = delete;
  DecoderStream& operator=(const DecoderStream&) = delete;

  // Opens the file, scans it, moves to frame 0 and decodes the first frame; `status()` tells
  // how that went.
  void open(const std::string& path);

  // Fills `frames` frames (frames × channels() words) from the decoded audio, silence once the
  // audio ends; the position grows by `frames` either way.
  void read(SampleWord* words, int32_t frames);

  // Moves to `frame`: decoding resumes at the first frame after the byte `seekByte` gives, and
  // the position becomes `frame` itself.
  void seek(int32_t frame);

  int32_t status() const { return status_; }
  int32_t position() const { return position_; }
  int32_t length() const { return layout_.length; }
  int32_t sampleRate() const { return int32_t(synth_.pcm.samplerate); }
  // The channels of the last synthesised frame, at least 1.
  int channels() const { return synth_.pcm.channels ? synth_.pcm.channels : 1; }
  const StreamLayout& layout() const { return layout_; }

 private:
  bool openFile(const std::string& path);
  void scan();
  void moveToByte(int64_t byte);
  void restartDecoder();
  bool refill();
  bool decodeStep();
  void queueSynthesis();

  int fd_ = -1;
  StreamLayout layout_;
  mad_stream stream_;
  mad_frame frame_;
  mad_synth synth_;
  mad_timer_t timer_ = mad_timer_zero;
  unsigned long framesDecoded_ = 0;
  std::vector<unsigned char> input_;
  DitherState dither_[2];
  SampleQueue queue_;
  int32_t status_ = kStreamNotOpened;
  int32_t position_ = 0;
};

}  // namespace quillon::decoder
