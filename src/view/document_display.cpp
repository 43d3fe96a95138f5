#include "view/document_display.h"

#include <algorithm>
#include <cmath>

namespace quillon::view {

DocumentDisplay::DocumentDisplay(WaveViewModel& wave, TimeLineModel& timeLine)
    : wave_(wave), timeLine_(timeLine), gestures_(wave) {
  timeLine_.setListener(this);
}

DocumentDisplay::~DocumentDisplay() {
  timeLine_.setListener(nullptr);
  wave_.setBookmarks(nullptr);
}

void DocumentDisplay::setDocument(Ref<WaveDocument> document) {
  document_ = std::move(document);
  touched_ = false;
  attached_ = false;
  attachedAudio_.clear();
  playPosition_.reset();
  timeLine_.setUnit(TimeUnit::Time);
  if (!document_) {
    wave_.setBookmarks(nullptr);
    wave_.detach();
    status_ = emptyStatusTexts();
    return;
  }
  document_->viewStart = 0;
  document_->viewEnd = document_->audio.length();
  gestures_.setPivot(document_->cursor);
  reattach();
}

namespace {

bool sameAudio(const Clip& a, const Clip& b) {
  if (a.sampleRate != b.sampleRate || a.channels != b.channels ||
      a.segments.size() != b.segments.size()) {
    return false;
  }
  for (size_t i = 0; i < a.segments.size(); ++i) {
    const Segment &x = a.segments[i], &y = b.segments[i];
    if (x.block() != y.block() || x.length != y.length || x.gain != y.gain ||
        x.offset != y.offset) {
      return false;
    }
  }
  return true;
}

}  // namespace

void DocumentDisplay::reattach() {
  if (!document_) return;
  WaveDocument& d = *document_;
  if (!attached_ || !sameAudio(d.audio, attachedAudio_) || d.waveFormMode != attachedMode_ ||
      d.verticalZoom != attachedZoom_) {
    wave_.attach(d.audio, d.waveFormMode, d.verticalZoom, d.loadFailed);
    attachedAudio_ = d.audio;
    attachedMode_ = d.waveFormMode;
    attachedZoom_ = d.verticalZoom;
    attached_ = true;
  }
  wave_.setBookmarks(&d.markers);
  const int64_t length = d.audio.length();
  int64_t start = std::clamp<int64_t>(d.viewStart, 0, length);
  int64_t end = std::clamp<int64_t>(d.viewEnd, 0, length);
  if (end <= start) {
    start = 0;
    end = length;
  }
  showRangeOf(start, end);
  sync();
}

void DocumentDisplay::showWholeWave() {
  if (!document_) return;
  reattach();
  setVisibleRange(0, document_->audio.length());
  sync();
}

int64_t DocumentDisplay::shownCursor() const {
  return playPosition_ ? *playPosition_ : document_->cursor;
}

void DocumentDisplay::sync() {
  if (!document_) return;
  const WaveDocument& d = *document_;
  wave_.setCursor(shownCursor());
  if (d.hasSelection()) {
    wave_.setSelection(d.selectionStart, d.selectionEnd);
  } else {
    wave_.setSelection(d.cursor, d.cursor);
  }
  if (d.viewStart != timeLine_.visibleStart() || d.viewEnd != timeLine_.visibleEnd()) {
    showRangeOf(d.viewStart, d.viewEnd);
  }
  updateTimeLine();
  updateStatus();
}

void DocumentDisplay::updateTimeLine() {
  const WaveDocument& d = *document_;
  timeLine_.setTotal(d.audio.length());
  timeLine_.setRate(d.audio.sampleRate);
  timeLine_.setVisibleRange(d.viewStart, d.viewEnd);
  timeLine_.setCursor(shownCursor());
  timeLine_.setBookmarks(rulerBookmarks(d.markers));
}

void DocumentDisplay::updateStatus() {
  const WaveDocument& d = *document_;
  const int64_t cursor = shownCursor();
  const int64_t start = d.hasSelection() ? d.selectionStart : d.cursor;
  const int64_t end = d.hasSelection() ? d.selectionEnd : d.cursor;
  status_ = statusTexts(start, end, d.audio.length(), cursor, d.audio.sampleRate);
}

void DocumentDisplay::setVisibleRange(int64_t a, int64_t b) {
  if (!document_) return;
  const int64_t length = document_->audio.length();
  b = std::min(b, length);
  a = std::max<int64_t>(a, 0);
  if (b < a) b = a;
  showRangeOf(a, b);
  updateTimeLine();
}

void DocumentDisplay::showRangeOf(int64_t start, int64_t end) {
  WaveDocument& d = *document_;
  d.viewStart = int32_t(start);
  d.viewEnd = int32_t(end);
  // Fewer than 4 columns per frame: the pencil cannot draw.
  if (end - start > wave_.width() / 4) wave_.setPencilMode(false);
  wave_.setVisibleRange(start, end - start);
}

void DocumentDisplay::showCursor() {
  if (!document_) return;
  WaveDocument& d = *document_;
  const int64_t f = d.cursor;
  const int64_t total = d.audio.length();
  const int64_t length = int64_t{d.viewEnd} - d.viewStart;
  // Kept visible and then centred: [f − L/2, f − L/2 + L], within the document.
  const int64_t start =
      std::clamp<int64_t>(f - length / 2, 0, std::max<int64_t>(total - length, 0));
  gestures_.setPivot(f);
  showRangeOf(start, start + length);
  sync();
}

void DocumentDisplay::setPlayPosition(std::optional<int64_t> frame) {
  if (!document_) return;
  playPosition_ = frame;
  if (frame && !gestures_.dragging() && !timeLine_.tracking()) {
    WaveDocument& d = *document_;
    const int64_t length = int64_t{d.viewEnd} - d.viewStart;
    int64_t start = d.viewStart;
    if (*frame > d.viewEnd) start = *frame - length;
    if (*frame < d.viewStart) start = *frame;
    start = std::clamp<int64_t>(start, 0, std::max<int64_t>(d.audio.length() - length, 0));
    if (start != d.viewStart) showRangeOf(start, start + length);
  }
  wave_.setCursor(shownCursor());
  updateTimeLine();
  updateStatus();
}

void DocumentDisplay::zoom(int command) {
  if (!document_ || !zoomEnabled(command)) return;
  updateTimeLine();
  const int64_t cursor = document_->cursor;
  switch (command) {
    case zoom_command::kZoomIn:
      timeLine_.zoomIn(cursor);
      break;
    case zoom_command::kZoomOut:
      timeLine_.zoomOut(cursor);
      break;
    case zoom_command::kZoomFull:
      timeLine_.zoomFull(cursor);
      break;
    case zoom_command::kZoomToSelection:
      setVisibleRange(document_->selectionStart, document_->selectionEnd);
      break;
    default:
      break;
  }
}

bool DocumentDisplay::zoomEnabled(int command) const {
  if (!document_) return false;
  const WaveDocument& d = *document_;
  const int64_t length = int64_t{d.viewEnd} - d.viewStart;
  switch (command) {
    case zoom_command::kZoomIn:
      return length > 1;
    case zoom_command::kZoomOut:
    case zoom_command::kZoomFull:
      return length < d.audio.length();
    case zoom_command::kZoomToSelection:
      return d.hasSelection();
    default:
      return false;
  }
}

void DocumentDisplay::wheelZoom(int delta, int64_t frame) {
  if (!document_) return;
  updateTimeLine();
  timeLine_.wheelAt(delta, frame);
}

void DocumentDisplay::scrollColumns(double columns) {
  if (!document_) return;
  updateTimeLine();
  const int64_t frames = std::llround(columns * wave_.samplesPerPixel());
  timeLine_.scrollBy(frames != 0 ? frames : (columns < 0 ? -1 : 1));
}

void DocumentDisplay::toggleVerticalZoom() {
  if (!document_) return;
  document_->verticalZoom = !document_->verticalZoom;
  reattach();
}

int32_t DocumentDisplay::framesPerStep() const {
  return std::max<int32_t>(int32_t(std::ceil(wave_.samplesPerPixel())), 1);
}

GestureResult DocumentDisplay::pointer(const PointerEvent& event) {
  GestureResult result = gestures_.handle(event);
  if (!document_) return result;
  WaveDocument& d = *document_;
  bool touched = false;
  if (result.selectionChanged) {
    d.cursor = d.withinAudio(wave_.cursor());
    d.selectionStart = d.withinAudio(wave_.selectionStart());
    d.selectionEnd = d.withinAudio(wave_.selectionEnd());
    touched_ = touched = true;
  }
  if (result.bookmarkMoved && result.bookmark >= 0 && size_t(result.bookmark) < d.markers.size()) {
    Bookmark& bookmark = d.markers[size_t(result.bookmark)];
    const int64_t from = bookmark.position;
    moveBookmark(bookmark, result.bookmarkFrame, d.audio.sampleRate);
    wave_.bookmarkMoved(from, bookmark.position);
    if (result.bookmarkDropped) {
      d.modified = true;
      touched = true;
    }
  }
  if (touched || result.bookmarkMoved) {
    updateTimeLine();
    updateStatus();
  }
  if (listener_) {
    if (result.selectionDropped) {
      listener_->selectionDropped(result.dropStart, result.dropEnd, result.dropFrame);
    }
    if (result.pencilCommitted) listener_->pencilCommitted(result.pencilFrame, result.pencilValue);
    if (touched) listener_->documentTouched();
  }
  return result;
}

// The time line's notices.

void DocumentDisplay::rangeChanged() {
  setVisibleRange(timeLine_.visibleStart(), timeLine_.visibleEnd());
  updateStatus();
}

void DocumentDisplay::cursorKeptInView() {
  showRangeOf(timeLine_.visibleStart(), timeLine_.visibleEnd());
}

void DocumentDisplay::cursorMoved(int64_t frame) {
  if (!document_) return;
  WaveDocument& d = *document_;
  frame = d.withinAudio(frame);
  if (listener_ && listener_->seekIfPlaying(frame)) return;
  d.cursor = int32_t(frame);
  if (!d.hasSelection()) d.selectionStart = d.selectionEnd = int32_t(frame);
  gestures_.setPivot(frame);
  touched_ = true;
  sync();
  if (listener_) listener_->documentTouched();
}

void DocumentDisplay::bookmarkPicked(int index, int) {
  if (!document_ || index < 0 || size_t(index) >= document_->markers.size()) return;
  timeLine_.moveCursor(document_->markers[size_t(index)].position);
}

// Bookmarks.

bool DocumentDisplay::canAddBookmark() const {
  return document_ && view::canAddBookmark(document_->markers);
}

void DocumentDisplay::addBookmark(int64_t frame, const BookmarkFields& fields) {
  if (!canAddBookmark()) return;
  WaveDocument& d = *document_;
  frame = std::clamp<int64_t>(frame, 0, std::max<int64_t>(d.audio.length() - 1, 0));
  d.markers.push_back(
      makeBookmark(fields, frame, d.audio.sampleRate, nextDisplayNumber(d.markers)));
  bookmarksChanged();
}

void DocumentDisplay::editBookmark(int index, const BookmarkFields& fields) {
  if (!document_ || index < 0 || size_t(index) >= document_->markers.size()) return;
  applyFields(document_->markers[size_t(index)], fields);
  bookmarksChanged();
}

void DocumentDisplay::removeBookmark(int index) {
  if (!document_ || index < 0 || size_t(index) >= document_->markers.size()) return;
  document_->markers.erase(document_->markers.begin() + index);
  bookmarksChanged();
}

void DocumentDisplay::bookmarksChanged() {
  document_->modified = true;
  wave_.setBookmarks(&document_->markers);
  updateTimeLine();
  if (listener_) listener_->documentTouched();
}

}  // namespace quillon::view
