#include "view/pointer_gestures.h"

#include <algorithm>
#include <cstdlib>

namespace quillon::view {

int64_t PointerGestures::frameAt(int x) const {
  return std::clamp<int64_t>(view_.xToFrame(x), 0, view_.length());
}

int PointerGestures::flagAt(int x, int y) const {
  const std::vector<Bookmark>* bookmarks = view_.bookmarks();
  if (!bookmarks) return -1;
  const int h = view_.height();
  if (y < h - view_.px(14) || y > h) return -1;
  // The last drawn flag is on top.
  for (int i = int(bookmarks->size()) - 1; i >= 0; --i) {
    const int bx = view_.frameToX((*bookmarks)[size_t(i)].position);
    if (bx < 0 || bx > view_.width()) continue;
    const int n = view_.flagLeft(bx);
    if (x >= n && x <= n + view_.px(17)) return i;
  }
  return -1;
}

int32_t PointerGestures::pencilValue(int y) const {
  const int h = view_.height();
  const int64_t v = int64_t(h / 2 - y) * 512 / h;
  return int32_t(v * (view_.verticalZoom() ? 256 : 2048));
}

HoverShape PointerGestures::hoverShape(int x, int y, bool ctrl) const {
  if (flagAt(x, y) >= 0) return HoverShape::Hand;
  if (view_.hasSelection()) {
    const int a = view_.frameToX(view_.selectionStart()), b = view_.frameToX(view_.selectionEnd());
    if (ctrl && x >= a && x <= b) return HoverShape::Hand;
    if (std::abs(x - a) <= grabDistance() || std::abs(x - b) <= grabDistance()) {
      return HoverShape::SizeHorizontal;
    }
  }
  return HoverShape::Arrow;
}

void PointerGestures::select(int64_t cursor, int64_t a, int64_t b, GestureResult& result) {
  view_.setCursor(cursor);
  view_.setSelection(std::min(a, b), std::max(a, b));
  result.selectionChanged = true;
}

void PointerGestures::restore(GestureResult& result) {
  pivot_ = savedPivot_;
  select(savedCursor_, savedStart_, savedEnd_, result);
}

GestureResult PointerGestures::handle(const PointerEvent& event) {
  GestureResult result;
  using Type = PointerEvent::Type;
  switch (event.type) {
    case Type::Press: {
      if (state_ != State::Idle) break;
      const int64_t f = frameAt(event.x);
      savedCursor_ = view_.cursor();
      savedStart_ = view_.selectionStart();
      savedEnd_ = view_.selectionEnd();
      savedPivot_ = pivot_;
      const int a = view_.frameToX(view_.selectionStart()),
                b = view_.frameToX(view_.selectionEnd());
      const bool selection = view_.hasSelection();
      if (event.ctrl && selection && event.x >= a && event.x <= b) {
        state_ = State::MovingSelection;
        break;
      }
      if (view_.pencilMode()) {
        state_ = State::Pencil;
        view_.setPencil(true, f, pencilValue(event.y));
        result.pencilChanged = true;
        result.pencilFrame = f;
        result.pencilValue = pencilValue(event.y);
        break;
      }
      if (const int flag = flagAt(event.x, event.y); flag >= 0) {
        state_ = State::MovingBookmark;
        bookmark_ = flag;
        bookmarkFrom_ = (*view_.bookmarks())[size_t(flag)].position;
        break;
      }
      if (event.shift) {
        select(f, pivot_, f, result);
      } else if (selection && std::abs(event.x - a) <= grabDistance()) {
        pivot_ = view_.selectionEnd();
        select(view_.selectionStart(), view_.selectionStart(), view_.selectionEnd(), result);
      } else if (selection && std::abs(event.x - b) <= grabDistance()) {
        pivot_ = view_.selectionStart();
        select(view_.selectionEnd(), view_.selectionStart(), view_.selectionEnd(), result);
      } else {
        pivot_ = f;
        select(f, f, f, result);
      }
      pressCursorX_ = view_.frameToX(view_.cursor());
      state_ = State::Pressed;
      break;
    }
    case Type::Move:
      switch (state_) {
        case State::Idle:
          break;
        case State::Pressed:
          if (std::abs(event.x - pressCursorX_) <= grabDistance()) break;
          state_ = State::Selecting;
          [[fallthrough]];
        case State::Selecting: {
          const int64_t f = frameAt(event.x);
          select(f, pivot_, f, result);
          break;
        }
        case State::MovingSelection: {
          const int64_t f = frameAt(event.x);
          const bool outside = f < view_.selectionStart() || f > view_.selectionEnd();
          view_.setDropMarker(f);
          view_.showDropMarker(outside);
          break;
        }
        case State::Pencil: {
          const int64_t f = frameAt(event.x);
          view_.setPencil(true, f, pencilValue(event.y));
          result.pencilChanged = true;
          result.pencilFrame = f;
          result.pencilValue = pencilValue(event.y);
          break;
        }
        case State::MovingBookmark:
          result.bookmarkMoved = true;
          result.bookmark = bookmark_;
          result.bookmarkFrame = std::clamp<int64_t>(view_.xToFrame(event.x), 0,
                                                     std::max<int64_t>(view_.length() - 1, 0));
          break;
      }
      break;
    case Type::Release:
      switch (state_) {
        case State::Idle:
        case State::Pressed:
        case State::Selecting:
          break;
        case State::MovingSelection:
          if (view_.dropMarkerShown()) {
            result.selectionDropped = true;
            result.dropFrame = view_.dropMarker();
            result.dropStart = view_.selectionStart();
            result.dropEnd = view_.selectionEnd();
          }
          view_.showDropMarker(false);
          break;
        case State::Pencil:
          result.pencilCommitted = true;
          result.pencilFrame = frameAt(event.x);
          result.pencilValue = pencilValue(event.y);
          view_.setPencil(false);
          break;
        case State::MovingBookmark: {
          result.bookmarkMoved = result.bookmarkDropped = true;
          result.bookmark = bookmark_;
          result.bookmarkFrame = std::clamp<int64_t>(view_.xToFrame(event.x), 0,
                                                     std::max<int64_t>(view_.length() - 1, 0));
          break;
        }
      }
      state_ = State::Idle;
      break;
    case Type::Cancel:
      switch (state_) {
        case State::Idle:
          break;
        case State::Pressed:
        case State::Selecting:
          restore(result);
          break;
        case State::MovingSelection:
          view_.showDropMarker(false);
          break;
        case State::Pencil:
          view_.setPencil(false);
          break;
        case State::MovingBookmark:
          result.bookmarkMoved = true;
          result.bookmark = bookmark_;
          result.bookmarkFrame = bookmarkFrom_;
          break;
      }
      state_ = State::Idle;
      break;
  }
  return result;
}

}  // namespace quillon::view
