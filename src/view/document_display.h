#pragma once

#include <cstdint>
#include <optional>

#include "document/wave_document.h"
#include "view/bookmark_edit.h"
#include "view/pointer_gestures.h"
#include "view/time_line_model.h"
#include "view/time_texts.h"
#include "view/wave_view_model.h"

namespace quillon::view {

// The command ids of the display's zoom commands, as the command table numbers them.
namespace zoom_command {
inline constexpr int kZoomIn = 7003;
inline constexpr int kZoomOut = 7004;
inline constexpr int kZoomFull = 7006;
inline constexpr int kZoomToSelection = 7007;
inline constexpr int kVerticalZoom = 2041;
}  // namespace zoom_command

// What the display tells the window that holds it.
class DocumentDisplayListener {
 public:
  virtual ~DocumentDisplayListener() = default;
  // The user changed the selection, the cursor or a bookmark: the document changed under the
  // window (enable states and the caption may follow).
  virtual void documentTouched() {}
  // While playing, a cursor move through the ruler seeks the player instead: true when it did.
  virtual bool seekIfPlaying(int64_t frame) {
    (void)frame;
    return false;
  }
  // A dragged selection [start, end) was dropped at `frame`.
  virtual void selectionDropped(int64_t start, int64_t end, int64_t frame) {
    (void)start, (void)end, (void)frame;
  }
  // The pencil drew `value` at `frame` and was let go.
  virtual void pencilCommitted(int64_t frame, int32_t value) { (void)frame, (void)value; }
};

// One document's display kept in step with its WaveDocument: the main wave view, the time line
// panel and the status fields. The document holds the selection, cursor and visible range; after
// a change in one part the display copies it into the document and then into the other parts.
// Everything runs on the user-interface thread.
class DocumentDisplay : private TimeLineListener {
 public:
  DocumentDisplay(WaveViewModel& wave, TimeLineModel& timeLine);
  ~DocumentDisplay() override;

  void setListener(DocumentDisplayListener* listener) { listener_ = listener; }

  // Shows a document: the whole of it, in the time unit of the document window.
  void setDocument(Ref<WaveDocument> document);
  WaveDocument* document() const { return document_.get(); }

  // After an edit, or a change of display mode or vertical zoom: attaches the wave view again
  // (when the audio, the mode or the zoom changed), clips the document's visible range to its
  // length (the whole document when it is empty) and brings every part up to date.
  void reattach();
  // What DocumentView::refresh asks: reattach when `full`, else sync.
  void refresh(bool full) { full ? reattach() : sync(); }
  // Shows the whole document.
  void showWholeWave();
  // Brings the marks, the time line and the status fields up to date with the document.
  void sync();
  // After a command moved the document's cursor: keeps it visible, then centres the view on it.
  void showCursor();
  // The player's position, shown as the cursor while playing (keeping it visible unless the user
  // is dragging); nullopt shows the document's cursor again.
  void setPlayPosition(std::optional<int64_t> frame);

  // The zoom commands (ids in zoom_command) and whether each is enabled.
  void zoom(int command);
  bool zoomEnabled(int command) const;
  // One step of Step Left/Right: one column of the wave view, in frames.
  int32_t framesPerStep() const;
  // Shows [a, b) of the document: clipped to it, the pencil off when a frame gets fewer than
  // 4 columns; the document keeps the range.
  void setVisibleRange(int64_t a, int64_t b);

  // The wheel over the wave view: `delta` (120 a notch, positive inwards) zooms around `frame`;
  // scrolling moves the visible range by columns of the wave view.
  void wheelZoom(int delta, int64_t frame);
  void scrollColumns(double columns);
  // Vertical zoom on or off for this document (the command stores the setting too).
  void toggleVerticalZoom();

  // A pointer event on the wave view.
  GestureResult pointer(const PointerEvent& event);
  HoverShape hoverShape(int x, int y, bool ctrl) const { return gestures_.hoverShape(x, y, ctrl); }
  PointerGestures& gestures() { return gestures_; }

  // The bookmark commands of the ruler's context menu.
  bool canAddBookmark() const;
  void addBookmark(int64_t frame, const BookmarkFields& fields);
  void editBookmark(int index, const BookmarkFields& fields);
  void removeBookmark(int index);

  const StatusTexts& status() const { return status_; }
  // The user changed the selection since the document was shown.
  bool touched() const { return touched_; }

 private:
  // TimeLineListener.
  void rangeChanged() override;
  void cursorKeptInView() override;
  void cursorMoved(int64_t frame) override;
  void bookmarkPicked(int index, int xOffset) override;

  void updateStatus();
  void updateTimeLine();
  void showRangeOf(int64_t start, int64_t end);
  void bookmarksChanged();
  int64_t shownCursor() const;

  WaveViewModel& wave_;
  TimeLineModel& timeLine_;
  PointerGestures gestures_;
  DocumentDisplayListener* listener_ = nullptr;
  Ref<WaveDocument> document_;
  StatusTexts status_ = emptyStatusTexts();
  std::optional<int64_t> playPosition_;
  bool touched_ = false;
  // What the wave view was attached to last.
  bool attached_ = false;
  Clip attachedAudio_;
  int attachedMode_ = 0;
  bool attachedZoom_ = false;
};

}  // namespace quillon::view
