#include "view/wave_strip_model.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace quillon::view {
namespace {

constexpr int64_t kChunkFrames = 8192;
constexpr Rgb kStripWave{102, 255, 102}, kStripBackground{0, 0, 0};
constexpr Rgb kSelectionWave{0, 128, 0}, kSelectionBackground{255, 255, 189};
constexpr Rgb kSelectionStart{255, 210, 33};

}  // namespace

WaveStripModel::WaveStripModel(NoticePoster& poster) : poster_(poster) {
  thread_ = std::thread(&WaveStripModel::run, this);
}

WaveStripModel::~WaveStripModel() {
  {
    std::lock_guard lock(lock_);
    stop_ = true;
  }
  change_.notify_all();
  thread_.join();
  alive_.reset();
}

void WaveStripModel::changed() {
  {
    std::lock_guard lock(lock_);
    pending_ = true;
  }
  change_.notify_all();
}

void WaveStripModel::setSize(int clientWidth, int clientHeight) {
  const int columns = std::clamp(clientWidth - 2, 1, kMaxColumns);
  const int height = std::max(clientHeight - 1, 1);
  if (columns == columns_ && height == height_) return;
  {
    std::lock_guard lock(lock_);
    columns_ = columns;
    height_ = height;
  }
  invalidate({0, 0, columns_ + 2, height_ + 1});
  changed();
}

void WaveStripModel::setSource(Ref<SampleSource> source, int64_t totalLength) {
  {
    std::lock_guard lock(lock_);
    source_ = std::move(source);
    ++sourceGeneration_;
    total_ = std::max<int64_t>(totalLength, 0);
  }
  invalidate({0, 0, columns_ + 2, height_ + 1});
  changed();
}

void WaveStripModel::setTotalLength(int64_t totalLength) {
  if (totalLength == total_) return;
  {
    std::lock_guard lock(lock_);
    total_ = std::max<int64_t>(totalLength, 0);
  }
  changed();
}

void WaveStripModel::setVisibleLength(int64_t frames) {
  frames = std::max<int64_t>(frames, 0);
  if (frames == visible_) return;
  {
    std::lock_guard lock(lock_);
    visible_ = frames;
  }
  invalidate({0, 0, columns_ + 2, height_ + 1});
  changed();
}

void WaveStripModel::setViewStart(int64_t frame) {
  if (frame == viewStart_) return;
  {
    std::lock_guard lock(lock_);
    viewStart_ = frame;
  }
  invalidate({0, 0, columns_ + 2, height_ + 1});
  changed();
}

void WaveStripModel::setSelection(int64_t start, int64_t length) {
  selectionStart_ = start;
  selectionLength_ = length;
  invalidate({0, 0, columns_ + 2, height_ + 1});
}

void WaveStripModel::setEnabled(bool enabled) {
  enabled_ = enabled;
  invalidate({0, 0, columns_ + 2, height_ + 1});
}

double WaveStripModel::pixelsPerFrame() const {
  const int64_t span = visible_ > 0 ? visible_ : total_;
  return span > 0 ? double(std::max(columns_, 8)) / double(span) : 1.0;
}

int64_t WaveStripModel::scrollOffset() const {
  return int64_t(double(viewStart_) * pixelsPerFrame());
}

int64_t WaveStripModel::frameAt(int x) const {
  return int64_t(double(x + scrollOffset()) / pixelsPerFrame());
}

int64_t WaveStripModel::tap(int x) {
  setSelection(frameAt(x), 0);
  return selectionStart_;
}

std::vector<uint8_t> WaveStripModel::columnBytes() const {
  std::lock_guard lock(lock_);
  return bytes_;
}

bool WaveStripModel::waitIdle(int milliseconds) const {
  std::unique_lock lock(lock_);
  return change_.wait_for(lock, std::chrono::milliseconds(milliseconds),
                          [this] { return idle_ && !pending_; });
}

void WaveStripModel::invalidate(const PixelRect& rect) {
  if (rect.empty()) return;
  const bool first = invalid_.empty();
  invalid_.push_back(rect);
  if (first && listener_) listener_();
}

std::vector<PixelRect> WaveStripModel::takeInvalidations() {
  std::vector<PixelRect> taken;
  taken.swap(invalid_);
  return taken;
}

