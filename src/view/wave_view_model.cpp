#include "view/wave_view_model.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace quillon::view {

WaveViewModel::WaveViewModel(NoticePoster& poster) : worker_(poster) {
  worker_.setPublishedListener([this] { onPublished(); });
}

WaveViewModel::~WaveViewModel() {
  worker_.stop();
}

int WaveViewModel::px(int designed) const {
  return scale_ == 1.0 ? designed : int(std::lround(designed * scale_));
}

int WaveViewModel::cacheColumns() const {
  return std::max(kMinCacheColumns, width_);
}

void WaveViewModel::setSize(int width, int height, double scale) {
  width = std::max(width, 1);
  height = std::max(height, 1);
  if (width == width_ && height == height_ && scale == scale_) return;
  width_ = width;
  height_ = height;
  scale_ = scale > 0 ? scale : 1.0;
  if (attached_ && cacheColumns() > attachedCache_) {
    worker_.attach(audio_, PeakStyle{mode_, verticalZoom_, channels_}, cacheColumns());
    attachedCache_ = cacheColumns();
    requestedFirst_ = -1;
  }
  // The scale follows the width: ask again for the same range.
  if (attached_) setVisibleRange(requestedFirst_ < 0 ? 0 : requestedFirst_, visibleLength_, true);
  invalidateAll();
}

void WaveViewModel::attach(const Clip& audio, int mode, bool verticalZoom, bool failedLoad) {
  audio_ = audio;
  length_ = audio.length();
  rate_ = audio.sampleRate;
  channels_ = audio.channels;
  mode_ = std::clamp(mode, 0, 2);
  verticalZoom_ = verticalZoom;
  failedLoad_ = failedLoad;
  visibleLength_ = 0;
  requestedFirst_ = -1;
  samplesPerPixel_ = pixelsPerSample_ = 1.0;
  peaks_.upper.assign(size_t(width_), 0);
  peaks_.lower.assign(size_t(width_), 0);
  peaks_.firstColumn = peaks_.firstFrame = 0;
  attachedCache_ = cacheColumns();
  worker_.attach(audio_, PeakStyle{mode_, verticalZoom_, channels_}, attachedCache_);
  attached_ = true;
  invalidateAll();
}

void WaveViewModel::detach() {
  worker_.detach();
  attached_ = false;
  audio_.clear();
  length_ = 0;
  visibleLength_ = 0;
  std::fill(peaks_.upper.begin(), peaks_.upper.end(), 0);
  std::fill(peaks_.lower.begin(), peaks_.lower.end(), 0);
  invalidateAll();
}

void WaveViewModel::setVisibleRange(int64_t first, int64_t length, bool force) {
  if (!attached_ || failedLoad_) return;
  if (force || length < width_) visibleLength_ = -1;  // forgotten, so that the scale is redone
  if (length <= 0) length = length_;
  bool scrolled = false, rescale = false;
  if (first != requestedFirst_) {
    requestedFirst_ = first;
    scrolled = true;
  }
  if (length != visibleLength_) {
    visibleLength_ = length;
    rescale = true;
    if (length > 0) {
      // In 32-bit floating point, as the view always has.
      samplesPerPixel_ = double(float(length) / float(width_));
      pixelsPerSample_ = 1.0 / samplesPerPixel_;
    } else {
      samplesPerPixel_ = pixelsPerSample_ = 1.0;
    }
  }
  if (visibleLength_ == 0) {
    std::fill(peaks_.upper.begin(), peaks_.upper.end(), 0);
    std::fill(peaks_.lower.begin(), peaks_.lower.end(), 0);
  }
  if (rescale || scrolled) requestPeaks(rescale, scrolled);
}

void WaveViewModel::requestPeaks(bool rescale, bool scrolled) {
  PeakRequest request;
  request.first = requestedFirst_;
  request.length = visibleLength_;
  request.samplesPerPixel = samplesPerPixel_;
  request.pixelsPerSample = pixelsPerSample_;
  request.width = width_;
  request.rescale = rescale;
  request.scrolled = scrolled;
  worker_.request(request);
}

