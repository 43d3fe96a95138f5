#include "decoder_service/decoder_stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>

namespace quillon::decoder {

namespace {

constexpr size_t kScanBufferSize = 8192;
constexpr int kScanFrames = 16;
constexpr size_t kEndGuard = 8;  // zero bytes after the last frame, so libmad decodes it
constexpr uint32_t kXingMagic = 0x58696E67;  // "Xing"

// Reads up to `bytes`, stopping only at the end of the file; -1 on error.
int64_t readFully(int fd, unsigned char* buffer, size_t bytes) {
  size_t done = 0;
  while (done < bytes) {
    const ssize_t n = ::read(fd, buffer + done, bytes - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return done ? int64_t(done) : -1;
    if (n == 0) break;
    done += size_t(n);
  }
  return int64_t(done);
}

// A float count of frames as a frame number, 0 for nonsense, saturated at the largest.
int32_t framesOf(float value) {
  if (!(value > 0)) return 0;
  if (value >= float(std::numeric_limits<int32_t>::max()))
    return std::numeric_limits<int32_t>::max();
  return int32_t(value);
}

int32_t addFrames(int32_t position, int64_t frames) {
  return int32_t(
      std::min<int64_t>(int64_t{position} + frames, std::numeric_limits<int32_t>::max()));
}

}  // namespace

// --- The layout of a file ----------------------------------------------------------------------

int64_t id3TagSize(const uint8_t* head, size_t size) {
  if (size < 10 || head[0] != 'I' || head[1] != 'D' || head[2] != '3') return 0;
  const int64_t syncsafe = int64_t(head[6] & 0x7F) << 21 | int64_t(head[7] & 0x7F) << 14 |
                           int64_t(head[8] & 0x7F) << 7 | int64_t(head[9] & 0x7F);
  return syncsafe + 10;
}

bool parseXingRecord(mad_bitptr bits, unsigned bitLength, XingRecord& record) {
  if (bitLength < 64 || mad_bit_read(&bits, 32) != kXingMagic) return false;
  const uint32_t flags = uint32_t(mad_bit_read(&bits, 32));
  unsigned left = bitLength - 64;
  XingRecord parsed;
  auto take32 = [&](uint32_t& field) {
    if (left < 32) return false;
    field = uint32_t(mad_bit_read(&bits, 32));
    left -= 32;
    return true;
  };
  if ((flags & XingRecord::kFrames) && !take32(parsed.frames)) return false;
  if ((flags & XingRecord::kBytes) && !take32(parsed.bytes)) return false;
  if (flags & XingRecord::kTableOfContents) {
    if (left < 800) return false;
    for (int32_t& entry : parsed.tableOfContents)
      entry = int32_t(mad_bit_read(&bits, 8));
    left -= 800;
  }
  if ((flags & XingRecord::kQuality) && !take32(parsed.quality)) return false;
  parsed.flags = flags;
  record = parsed;
  return true;
}

// The fewest bytes a frame of this stream can take: one at the lowest bit rate of its MPEG
// version and layer (32 kbit/s for MPEG-1 and for layer I, 8 kbit/s for the half-rate versions).
int64_t smallestFrameBytes(const mad_header& header, int samplesPerFrame) {
  constexpr int kHalfRateFlags = MAD_FLAG_LSF_EXT | MAD_FLAG_MPEG_2_5_EXT;
  const int64_t lowest =
      !(header.flags & kHalfRateFlags) || header.layer == MAD_LAYER_I ? 32000 : 8000;
  return std::max<int64_t>(samplesPerFrame * lowest / 8 / header.samplerate, 1);
}

void estimateLength(StreamLayout& layout, const mad_header& header) {
  constexpr int kHalfFrameFlags = MAD_FLAG_LSF_EXT | MAD_FLAG_MPEG_2_5_EXT | MAD_FLAG_MC_EXT;
  if (header.layer == MAD_LAYER_I) {
    layout.samplesPerFrame = 384;
  } else if (header.layer == MAD_LAYER_III && (header.flags & kHalfFrameFlags)) {
    layout.samplesPerFrame = 576;
  } else {
    layout.samplesPerFrame = 1152;
  }
  layout.frameSize = header.samplerate ? float(layout.samplesPerFrame) * 0.125f *
                                             float(header.bitrate) / float(header.samplerate)
                                       : 0.0f;
  // The fractional size already averages the padding slots over the frames; adding the slot of
  // one padded frame would make every frame a byte too long and cut the end off the length.
  if (layout.xing.flags & XingRecord::kFrames) {
    // A declared count is believed only as far as the file can hold so many frames.
    const int64_t dataBytes = std::max<int64_t>(layout.fileSize - layout.id3Size, 0);
    const int64_t most =
        header.samplerate ? dataBytes / smallestFrameBytes(header, layout.samplesPerFrame) : 0;
    layout.frameCount = float(std::min<int64_t>(layout.xing.frames, most));
  } else {
    layout.frameCount =
        layout.frameSize > 0 ? float(layout.fileSize - layout.id3Size) / layout.frameSize : 0.0f;
  }
  layout.length = framesOf(float(layout.samplesPerFrame) * layout.frameCount);
}

int64_t seekByte(const StreamLayout& layout, int32_t frame) {
  const int32_t target = std::clamp(frame, 0, std::max(layout.length, 0));
  float p = layout.length > 0 ? float(target) / float(layout.length) : 0.0f;
  if (layout.xing.flags & XingRecord::kTableOfContents) {
    const float percent = p * 100;
    const int i = std::clamp(int(percent), 0, 100);
    const float a = i > 99 ? 256.0f : float(layout.xing.tableOfContents[i]);
    const float b = i > 98 ? 256.0f : float(layout.xing.tableOfContents[i + 1]);
    p = (a + (percent - float(i)) * (b - a)) * (1.0f / 256);
  }
  return layout.id3Size + int64_t(float(layout.fileSize - layout.id3Size) * p);
}

// --- Sample words ----------------------------------------------------------------------------

SampleWord* SampleQueue::reserve(size_t words) {
  if (count_ + words > storage_.size()) storage_.resize(count_ + words + 255);
  return storage_.data() + count_;
}

size_t SampleQueue::take(SampleWord* out, size_t words) {
  const size_t n = std::min(words, available());
  std::copy_n(storage_.data() + index_, n, out);
  index_ += n;
  return n;
}

// --- The stream ----------------------------------------------------------------------------------

DecoderStream::DecoderStream() : input_(kInputSize + kInputGuard) {
  mad_stream_init(&stream_);
  mad_frame_init(&frame_);
  mad_synth_init(&synth_);
}

DecoderStream::~DecoderStream() {
  mad_synth_finish(&synth_);
  mad_frame_finish(&frame_);
  mad_stream_finish(&stream_);
  if (fd_ >= 0) ::close(fd_);
}

void DecoderStream::open(const std::string& path) {
  if (openFile(path)) {
    scan();
    if (layout_.found) moveToByte(seekByte(layout_, 0));
  }
  timer_ = mad_timer_zero;
  framesDecoded_ = 0;
  dither_[0] = dither_[1] = DitherState{};
  queue_.clear();
  position_ = 0;
  if (fd_ >= 0 && layout_.found) {
    status_ = kStreamOk;
    decodeStep();  // may end the stream (2) or find it undecodable (3)
  } else {
    status_ = fd_ >= 0 ? kStreamNoFrame : kStreamNotOpened;
  }
}

// Regular files only: a pipe or a device named ".mp3" must not block or feed the service forever.
bool DecoderStream::openFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return false;
  }
  fd_ = fd;
  layout_.fileSize = st.st_size;
  return true;
}

