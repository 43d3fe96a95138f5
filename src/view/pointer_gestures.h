#pragma once

#include <cstdint>

#include "view/wave_view_model.h"

namespace quillon::view {

// A pointer event on the wave view, in view (device) pixels.
struct PointerEvent {
  enum class Type { Press, Move, Release, Cancel };
  Type type = Type::Press;
  int x = 0, y = 0;
  bool shift = false, ctrl = false;
};

// The pointer shape over the view.
enum class HoverShape { Arrow, SizeHorizontal, Hand };

// What a pointer event changed, for the owner to copy into the document.
struct GestureResult {
  // The view's cursor or selection changed.
  bool selectionChanged = false;
  // A bookmark flag is dragged: bookmark `bookmark` is now at `bookmarkFrame`.
  bool bookmarkMoved = false;
  // The drag of that flag ended (with its final frame): the document is modified.
  bool bookmarkDropped = false;
  int bookmark = -1;
  int64_t bookmarkFrame = 0;
  // A dragged selection [dropStart, dropEnd) was let go at `dropFrame`, outside itself.
  bool selectionDropped = false;
  int64_t dropFrame = 0, dropStart = 0, dropEnd = 0;
  // The pencil drew `pencilValue` (a sample word) at `pencilFrame`; `pencilCommitted` when the
  // pointer was let go.
  bool pencilChanged = false, pencilCommitted = false;
  int64_t pencilFrame = 0;
  int32_t pencilValue = 0;
};

// The pointer gestures of the wave view, over abstract events so that they run without a
// window:
// - a tap moves the cursor there and clears the selection; a drag of more than 4 pixels from
//   the cursor selects from the pivot (where the tap was) to the pointer;
// - Shift-tap selects from the pivot to the tap;
// - a tap within 4 pixels of a selection edge grabs that edge (the other edge becomes the pivot);
// - Ctrl-tap inside the selection drags it: the drop marker follows the pointer outside the
//   selection, and letting go there drops it;
// - a tap on a bookmark flag drags the flag (kept within [0, length − 1]);
// - with the pencil on, the pointer draws a sample value in its column.
// Cancel (Escape) undoes the drag in progress.
class PointerGestures {
 public:
  explicit PointerGestures(WaveViewModel& view) : view_(view) {}

  GestureResult handle(const PointerEvent& event);
  HoverShape hoverShape(int x, int y, bool ctrl) const;
  bool dragging() const { return state_ != State::Idle; }

  // Where Shift-taps and drags select from; the owner sets it when a command moves the cursor.
  void setPivot(int64_t frame) { pivot_ = frame; }
  int64_t pivot() const { return pivot_; }

  // The bookmark whose flag is at (x, y), or −1.
  int flagAt(int x, int y) const;
  // A pencil value for a pointer height: ((h/2 − y) × 512 / h) as a sample word.
  int32_t pencilValue(int y) const;

 private:
  enum class State { Idle, Pressed, Selecting, MovingSelection, Pencil, MovingBookmark };

  int64_t frameAt(int x) const;
  int grabDistance() const { return view_.px(4); }
  void select(int64_t cursor, int64_t a, int64_t b, GestureResult& result);
  void restore(GestureResult& result);

  WaveViewModel& view_;
  State state_ = State::Idle;
  int64_t pivot_ = 0;
  int pressCursorX_ = 0;
  // What a cancel restores.
  int64_t savedCursor_ = 0, savedStart_ = 0, savedEnd_ = 0, savedPivot_ = 0;
  int bookmark_ = -1;
  int64_t bookmarkFrom_ = 0;
};

}  // namespace quillon::view