void WaveViewModel::onPublished() {
  worker_.copyPublished(peaks_);
  if (peaks_.upper.size() < size_t(width_)) {
    peaks_.upper.resize(size_t(width_), 0);
    peaks_.lower.resize(size_t(width_), 0);
  }
  invalidateAll();
}

int WaveViewModel::frameToX(int64_t frame) const {
  // The integer part, as a C cast takes it (toward zero).
  const double x = double(frame - peaks_.firstFrame) * pixelsPerSample_ + 0.5;
  if (x >= INT_MAX / 2) return INT_MAX / 2;
  if (x <= INT_MIN / 2) return INT_MIN / 2;
  return int(x);
}

int64_t WaveViewModel::xToFrame(int x) const {
  return peaks_.firstFrame + int64_t(std::ceil(double(x) * samplesPerPixel_ - 0.5));
}

// Repaint rules.

void WaveViewModel::invalidate(const PixelRect& rect) {
  if (rect.empty()) return;
  const bool first = invalid_.empty();
  invalid_.push_back(rect);
  if (first && listener_) listener_();
}

void WaveViewModel::invalidateAll() {
  invalid_.clear();
  invalidate({0, 0, width_, height_});
}

void WaveViewModel::invalidateMarker(int x) {
  const int h = height_;
  invalidate({x - px(5), 0, x + px(5), px(6)});
  invalidate({x - px(5), h - px(6), x + px(5), h});
  invalidate({x - px(1), px(6), x + px(1), h});
}

void WaveViewModel::invalidateFlag(int x) {
  const int h = height_;
  const int n = flagLeft(x);
  invalidate({x - px(7), 0, x + px(7), px(7)});
  invalidate({n, h - px(15), n + px(17), h + 1});
  invalidate({x - px(1), px(6), x + px(1), h});
}

std::vector<PixelRect> WaveViewModel::takeInvalidations() {
  std::vector<PixelRect> taken;
  taken.swap(invalid_);
  return taken;
}

int WaveViewModel::flagLeft(int x) const {
  return std::min(width_ - px(18), x);
}

void WaveViewModel::setCursor(int64_t frame) {
  if (frame == cursor_) return;
  invalidateMarker(frameToX(cursor_));
  cursor_ = frame;
  invalidateMarker(frameToX(cursor_));
}

void WaveViewModel::setSelection(int64_t start, int64_t end) {
  auto band = [this](int64_t from, int64_t to) {
    if (from == to) return;
    const int a = frameToX(from), b = frameToX(to);
    invalidate({std::min(a, b), 0, std::max(a, b) + 1, height_});
  };
  band(selectionStart_, start);
  band(selectionEnd_, end);
  selectionStart_ = start;
  selectionEnd_ = end;
}

void WaveViewModel::setDropMarker(int64_t frame) {
  if (frame == dropFrame_) return;
  if (dropShown_) invalidateMarker(frameToX(dropFrame_));
  dropFrame_ = frame;
  if (dropShown_) invalidateMarker(frameToX(dropFrame_));
}

void WaveViewModel::showDropMarker(bool shown) {
  if (shown == dropShown_) return;
  dropShown_ = shown;
  invalidateMarker(frameToX(dropFrame_));
}

void WaveViewModel::setRangeBox(bool shown, int64_t start, int64_t end) {
  auto box = [this](int64_t from, int64_t to) {
    const int a = frameToX(from), b = frameToX(to);
    invalidate({a - 1, 0, b + 1, height_});
  };
  if (rangeShown_) box(rangeStart_, rangeEnd_);
  rangeShown_ = shown;
  rangeStart_ = start;
  rangeEnd_ = end;
  if (rangeShown_) box(rangeStart_, rangeEnd_);
}

void WaveViewModel::setBookmarks(const std::vector<Bookmark>* bookmarks) {
  bookmarks_ = bookmarks;
  invalidateAll();
}

