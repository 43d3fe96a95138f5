#include "view/peak_columns.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "document/block_format.h"
#include "document/sample_kernels.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quillon::view {

int64_t ColumnScale::start(int64_t column) const {
  const double frame = std::ceil(double(column) * samplesPerPixel - 0.5);
  if (frame <= 0) return 0;
  return frame >= double(length) ? length : int64_t(frame);
}

int64_t ColumnScale::columnCount() const {
  if (length <= 0 || samplesPerPixel <= 0) return 0;
  int64_t k = int64_t(std::floor((double(length) - 0.5) / samplesPerPixel)) + 1;
  k = std::max<int64_t>(k, 1);
  while (k > 1 && start(k - 1) >= length)
    --k;
  while (start(k) < length)
    ++k;
  return k;
}

void entryMaxima(const uint8_t* entries, int64_t count, int stride, uint8_t* out) {
  std::memset(out, 0, size_t(stride));
  const size_t bytes = size_t(count) * size_t(stride);
  size_t i = 0;
  if (16 % stride == 0) {
    alignas(16) uint8_t lanes[16] = {};
#if defined(__SSE2__)
    __m128i a = _mm_setzero_si128(), b = a, c = a, d = a;
    for (; i + 64 <= bytes; i += 64) {
      a = _mm_max_epu8(a, _mm_loadu_si128(reinterpret_cast<const __m128i*>(entries + i)));
      b = _mm_max_epu8(b, _mm_loadu_si128(reinterpret_cast<const __m128i*>(entries + i + 16)));
      c = _mm_max_epu8(c, _mm_loadu_si128(reinterpret_cast<const __m128i*>(entries + i + 32)));
      d = _mm_max_epu8(d, _mm_loadu_si128(reinterpret_cast<const __m128i*>(entries + i + 48)));
    }
    for (; i + 16 <= bytes; i += 16)
      a = _mm_max_epu8(a, _mm_loadu_si128(reinterpret_cast<const __m128i*>(entries + i)));
    _mm_store_si128(reinterpret_cast<__m128i*>(lanes),
                    _mm_max_epu8(_mm_max_epu8(a, b), _mm_max_epu8(c, d)));
#else
    for (; i + 16 <= bytes; i += 16) {
      for (int j = 0; j < 16; ++j)
        lanes[j] = std::max(lanes[j], entries[i + size_t(j)]);
    }
#endif
    // Every 16-byte step starts on an entry, so lane j holds position j mod stride.
    for (int j = 0; j < 16; ++j)
      out[j % stride] = std::max(out[j % stride], lanes[j]);
  }
  for (; i < bytes; ++i)
    out[i % size_t(stride)] = std::max(out[i % size_t(stride)], entries[i]);
}

namespace {

uint8_t toByte(int64_t magnitude, int shift) {
  const int64_t v = magnitude >> shift;
  return uint8_t(v > 255 ? 255 : v);
}

// The two bytes of a column from the extremes of its samples, in the eight lanes of
// accumulateExtremes (lane k holds the samples whose index is k modulo 8).
void columnBytes(const int32_t maxima[8], const int32_t minima[8], const PeakStyle& style,
                 uint8_t& upper, uint8_t& lower) {
  const int s = style.sampleShift();
  if (style.splitsChannels()) {
    int64_t left = 0, right = 0;
    for (int k = 0; k < 8; ++k) {
      const int64_t m = std::max<int64_t>(maxima[k], -int64_t{minima[k]});
      (k % 2 == 0 ? left : right) = std::max((k % 2 == 0 ? left : right), m);
    }
    upper = toByte(left, s);
    lower = toByte(right, s);
    return;
  }
  int64_t positive = 0, negative = 0;
  for (int k = 0; k < 8; ++k) {
    positive = std::max<int64_t>(positive, maxima[k]);
    negative = std::max<int64_t>(negative, -int64_t{minima[k]});
  }
  upper = toByte(positive, s);
  lower = toByte(negative, s);
}

}  // namespace

bool computeSampleColumns(SampleSource& source, const ColumnScale& scale, const PeakStyle& style,
                          int64_t first, int64_t count, uint8_t* upper, uint8_t* lower,
                          const StopCheck& stop, std::vector<Sample>& buffer) {
  constexpr int64_t kReadAhead = 50000;
  const int ch = source.channels();
  if (buffer.size() < size_t(kReadAhead) * ch) buffer.resize(size_t(kReadAhead) * ch);
  int64_t bufferStart = 0, bufferEnd = 0;  // frames held in the buffer
  const int64_t end = scale.start(first + count);
  for (int64_t i = 0; i < count; ++i) {
    if (i % 256 == 0 && i > 0 && stop && stop()) return false;
    int64_t a = scale.start(first + i);
    const int64_t b = scale.start(first + i + 1);
    int32_t maxima[8] = {}, minima[8] = {};
    while (a < b) {
      if (a < bufferStart || a >= bufferEnd) {
        const int32_t frames = int32_t(std::min(kReadAhead, end - a));
        if (source.position() != a) source.seek(int32_t(a));
        // A block that cannot be read shows as silence (the reader fills it with zeros).
        source.read(buffer.data(), frames);
        bufferStart = a;
        bufferEnd = a + frames;
      }
      const int64_t n = std::min(b, bufferEnd) - a;
      accumulateExtremes(buffer.data() + (a - bufferStart) * ch, size_t(n * ch), maxima, minima);
      a += n;
    }
    columnBytes(maxima, minima, style, upper[i], lower[i]);
  }
  return true;
}

bool computeFileColumns(ClipPeakReader& reader, const ColumnScale& scale, const PeakStyle& style,
                        int64_t first, int64_t count, uint8_t* upper, uint8_t* lower,
                        const StopCheck& stop) {
  if (count <= 0) return true;
  std::memset(upper, 0, size_t(count));
  std::memset(lower, 0, size_t(count));
  const int ch = reader.channels();
  const int stride = ch * 2;
  const bool split = style.splitsChannels();
  int64_t i = 0;  // the column being gathered, relative to `first`
  int64_t a = scale.start(first), b = scale.start(first + 1);
  bool stopped = false;
  auto nextColumn = [&] {
    ++i;
    a = b;
    b = scale.start(first + i + 1);
    if (i % 100 == 0 && stop && stop()) stopped = true;
  };
  uint8_t maxima[2 * 255];
  const bool completed =
      reader.forEachSpan(a, scale.start(first + count), [&](const PeakSpan& span) {
        const int32_t factor = span.gain >> style.gainShift();
        while (i < count && a < span.end) {
          const int64_t lo = std::max(a, span.start), hi = std::min(b, span.end);
          if (span.entries && lo < hi) {
            const int64_t g0 = (lo - span.groupStart) / kPeakGroupFrames;
            const int64_t g1 = (hi - 1 - span.groupStart) / kPeakGroupFrames;
            entryMaxima(span.entries + g0 * stride, g1 - g0 + 1, stride, maxima);
            uint8_t up = 0, down = 0;
            if (split) {
              up = std::max(maxima[0], maxima[1]);
              down = std::max(maxima[2], maxima[3]);
            } else {
              for (int c = 0; c < ch; ++c) {
                up = std::max(up, maxima[2 * c]);
                down = std::max(down, maxima[2 * c + 1]);
              }
            }
            upper[i] = std::max(upper[i], peakThroughGain(up, factor));
            lower[i] = std::max(lower[i], peakThroughGain(down, factor));
          }
          if (b > span.end) break;  // the column goes on in the next stretch
          nextColumn();
          if (stopped) return false;
        }
        return true;
      });
  return completed && !stopped;
}

}  // namespace quillon::view
