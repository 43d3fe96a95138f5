#include "formats/sample_encoding.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>

#include "formats/g711.h"

namespace quillon {
namespace {

template <class T>
T saturate(int64_t value) {
  return static_cast<T>(
      std::clamp<int64_t>(value, std::numeric_limits<T>::min(), std::numeric_limits<T>::max()));
}

// Float to word: truncation toward zero; what has no word (NaN, huge values) saturates.
Sample floatToWord(float f, double scale) {
  const double v = double(f) * scale;
  if (!(v == v)) return 0;
  if (v >= 2147483647.0) return std::numeric_limits<Sample>::max();
  if (v <= -2147483648.0) return std::numeric_limits<Sample>::min();
  return static_cast<Sample>(v);
}

float floatFrom(uint32_t bits) {
  return std::bit_cast<float>(bits);
}
uint32_t bitsOf(float f) {
  return std::bit_cast<uint32_t>(f);
}

uint32_t le32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint32_t be32(const uint8_t* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}
void putLe32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v), p[1] = uint8_t(v >> 8), p[2] = uint8_t(v >> 16), p[3] = uint8_t(v >> 24);
}
void putBe32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v >> 24), p[1] = uint8_t(v >> 16), p[2] = uint8_t(v >> 8), p[3] = uint8_t(v);
}

}  // namespace

int bytesPerSample(SampleEncoding encoding) {
  switch (encoding) {
    case SampleEncoding::Unsigned8:
    case SampleEncoding::Signed8:
    case SampleEncoding::Signed8Aiff:
    case SampleEncoding::MuLaw:
    case SampleEncoding::ALaw:
      return 1;
    case SampleEncoding::Pcm16Le:
    case SampleEncoding::Pcm16Be:
      return 2;
    case SampleEncoding::Pcm24Le:
    case SampleEncoding::Pcm24Be:
      return 3;
    case SampleEncoding::Pcm32Le:
    case SampleEncoding::Pcm32Be:
    case SampleEncoding::Float32Le:
    case SampleEncoding::Float32Be:
      return 4;
  }
  return 2;
}

int32_t peakBoundOf(SampleEncoding encoding) {
  switch (encoding) {
    case SampleEncoding::Float32Le:
    case SampleEncoding::Float32Be:
      return 1048744;
    case SampleEncoding::MuLaw:
    case SampleEncoding::ALaw:
      return 516096;
    default:
      return kFullScale16;
  }
}

void decodeSamples(SampleEncoding encoding, const uint8_t* in, size_t count, Sample* out) {
  switch (encoding) {
    case SampleEncoding::Unsigned8:
      for (size_t i = 0; i < count; ++i)
        out[i] = (Sample(in[i]) - 128) * 4096;
      break;
    case SampleEncoding::Signed8:
    case SampleEncoding::Signed8Aiff:
      for (size_t i = 0; i < count; ++i)
        out[i] = Sample(int8_t(in[i])) * 4096;
      break;
    case SampleEncoding::Pcm16Le:
      for (size_t i = 0; i < count; ++i)
        out[i] = Sample(int16_t(in[2 * i] | in[2 * i + 1] << 8)) * 16;
      break;
    case SampleEncoding::Pcm16Be:
      for (size_t i = 0; i < count; ++i)
        out[i] = Sample(int16_t(in[2 * i] << 8 | in[2 * i + 1])) * 16;
      break;
    case SampleEncoding::Pcm24Le:
      for (size_t i = 0; i < count; ++i) {
        const uint8_t* p = in + 3 * i;
        out[i] = Sample(uint32_t(p[0]) << 8 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 24) >> 12;
      }
      break;
    case SampleEncoding::Pcm24Be:
      for (size_t i = 0; i < count; ++i) {
        const uint8_t* p = in + 3 * i;
        out[i] = Sample(uint32_t(p[2]) << 8 | uint32_t(p[1]) << 16 | uint32_t(p[0]) << 24) >> 12;
      }
      break;
    case SampleEncoding::Pcm32Le:
      for (size_t i = 0; i < count; ++i)
        out[i] = Sample((int64_t(int32_t(le32(in + 4 * i))) + 2048) >> 12);
      break;
    case SampleEncoding::Pcm32Be:
      for (size_t i = 0; i < count; ++i)
        out[i] = Sample((int64_t(int32_t(be32(in + 4 * i))) + 2048) >> 12);
      break;
    case SampleEncoding::Float32Le:
      for (size_t i = 0; i < count; ++i)
        out[i] = floatToWord(floatFrom(le32(in + 4 * i)), 524288.0);
      break;
    case SampleEncoding::Float32Be:
      for (size_t i = 0; i < count; ++i)
        out[i] = floatToWord(floatFrom(be32(in + 4 * i)), 524272.0);
      break;
    case SampleEncoding::MuLaw:
      for (size_t i = 0; i < count; ++i)
        out[i] = muLawToWord(in[i]);
      break;
    case SampleEncoding::ALaw:
      for (size_t i = 0; i < count; ++i)
        out[i] = aLawToWord(in[i]);
      break;
  }
}