void WaveViewModel::bookmarkMoved(int64_t from, int64_t to) {
  invalidateFlag(frameToX(from));
  invalidateFlag(frameToX(to));
}

void WaveViewModel::setColourScheme(bool classic) {
  classic_ = classic;
  invalidateAll();
}

void WaveViewModel::setMarksShown(bool shown) {
  marksShown_ = shown;
  invalidateAll();
}

void WaveViewModel::setPencilMode(bool on) {
  if (on == pencilMode_) return;
  pencilMode_ = on;
  if (!on) setPencil(false);
  invalidateMarker(frameToX(cursor_));
}

void WaveViewModel::setPencil(bool active, int64_t frame, int32_t value) {
  if (pencilActive_) invalidateMarker(frameToX(pencilFrame_));
  pencilActive_ = active && pencilMode_;
  pencilFrame_ = frame;
  pencilValue_ = value;
  if (pencilActive_) invalidateMarker(frameToX(pencilFrame_));
}

// Painting.

void WaveViewModel::buildPaintPlan(const PixelRect& update, WavePaintPlan& plan) const {
  using Kind = PaintOp::Kind;
  plan.clear();
  const int w = width_, h = height_, t = h / 2;
  plan.width = w;
  plan.height = h;
  plan.classic = classic_;
  plan.bookmarkFontPixels = px(12);
  const int left = std::max(update.left, 0), right = std::min(update.right, w);
  if (left >= right) return;

  plan.add(Kind::Background, PaintRole::Count, {{left, 0}, {right, h}});

  // An empty document shows no marks: only the background, the centre line and the frame.
  const bool marks = marksShown_ && length_ > 0;
  const bool selection = marks && hasSelection();
  const int selectionX0 = frameToX(selectionStart_), selectionX1 = frameToX(selectionEnd_);
  if (selection && selectionX1 > selectionX0 + 1) {
    plan.add(Kind::FillRect, PaintRole::SelectionBrush,
             {{std::max(selectionX0 + 1, left), px(1)}, {std::min(selectionX1, right), h}});
  }

  // The waveform: four points per column, one polyline per run of columns of one colour (two in
  // dual mode, one per lane).
  const bool dual = displayMode() == 2;
  const int laneTop = t - (h >> 2), laneBottom = t + (h >> 2);
  const int shift = verticalZoom_ ? 8 : 11;
  const bool pencil = marks && pencilActive_;
  const int pencilX = pencil ? frameToX(pencilFrame_) : INT_MIN;
  const int64_t columns =
      std::min<int64_t>(ColumnScale{samplesPerPixel_, length_}.columnCount() - peaks_.firstColumn,
                        int64_t(peaks_.upper.size()));
  const int waveRight = int(std::clamp<int64_t>(columns, 0, right));
  int x = left;
  while (x < waveRight) {
    if (x == pencilX) {
      ++x;
      continue;
    }
    const bool inside = selection && x > selectionX0 && x < selectionX1;
    const PaintRole pen = inside ? PaintRole::SelectedWavePen : PaintRole::WavePen;
    int end = x;
    while (end < waveRight && end != pencilX &&
           (selection && end > selectionX0 && end < selectionX1) == inside) {
      ++end;
    }
    for (int lane = 0; lane < (dual ? 2 : 1); ++lane) {
      const uint32_t first = uint32_t(plan.points.size());
      for (int c = x; c < end; ++c) {
        const int upper = peaks_.upper[size_t(c)], lower = peaks_.lower[size_t(c)];
        int top, bottom, base;
        if (dual) {
          base = lane == 0 ? laneTop : laneBottom;
          const int a = (t * (lane == 0 ? upper : lower)) >> 9;
          top = base - a;
          bottom = base + a;
        } else {
          base = t;
          top = t - ((h * upper) >> 9);
          bottom = t + ((h * lower) >> 9);
        }
        plan.points.push_back({c, top});
        plan.points.push_back({c, bottom});
        plan.points.push_back({c, base});
        plan.points.push_back({c + 1, base});
      }
      plan.ops.push_back(
          {Kind::Polyline, pen, PaintRole::Count, first, uint32_t(plan.points.size()) - first, 0});
    }
    x = end;
  }
  if (pencil && pencilX >= left && pencilX < right) {
    const int y = t - ((h * (pencilValue_ >> shift)) >> 9);
    plan.add(Kind::Line, PaintRole::PencilPen, {{pencilX, t}, {pencilX, y}});
  }

  // Centre lines.
  if (dual) {
    plan.add(Kind::Line, PaintRole::CentrePen, {{left, laneTop}, {right - 1, laneTop}});
    plan.add(Kind::Line, PaintRole::CentrePen, {{left, laneBottom}, {right - 1, laneBottom}});
  } else {
    plan.add(Kind::Line, PaintRole::CentrePen, {{left, t}, {right - 1, t}});
  }

  if (marks && rangeShown_) {
    const int a = frameToX(rangeStart_), b = frameToX(rangeEnd_) - 1;
    plan.add(Kind::Line, PaintRole::RangeBoxPen, {{a, 1}, {b, 1}});
    plan.add(Kind::Line, PaintRole::RangeBoxPen, {{a, h - 1}, {b, h - 1}});
    plan.add(Kind::Line, PaintRole::RangeBoxPen, {{a, 0}, {a, h - 1}});
    plan.add(Kind::Line, PaintRole::RangeBoxPen, {{b, 0}, {b, h - 1}});
  }

  // The cursor and the drop marker: a line with a triangle at each end.
  auto marker = [&](int mx, PaintRole pen, PaintRole brush, bool line) {
    if (line) plan.add(Kind::Line, pen, {{mx, px(6)}, {mx, h - px(6)}});
    plan.add(Kind::Polygon, brush, {{mx, px(6)}, {mx - px(4), px(1)}, {mx + px(4), px(1)}}, pen);
    plan.add(Kind::Polygon, brush, {{mx, h - px(6)}, {mx - px(4), h}, {mx + px(4), h}}, pen);
  };
  int cursorX = frameToX(cursor_);
  if (cursorX == w / 2 + 1) cursorX = w / 2;
  if (marks) marker(cursorX, PaintRole::CursorPen, PaintRole::CursorBrush, !pencilMode_);
  if (marks && dropShown_) {
    marker(frameToX(dropFrame_), PaintRole::DropMarkerPen, PaintRole::DropMarkerBrush, true);
  }

  if (marks && bookmarks_) {
    for (const Bookmark& bookmark : *bookmarks_) {
      const int bx = frameToX(bookmark.position);
      if (bx < 0 || bx > w) continue;
      const int n = flagLeft(bx);
      plan.add(Kind::Line, PaintRole::BookmarkLinePen, {{bx, px(6)}, {bx, h - px(6)}});
      plan.add(Kind::FillRect, PaintRole::BookmarkBrush, {{n, h - px(14)}, {n + px(17), h}});
      plan.add(Kind::Polyline, PaintRole::BookmarkOutlinePen,
               {{n, h - px(14)}, {n + px(16), h - px(14)}, {n + px(16), h - 1}, {n, h - 1}});
      plan.add(Kind::Polygon, PaintRole::BookmarkBrush,
               {{bx, px(6)}, {bx - px(4), 0}, {bx + px(4), 0}}, PaintRole::BookmarkLinePen);
      plan.add(Kind::Number, PaintRole::BookmarkText, {{n + px(3), h - px(12)}}, PaintRole::Count,
               bookmark.displayNumber);
    }
  }

  if (update.top <= 0) plan.add(Kind::Line, PaintRole::FramePen, {{left, 0}, {right - 1, 0}});
  if (update.bottom >= h) {
    plan.add(Kind::Line, PaintRole::FramePen, {{left, h - 1}, {right - 1, h - 1}});
  }
}

}  // namespace quillon::view