// Finds the tag, then decodes up to 16 frames in a private decoder until one carries a Xing
// record, and estimates the length from the last frame decoded.
void DecoderStream::scan() {
  uint8_t head[10];
  const int64_t headBytes = readFully(fd_, head, sizeof head);
  layout_.id3Size = id3TagSize(head, size_t(std::max<int64_t>(headBytes, 0)));
  ::lseek(fd_, 0, SEEK_SET);

  std::vector<unsigned char> buffer(kScanBufferSize + kEndGuard + kInputGuard);
  mad_stream stream;
  mad_frame frame;
  mad_stream_init(&stream);
  mad_frame_init(&frame);
  mad_header last{};
  int decoded = 0;
  size_t held = 0;
  bool atEnd = false, done = false;
  while (!done && !atEnd) {
    const size_t wanted = kScanBufferSize - held;
    const int64_t got = readFully(fd_, buffer.data() + held, wanted);
    if (got <= 0) break;
    held += size_t(got);
    std::fill_n(buffer.data() + held, kEndGuard + kInputGuard, 0);
    if (size_t(got) < wanted) atEnd = true, held += kEndGuard;
    mad_stream_buffer(&stream, buffer.data(), held);
    while (!done) {
      if (mad_frame_decode(&frame, &stream) == 0) {
        ++decoded;
        last = frame.header;
        done = parseXingRecord(stream.anc_ptr, stream.anc_bitlen, layout_.xing) ||
               decoded >= kScanFrames;
      } else if (MAD_RECOVERABLE(stream.error)) {
        continue;
      } else if (stream.error == MAD_ERROR_BUFLEN) {
        const unsigned char* next = stream.next_frame ? stream.next_frame : buffer.data();
        held = size_t(stream.bufend - next);
        std::memmove(buffer.data(), next, held);
        break;
      } else {
        decoded = 0;
        done = true;
      }
    }
  }
  mad_frame_finish(&frame);
  mad_stream_finish(&stream);
  layout_.found = decoded > 0;
  if (layout_.found) estimateLength(layout_, last);
}

