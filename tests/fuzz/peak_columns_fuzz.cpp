// A wave view's columns from a peak file of any content (short, empty, garbage) seen through
// Segments of any offsets, lengths and gains, at any scale. The first 16 bytes lay out the
// Segments and the scale, the rest is the block's peak file. Columns computed in one pass must
// equal the same columns computed in two.
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "document/block_format.h"
#include "document/clip_peak_reader.h"
#include "fuzz_file.h"
#include "platform/xdg_dirs.h"
#include "view/peak_columns.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace quillon;
  if (size < 16) return 0;
  static const bool folder = [] {
    const char* dir = std::getenv("TMPDIR");
    const std::string path =
        std::string(dir ? dir : "/tmp") + "/quillon-fuzz-blocks-" + std::to_string(::getpid());
    platform::makeFolders(path);
    BlockStore::instance().setFolder(path);
    return true;
  }();
  (void)folder;
  const BlockId block = BlockStore::instance().allocate();
  {
    platform::File peaks;
    peaks.open(BlockStore::instance().peakPath(block), platform::File::Mode::Create);
    peaks.write(data + 16, size - 16);
  }
  Clip clip;
  clip.channels = uint8_t(1 + (data[0] & 1));
  Segment first = Segment::adopt(block, 0);
  for (int i = 0; i < 4; ++i) {
    const uint8_t* d = data + 1 + i * 3;
    Segment s = i % 2 == 1 && (d[0] & 1) ? Segment::silence(0) : first;
    s.length = (d[0] | d[1] << 8) * 7;
    s.offset = d[2] * 97;
    s.gain = int32_t(d[1]) << 18;
    clip.segments.push_back(s);
  }
  const double spp = 257 + (data[13] | data[14] << 8) * 3.7;
  const view::ColumnScale scale{spp, clip.length()};
  const view::PeakStyle style{data[15] % 3, bool(data[15] & 4), clip.channels};
  const int64_t count = std::min<int64_t>(scale.columnCount(), 4096);
  std::vector<uint8_t> upper(static_cast<size_t>(count)), lower(upper), upper2(upper),
      lower2(upper);
  ClipPeakReader reader(clip);
  view::computeFileColumns(reader, scale, style, 0, count, upper.data(), lower.data(), nullptr);
  const int64_t half = count / 2;
  ClipPeakReader again(clip);
  view::computeFileColumns(again, scale, style, 0, half, upper2.data(), lower2.data(), nullptr);
  view::computeFileColumns(again, scale, style, half, count - half, upper2.data() + half,
                           lower2.data() + half, nullptr);
  if (upper != upper2 || lower != lower2) std::abort();
  return 0;
}
