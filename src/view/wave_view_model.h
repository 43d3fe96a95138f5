#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "document/bookmark.h"
#include "document/clip.h"
#include "platform/notice_poster.h"
#include "view/peak_worker.h"
#include "view/wave_paint_plan.h"

namespace quillon::view {

// The wave view without its window: the visible range and its scale, the peak cache filled by
// its worker, the marks (cursor, selection, drop marker, range box, bookmark flags, pencil) and
// what to repaint when one of them moves. Sizes are device pixels; `scale` (device pixels per
// 96-dpi pixel) enlarges the marks, so at scale 1 every figure is the designed one. Everything
// here runs on the user-interface thread; only the worker reads the document's files.
class WaveViewModel {
 public:
  // The columns the cache holds at least (more on screens wider than that).
  static constexpr int kMinCacheColumns = 2048;

  explicit WaveViewModel(NoticePoster& poster);
  ~WaveViewModel();
  WaveViewModel(const WaveViewModel&) = delete;
  WaveViewModel& operator=(const WaveViewModel&) = delete;

  void setSize(int width, int height, double scale = 1.0);
  int width() const { return width_; }
  int height() const { return height_; }
  double scale() const { return scale_; }

  // Stops the worker, copies the audio's rate, channels and Segments, keeps the display mode
  // (a document that is not stereo shows mode 0) and vertical zoom, forgets the visible range
  // and starts the worker. A source of a failed load shows nothing and takes no requests.
  void attach(const Clip& audio, int mode, bool verticalZoom, bool failedLoad = false);
  // Stops the worker; the view shows nothing until the next attach.
  void detach();
  int64_t length() const { return length_; }
  int32_t sampleRate() const { return rate_; }
  int channels() const { return channels_; }
  // The mode painted: the stored one on a stereo document, else 0.
  int displayMode() const { return channels_ == 2 ? mode_ : 0; }
  bool verticalZoom() const { return verticalZoom_; }

  // Asks for the visible range [first, first + length); a length of 0 means the whole document.
  // `force` (or a length below the width) recomputes the peaks even when the length is the same.
  void setVisibleRange(int64_t first, int64_t length, bool force = false);
  // The first frame of what is painted (set when the worker publishes), the visible length and
  // the scale.
  int64_t firstVisibleFrame() const { return peaks_.firstFrame; }
  int64_t visibleLength() const { return visibleLength_; }
  double samplesPerPixel() const { return samplesPerPixel_; }
  double pixelsPerSample() const { return pixelsPerSample_; }
  int frameToX(int64_t frame) const;
  int64_t xToFrame(int x) const;
  // Whether a column covers more than 256 frames (peaks then come from the peak files).
  bool usesPeakFiles() const { return int64_t{width_} * 256 < visibleLength_; }

  // Marks. Each stores its value and records the rectangles to repaint.
  void setCursor(int64_t frame);
  void setSelection(int64_t start, int64_t end);
  void setDropMarker(int64_t frame);
  void showDropMarker(bool shown);
  void setRangeBox(bool shown, int64_t start = 0, int64_t end = 0);
  // The bookmark flags; the list stays the caller's and must outlive the view or be replaced.
  void setBookmarks(const std::vector<Bookmark>* bookmarks);
  // A flag moved from one frame to another (the list already holds the new frame).
  void bookmarkMoved(int64_t from, int64_t to);
  void setColourScheme(bool classic);
  // Without marks only the waveform is painted (no selection, cursor, markers or flags): the
  // pictures of the command line.
  void setMarksShown(bool shown);
  // The pencil: on while zoomed in far enough in mode 0 or 1; active while the pointer draws,
  // showing `value` (a sample word) in the column of `frame`.
  void setPencilMode(bool on);
  void setPencil(bool active, int64_t frame = 0, int32_t value = 0);

  int64_t cursor() const { return cursor_; }
  int64_t selectionStart() const { return selectionStart_; }
  int64_t selectionEnd() const { return selectionEnd_; }
  bool hasSelection() const { return selectionStart_ < selectionEnd_; }
  bool dropMarkerShown() const { return dropShown_; }
  int64_t dropMarker() const { return dropFrame_; }
  const std::vector<Bookmark>* bookmarks() const { return bookmarks_; }
  bool classic() const { return classic_; }
  bool pencilMode() const { return pencilMode_; }
  bool pencilActive() const { return pencilActive_; }

  // Rectangles to repaint since the last call, in device pixels.
  std::vector<PixelRect> takeInvalidations();
  // Told (on the user-interface thread) whenever new rectangles wait to be taken.
  void setInvalidationListener(std::function<void()> listener) { listener_ = std::move(listener); }

  // The flag box of a bookmark at view x: its left edge, min(width − 18, x).
  int flagLeft(int x) const;
  // Sizes of the marks, scaled.
  int px(int designed) const;

  // What to paint for the update rectangle.
  void buildPaintPlan(const PixelRect& update, WavePaintPlan& plan) const;
  // The peaks being painted (copied from the worker when it publishes).
  const PublishedPeaks& peaks() const { return peaks_; }

  PeakWorker& worker() { return worker_; }

 private:
  void invalidate(const PixelRect& rect);
  void invalidateAll();
  void invalidateMarker(int x);
  void invalidateFlag(int x);
  void onPublished();
  void requestPeaks(bool rescale, bool scrolled);
  int cacheColumns() const;

  PeakWorker worker_;
  std::function<void()> listener_;
  std::vector<PixelRect> invalid_;

  int width_ = 1, height_ = 1;
  double scale_ = 1.0;
  Clip audio_;
  bool attached_ = false, failedLoad_ = false;
  int attachedCache_ = 0;
  int64_t length_ = 0;
  int32_t rate_ = 44100;
  int channels_ = 1;
  int mode_ = 0;
  bool verticalZoom_ = false;

  int64_t requestedFirst_ = -1;
  int64_t visibleLength_ = 0;
  double samplesPerPixel_ = 1.0, pixelsPerSample_ = 1.0;
  PublishedPeaks peaks_;

  int64_t cursor_ = 0, selectionStart_ = 0, selectionEnd_ = 0;
  bool dropShown_ = false;
  int64_t dropFrame_ = 0;
  bool rangeShown_ = false;
  int64_t rangeStart_ = 0, rangeEnd_ = 0;
  const std::vector<Bookmark>* bookmarks_ = nullptr;
  bool classic_ = false;
  bool marksShown_ = true;
  bool pencilMode_ = false, pencilActive_ = false;
  int64_t pencilFrame_ = 0;
  int32_t pencilValue_ = 0;
};

}  // namespace quillon::view