void DecoderStream::moveToByte(int64_t byte) {
  if (byte < layout_.fileSize) {
    ::lseek(fd_, off_t(std::max<int64_t>(byte, 0)), SEEK_SET);
  } else {
    ::lseek(fd_, 0, SEEK_END);
  }
}

void DecoderStream::seek(int32_t frame) {
  const int32_t target = std::max(frame, 0);
  if (fd_ >= 0 && layout_.found) {
    moveToByte(seekByte(layout_, target));
    status_ = kStreamOk;
  }
  restartDecoder();
  position_ = target;
}

void DecoderStream::restartDecoder() {
  mad_frame_mute(&frame_);
  mad_synth_mute(&synth_);
  mad_stream_finish(&stream_);
  mad_stream_init(&stream_);
  queue_.clear();
}

// Keeps the undecoded rest of the input, reads as much as fits after it and hands it to libmad.
bool DecoderStream::refill() {
  size_t held = 0;
  if (stream_.buffer && stream_.next_frame) {
    held = size_t(stream_.bufend - stream_.next_frame);
    std::memmove(input_.data(), stream_.next_frame, held);
  }
  const size_t wanted = kInputSize - held;
  const int64_t got = fd_ >= 0 ? readFully(fd_, input_.data() + held, wanted) : -1;
  if (got <= 0) {
    status_ = kStreamEnded;
    return false;
  }
  held += size_t(got);
  std::fill_n(input_.data() + held, kInputGuard, 0);
  if (size_t(got) < wanted) held += kEndGuard;
  mad_stream_options(&stream_, MAD_OPTION_IGNORECRC);
  mad_stream_buffer(&stream_, input_.data(), held);
  stream_.error = MAD_ERROR_NONE;
  return true;
}

// Decodes the next frame into the empty queue, skipping what libmad can recover from.
bool DecoderStream::decodeStep() {
  queue_.clear();
  for (;;) {
    if (!stream_.buffer || stream_.error == MAD_ERROR_BUFLEN) {
      if (!refill()) return false;
    }
    if (mad_frame_decode(&frame_, &stream_) != 0) {
      if (MAD_RECOVERABLE(stream_.error) || stream_.error == MAD_ERROR_BUFLEN) continue;
      status_ = kStreamNoFrame;
      return false;
    }
    ++framesDecoded_;
    mad_timer_add(&timer_, frame_.header.duration);
    mad_synth_frame(&synth_, &frame_);
    queueSynthesis();
    return queue_.available() > 0;
  }
}

// The dither states live in locals through the loop, so that the two channels' error feedback
// runs side by side in registers.
void DecoderStream::queueSynthesis() {
  const mad_pcm& pcm = synth_.pcm;
  const size_t channels = std::min<size_t>(pcm.channels, 2);
  const size_t frames = std::min<size_t>(pcm.length, 1152);
  SampleWord* out = queue_.reserve(frames * channels);
  DitherState left = dither_[0], right = dither_[1];
  if (channels == 2) {
    for (size_t i = 0; i < frames; ++i) {
      out[2 * i] = toSampleWord(pcm.samples[0][i], left);
      out[2 * i + 1] = toSampleWord(pcm.samples[1][i], right);
    }
  } else if (channels == 1) {
    for (size_t i = 0; i < frames; ++i)
      out[i] = toSampleWord(pcm.samples[0][i], left);
  }
  dither_[0] = left, dither_[1] = right;
  queue_.commit(frames * channels);
}

void DecoderStream::read(SampleWord* words, int32_t frames) {
  if (frames <= 0) return;
  const int channels = this->channels();
  const size_t wanted = size_t(frames) * size_t(channels);
  size_t done = 0;
  for (;;) {
    const size_t taken = queue_.take(words + done, wanted - done);
    done += taken;
    position_ = addFrames(position_, int64_t(taken) / channels);
    if (done == wanted) return;
    if (!decodeStep()) {
      std::fill(words + done, words + wanted, 0);
      position_ = addFrames(position_, int64_t(wanted - done) / channels);
      return;
    }
  }
}

}  // namespace quillon::decoder
