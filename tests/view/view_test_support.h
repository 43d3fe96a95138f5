#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "document/block_format.h"
#include "document/clip.h"
#include "platform/file.h"
#include "platform/notice_poster.h"
#include "support/temp_environment.h"
#include "view/peak_columns.h"
#include "view/wave_view_model.h"

namespace quillon::testing {

// Waits for the wave view's worker to finish and hands its notices to the view.
inline void settle(view::WaveViewModel& wave, NoticeQueue& notices) {
  ASSERT_TRUE(wave.worker().waitIdle(20000));
  notices.runPending();
}

// Column peaks worked out the long way: every frame of every column from the samples.
struct BrutePeaks {
  std::vector<uint8_t> upper, lower;
};

inline BrutePeaks brutePeaksFromSamples(const std::vector<Sample>& words, int channels,
                                        const view::ColumnScale& scale,
                                        const view::PeakStyle& style, int64_t first,
                                        int64_t count) {
  BrutePeaks out{std::vector<uint8_t>(size_t(count)), std::vector<uint8_t>(size_t(count))};
  const int s = style.verticalZoom ? 8 : 11;
  auto byte = [s](int64_t m) { return uint8_t(std::min<int64_t>(m >> s, 255)); };
  for (int64_t i = 0; i < count; ++i) {
    int64_t maxPositive = 0, maxNegative = 0, left = 0, right = 0;
    for (int64_t f = scale.start(first + i); f < scale.start(first + i + 1); ++f) {
      for (int c = 0; c < channels; ++c) {
        const int64_t v = words[size_t(f * channels + c)];
        maxPositive = std::max(maxPositive, v);
        maxNegative = std::max(maxNegative, -v);
        (c == 0 ? left : right) = std::max(c == 0 ? left : right, v < 0 ? -v : v);
      }
    }
    const bool split = channels == 2 && style.mode != 0;
    out.upper[size_t(i)] = byte(split ? left : maxPositive);
    out.lower[size_t(i)] = byte(split ? right : maxNegative);
  }
  return out;
}

// The same from the peak files: for every Segment overlapping a column, the entries of the
// groups of its block that hold the column's frames, through the Segment's gain.
inline BrutePeaks brutePeaksFromFiles(const Clip& clip, const view::ColumnScale& scale,
                                      const view::PeakStyle& style, int64_t first, int64_t count) {
  BrutePeaks out{std::vector<uint8_t>(size_t(count)), std::vector<uint8_t>(size_t(count))};
  const int ch = clip.channels;
  const bool split = ch == 2 && style.mode != 0;
  const int gainShift = style.verticalZoom ? 13 : 16;
  for (int64_t i = 0; i < count; ++i) {
    const int64_t a = scale.start(first + i), b = scale.start(first + i + 1);
    int64_t segmentStart = 0;
    for (const Segment& segment : clip.segments) {
      const int64_t lo = std::max(a, segmentStart), hi = std::min(b, segmentStart + segment.length);
      segmentStart += segment.length;
      if (lo >= hi || segment.isSilence()) continue;
      std::string grf;
      if (!platform::readWholeFile(BlockStore::instance().peakPath(segment.block()), grf)) continue;
      const int64_t from = segment.offset + (lo - (segmentStart - segment.length));
      const int64_t to = from + (hi - lo);
      int up = 0, down = 0;
      for (int64_t g = from / 256; g <= (to - 1) / 256; ++g) {
        for (int c = 0; c < ch; ++c) {
          const auto at = [&](int k) {
            const size_t index = size_t(g * ch * 2 + c * 2 + k);
            return index < grf.size() ? int(uint8_t(grf[index])) : 0;
          };
          if (split) {
            (c == 0 ? up : down) = std::max({c == 0 ? up : down, at(0), at(1)});
          } else {
            up = std::max(up, at(0));
            down = std::max(down, at(1));
          }
        }
      }
      const int64_t factor = segment.gain >> gainShift;
      out.upper[size_t(i)] =
          std::max(out.upper[size_t(i)], uint8_t(std::min<int64_t>((up * factor) >> 8, 255)));
      out.lower[size_t(i)] =
          std::max(out.lower[size_t(i)], uint8_t(std::min<int64_t>((down * factor) >> 8, 255)));
    }
  }
  return out;
}

}  // namespace quillon::testing
