#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "document/sample_stream.h"
#include "platform/notice_poster.h"
#include "view/colour_scheme.h"
#include "view/wave_paint_plan.h"

namespace quillon::view {

// The dialog wave strip of the transport dialogs: one peak byte per column of the whole audio
// (magnitudes above 261,120 give 255, others magnitude >> 10), the selection and its start, in
// a sunken frame. Its worker reads the source it is given (and nothing else), scrolls or rescales
// the column array when the view start or the length change, and announces the changed columns.
// Sizes are pixels of the strip's client area.
class WaveStripModel {
 public:
  static constexpr int kMaxColumns = 2048;

  explicit WaveStripModel(NoticePoster& poster);
  ~WaveStripModel();
  WaveStripModel(const WaveStripModel&) = delete;
  WaveStripModel& operator=(const WaveStripModel&) = delete;

  // The client size: columns = width − 2 (at least 1, at most 2,048), height = height − 1.
  void setSize(int clientWidth, int clientHeight);
  int columns() const { return columns_; }
  int height() const { return height_; }

  // The audio: a source that only the strip reads, and its length (it may grow while recording).
  void setSource(Ref<SampleSource> source, int64_t totalLength);
  void setTotalLength(int64_t totalLength);
  // The frames the columns cover, from the view start on (0: the whole audio). The transport
  // dialogs show two seconds around the position.
  void setVisibleLength(int64_t frames);
  void setViewStart(int64_t frame);
  void setSelection(int64_t start, int64_t length);
  void setEnabled(bool enabled);
  bool enabled() const { return enabled_; }

  double pixelsPerFrame() const;
  int64_t scrollOffset() const;
  // The frame under strip column x.
  int64_t frameAt(int x) const;
  // A tap at x: the selection becomes that frame with length 0; answers the frame.
  int64_t tap(int x);
  int64_t selectionStart() const { return selectionStart_; }
  int64_t selectionLength() const { return selectionLength_; }

  // The columns computed last.
  std::vector<uint8_t> columnBytes() const;
  bool waitIdle(int milliseconds) const;

  // One painted column: drawn at x + 1 from the top to waveTop in `background`, on to waveBottom
  // (exclusive) in `wave`, on to the bottom in `background`; the selection start's column is a
  // full-height line in `wave`.
  struct Column {
    int x;
    int waveTop, waveBottom;
    Rgb wave, background;
    bool selectionStart;
  };
  enum class Area { Outside, Selection, Inside };
  // `outside` are the system's grey-text and button-face colours (wave, background).
  void buildColumns(std::vector<Column>& out, Rgb outsideWave, Rgb outsideBackground) const;
  Area areaOf(int64_t frame) const;

  std::vector<PixelRect> takeInvalidations();
  void setInvalidationListener(std::function<void()> listener) { listener_ = std::move(listener); }

 private:
  void run();
  void invalidate(const PixelRect& rect);
  void changed();
  uint8_t columnPeak(SampleSource& source, int64_t column, double ppf, int64_t total,
                     std::vector<Sample>& buffer);

  NoticePoster& poster_;
  std::function<void()> listener_;
  std::vector<PixelRect> invalid_;
  int columns_ = 1, height_ = 1;
  int64_t viewStart_ = 0, total_ = 0, visible_ = 0;
  int64_t selectionStart_ = 0, selectionLength_ = 0;
  bool enabled_ = true;

  // Shared with the worker under the lock.
  mutable std::mutex lock_;
  mutable std::condition_variable change_;
  Ref<SampleSource> source_;
  uint64_t sourceGeneration_ = 0;
  bool pending_ = false, stop_ = false, idle_ = true;
  std::vector<uint8_t> bytes_;
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
  const std::weak_ptr<int> token_ = alive_;
  std::thread thread_;
};

}  // namespace quillon::view