uint8_t WaveStripModel::columnPeak(SampleSource& source, int64_t column, double ppf, int64_t total,
                                   std::vector<Sample>& buffer) {
  if (column < 0) return 0;
  int64_t a = int64_t(double(column) / ppf);
  int64_t b = std::max(int64_t(double(column + 1) / ppf), a + 1);
  b = std::min(b, total);
  const int ch = source.channels();
  int64_t peak = 0;
  while (a < b) {
    const int32_t n = int32_t(std::min(b - a, kChunkFrames));
    if (buffer.size() < size_t(n) * ch) buffer.resize(size_t(n) * ch);
    if (source.position() != a) source.seek(int32_t(a));
    source.read(buffer.data(), n);
    for (size_t i = 0; i < size_t(n) * ch; ++i)
      peak = std::max<int64_t>(peak, std::llabs(int64_t{buffer[i]}));
    a += n;
  }
  return peak > 261120 ? 255 : uint8_t(peak >> 10);
}

void WaveStripModel::run() {
  Ref<SampleSource> source;
  uint64_t generation = 0;
  int64_t total = -1, span = -1, offset = 0;
  int columns = 0;
  std::vector<uint8_t> bytes;
  std::vector<Sample> buffer;
  for (;;) {
    int64_t newTotal, newStart, newSpan;
    int newColumns;
    {
      std::unique_lock lock(lock_);
      idle_ = true;
      change_.notify_all();
      change_.wait(lock, [this] { return stop_ || pending_; });
      if (stop_) return;
      pending_ = false;
      idle_ = false;
      if (sourceGeneration_ != generation) {
        source = source_;
        generation = sourceGeneration_;
        total = -1;  // a new source: everything again
      }
      newTotal = total_;
      newSpan = visible_ > 0 ? visible_ : total_;
      newColumns = columns_;
      newStart = viewStart_;
    }
    if (!source) continue;
    const double ppf = newSpan > 0 ? double(std::max(newColumns, 8)) / double(newSpan) : 1.0;
    const int64_t newOffset = int64_t(double(newStart) * ppf);
    int first = 0, last = newColumns - 1;  // the columns to compute
    if (newTotal == total && newSpan == span && newColumns == columns) {
      const int64_t d = newOffset - offset;
      if (d == 0) continue;
      if (std::abs(d) < columns) {
        const size_t shift = size_t(std::abs(d));
        if (d > 0) {
          std::memmove(bytes.data(), bytes.data() + shift, bytes.size() - shift);
          first = int(columns - d);
        } else {
          std::memmove(bytes.data() + shift, bytes.data(), bytes.size() - shift);
          last = int(-d - 1);
        }
      }
    } else {
      bytes.assign(size_t(newColumns), 0);
    }
    total = newTotal;
    span = newSpan;
    columns = newColumns;
    offset = newOffset;
    for (int x = first; x <= last; ++x) {
      bytes[size_t(x)] = total > 0 ? columnPeak(*source, offset + x, ppf, total, buffer) : 0;
    }
    {
      std::lock_guard lock(lock_);
      bytes_ = bytes;
    }
    poster_.post([this, token = token_, first, last] {
      if (!token.lock()) return;
      invalidate({first + 1, 1, last + 2, height_ + 1});
    });
  }
}

WaveStripModel::Area WaveStripModel::areaOf(int64_t frame) const {
  if (frame < 0 || frame >= total_) return Area::Outside;
  if (frame >= selectionStart_ && frame < selectionStart_ + selectionLength_) {
    return Area::Selection;
  }
  return Area::Inside;
}

void WaveStripModel::buildColumns(std::vector<Column>& out, Rgb outsideWave,
                                  Rgb outsideBackground) const {
  out.clear();
  const std::vector<uint8_t> bytes = columnBytes();
  const int h = height_, mid = h / 2;
  const int64_t startColumn = int64_t(double(selectionStart_) * pixelsPerFrame()) - scrollOffset();
  for (int x = 0; x < columns_; ++x) {
    const int byte = size_t(x) < bytes.size() ? bytes[size_t(x)] : 0;
    const int a = (byte * h) >> 9;
    Column column{x, mid - a, mid + a + 1, kStripWave, kStripBackground, x == startColumn};
    switch (areaOf(frameAt(x))) {
      case Area::Outside:
        column.wave = outsideWave;
        column.background = outsideBackground;
        break;
      case Area::Selection:
        column.wave = kSelectionWave;
        column.background = kSelectionBackground;
        break;
      case Area::Inside:
        break;
    }
    if (column.selectionStart) column.wave = kSelectionStart;
    out.push_back(column);
  }
}

}  // namespace quillon::view
