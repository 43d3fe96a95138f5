#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "document/clip_peak_reader.h"
#include "document/sample_stream.h"

namespace quillon::view {

// How the wave view's columns split a document. Column k, counted from frame 0, covers the
// frames [start(k), start(k + 1)) with start(k) = ceil(k × samplesPerPixel − 0.5), kept within
// [0, length]. Zoomed in (less than one frame per column) some columns hold no frame.
struct ColumnScale {
  double samplesPerPixel = 1.0;
  int64_t length = 0;

  int64_t start(int64_t column) const;
  // The columns that hold frames: [0, columnCount()).
  int64_t columnCount() const;
};

// What the peaks show. Left and right are apart only on a stereo document in display mode 1
// (left up, right down) or 2 (dual); everything else pools all channels (mode 0: positive up,
// negative down). Vertical zoom shows 1/8 of full scale as full height.
struct PeakStyle {
  int mode = 0;
  bool verticalZoom = false;
  int channels = 1;

  bool splitsChannels() const { return channels == 2 && mode != 0; }
  // Sample words to bytes: 255 is full scale (2^19 >> 11), or 1/8 of it.
  int sampleShift() const { return verticalZoom ? 8 : 11; }
  // Segment gains to 8.8 factors for peak file bytes (256 is unity, or 8 times that).
  int gainShift() const { return verticalZoom ? 13 : 16; }
};

// Asked every so many columns; true abandons the computation.
using StopCheck = std::function<bool()>;

// Peaks of the columns [first, first + count) from the samples: per column the largest positive
// sample and the largest negative magnitude over all channels (or the largest magnitude of the
// left and of the right channel), shifted to bytes and clipped at 255. upper[i] and lower[i]
// belong to column first + i. Samples are read ahead in `buffer` (made 50,000 frames long).
// False when `stop` abandoned it (asked every 256 columns).
bool computeSampleColumns(SampleSource& source, const ColumnScale& scale, const PeakStyle& style,
                          int64_t first, int64_t count, uint8_t* upper, uint8_t* lower,
                          const StopCheck& stop, std::vector<Sample>& buffer);

// The same from the blocks' peak files: per column the largest bytes of the 256-frame groups
// that hold its frames (a group only partly inside counts whole), each Segment's seen through
// its gain; silence gives zeros and opens no file. False when `stop` abandoned it (asked every
// 100 columns).
bool computeFileColumns(ClipPeakReader& reader, const ColumnScale& scale, const PeakStyle& style,
                        int64_t first, int64_t count, uint8_t* upper, uint8_t* lower,
                        const StopCheck& stop);

// The per-position maxima of `entries` entries of `stride` bytes each, into out[0 … stride).
void entryMaxima(const uint8_t* entries, int64_t count, int stride, uint8_t* out);

}  // namespace quillon::view
