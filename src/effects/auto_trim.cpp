#include "effects/auto_trim.h"

#include <algorithm>

#include "document/block_format.h"
#include "document/clip_editing.h"
#include "document/clip_peak_reader.h"
#include "effects/decibel_table.h"
#include "effects/effect_messages.h"
#include "effects/gain_math.h"

namespace quillon {

std::vector<uint8_t> collectPeaks(const Clip& clip) {
  const int ch = clip.channels;
  const int64_t groups = clip.length() / kPeakGroupFrames + 1;
  std::vector<uint8_t> table(size_t(groups) * ch * 2, 0);
  ClipPeakReader reader(clip);
  std::vector<uint8_t> entries;
  int64_t f = 0;
  for (size_t i = 0; i < clip.segments.size(); ++i) {
    const int64_t first = f / kPeakGroupFrames;
    f += clip.segments[i].length;
    if (first >= groups) continue;
    const int64_t last = std::min<int64_t>(groups, (f + kPeakGroupFrames - 1) / kPeakGroupFrames);
    if (last <= first) continue;
    // A Segment's entries land at the groups of the document where the Segment starts; a later
    // Segment overwrites a shared group with what it could read.
    entries.resize(size_t(last - first) * ch * 2);
    const int64_t got = reader.readSegmentPeaks(i, last - first, entries.data());
    std::copy_n(entries.begin(), got * ch * 2, table.begin() + ptrdiff_t(first * ch * 2));
  }
  return table;
}

TrimRange findTrimRange(const std::vector<uint8_t>& peaks, int channels, int32_t totalFrames,
                        int thresholdDb) {
  TrimRange range{0, totalFrames};
  const int64_t entries = int64_t(peaks.size()) / 2;
  const int peak = peaks.empty() ? 0 : *std::max_element(peaks.begin(), peaks.end());
  const int64_t amplitude = DecibelTable::instance().amplitude(clampDecibels(thresholdDb));
  const int threshold = int(std::min<int64_t>((peak * amplitude) >> 24, 255));
  auto loud = [&](int64_t entry) {
    return threshold < peaks[size_t(entry) * 2] || threshold < peaks[size_t(entry) * 2 + 1];
  };
  for (int64_t entry = channels; entry < entries; ++entry) {
    if (loud(entry)) {
      range.start = int32_t((entry / channels) * kPeakGroupFrames - kPeakGroupFrames);
      break;
    }
  }
  const int64_t groups = entries / channels;
  for (int64_t entry = (groups - 2) * channels; entry >= 0; --entry) {
    if (loud(entry)) {
      range.end = int32_t((entry / channels + 1) * kPeakGroupFrames);
      break;
    }
  }
  return range;
}

AutoTrimJob::AutoTrimJob(Ref<WaveDocument> document, int thresholdDb)
    : Job("Auto Trim"), document_(std::move(document)), threshold_(thresholdDb) {}

JobResult AutoTrimJob::run() {
  setLine(messages::kAutoTrim, 0);
  setLine(messages::kPleaseWait, 1);
  WaveDocument& document = *document_;
  range_ = findTrimRange(collectPeaks(document.audio), document.audio.channels,
                         document.audio.length(), threshold_);
  deleteFrom(document.audio, range_.end);
  deleteBefore(document.audio, range_.start);
  document.trimMarkers(range_.start, range_.end, range_.start);
  document.cursor = 0;
  return JobResult::Done;
}

}  // namespace quillon