namespace {

// A word as a 16-bit sample: (word + 8) >> 4, saturated. The word is first kept where that
// shift lands within 16 bits, which saturates alike and keeps the loop in 32-bit lanes.
inline int16_t toPcm16(Sample word) {
  return int16_t((std::clamp<int32_t>(word, -524296, 524279) + 8) >> 4);
}

}  // namespace

void encodeSamples(SampleEncoding encoding, const Sample* in, size_t count, uint8_t* out) {
  switch (encoding) {
    case SampleEncoding::Unsigned8:
      for (size_t i = 0; i < count; ++i)
        out[i] = uint8_t(saturate<int8_t>((int64_t{in[i]} + 2048) >> 12) + 128);
      break;
    case SampleEncoding::Signed8:
      for (size_t i = 0; i < count; ++i)
        out[i] = uint8_t(saturate<int8_t>((int64_t{in[i]} + 2048) >> 12));
      break;
    case SampleEncoding::Signed8Aiff:
      for (size_t i = 0; i < count; ++i)
        out[i] = uint8_t(saturate<int8_t>((int64_t{in[i]} + 8) >> 12));
      break;
    case SampleEncoding::Pcm16Le:
      for (size_t i = 0; i < count; ++i) {
        const auto v = uint16_t(toPcm16(in[i]));
        out[2 * i] = uint8_t(v), out[2 * i + 1] = uint8_t(v >> 8);
      }
      break;
    case SampleEncoding::Pcm16Be:
      for (size_t i = 0; i < count; ++i) {
        const auto v = uint16_t(toPcm16(in[i]));
        out[2 * i] = uint8_t(v >> 8), out[2 * i + 1] = uint8_t(v);
      }
      break;
    case SampleEncoding::Pcm24Le:
      for (size_t i = 0; i < count; ++i) {
        const auto v = uint32_t(std::clamp<int64_t>(int64_t{in[i]} * 16, -8388608, 8388607));
        out[3 * i] = uint8_t(v), out[3 * i + 1] = uint8_t(v >> 8),
                out[3 * i + 2] = uint8_t(v >> 16);
      }
      break;
    case SampleEncoding::Pcm32Le:
      for (size_t i = 0; i < count; ++i)
        putLe32(out + 4 * i, uint32_t(saturate<int32_t>(int64_t{in[i]} * 4096)));
      break;
    case SampleEncoding::Float32Le:
      for (size_t i = 0; i < count; ++i)
        putLe32(out + 4 * i, bitsOf(float(in[i] * (1.0 / 524288.0))));
      break;
    case SampleEncoding::Float32Be:
      for (size_t i = 0; i < count; ++i)
        putBe32(out + 4 * i, bitsOf(float(in[i] * (1.0 / 524288.0))));
      break;
    case SampleEncoding::MuLaw:
      for (size_t i = 0; i < count; ++i)
        out[i] = wordToMuLaw(in[i]);
      break;
    case SampleEncoding::ALaw:
      for (size_t i = 0; i < count; ++i)
        out[i] = wordToALaw(in[i]);
      break;
    case SampleEncoding::Pcm24Be:
    case SampleEncoding::Pcm32Be:
      std::memset(out, 0, count * size_t(bytesPerSample(encoding)));  // read-only encodings
      break;
  }
}

}  // namespace quillon
