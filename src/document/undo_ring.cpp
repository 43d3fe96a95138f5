#include "document/undo_ring.h"

#include <utility>

#include "document/wave_document.h"

namespace quillon {

void UndoRing::capture(const WaveDocument& document, std::string_view name, int slotsToEmpty) {
  index_ = wrap(index_ + 1);
  UndoSlot& s = slot(index_);
  s.sampleRate = document.audio.sampleRate;
  s.channels = document.audio.channels;
  s.segments.clear();  // release the old chain before taking the new one
  s.segments = document.audio.segments;
  s.modified = document.modified;
  s.selectionStart = document.selectionStart;
  s.selectionEnd = document.selectionEnd;
  s.cursor = document.cursor;
  s.viewStart = document.viewStart;
  s.viewEnd = document.viewEnd;
  s.name = name;
  for (int k = 1; k <= slotsToEmpty; ++k)
    slot(index_ + k) = UndoSlot{};
}

void UndoRing::restore(WaveDocument& document, const UndoSlot& from) {
  document.audio.sampleRate = from.sampleRate;
  document.audio.channels = from.channels;
  document.audio.segments = from.segments;
  document.modified = from.modified;
  document.selectionStart = from.selectionStart;
  document.selectionEnd = from.selectionEnd;
  document.cursor = from.cursor;
  document.viewStart = from.viewStart;
  document.viewEnd = from.viewEnd;
}

void UndoRing::record(const WaveDocument& document, std::string_view name) {
  capture(document, name, 2);
}

bool UndoRing::undo(WaveDocument& document) {
  if (at(index_).isEmpty()) return false;
  if (at(index_ + 1).isEmpty()) {
    // Keep the current state for redo. Only the slot after it is emptied: emptying a second
    // one would drop the oldest snapshot of a full ring and leave 29 undos instead of 30.
    capture(document, kRedoName, 1);
    index_ = wrap(index_ - 1);
  }
  restore(document, at(index_));
  index_ = wrap(index_ - 1);
  return true;
}

bool UndoRing::redo(WaveDocument& document) {
  const UndoSlot& next = at(index_ + 2);
  if (next.isEmpty()) return false;
  restore(document, next);
  index_ = wrap(index_ + 1);
  return true;
}

void UndoRing::dropLast() {
  slot(index_ + 1) = UndoSlot{};
  slot(index_ + 2) = UndoSlot{};
}

void UndoRing::clear() {
  for (UndoSlot& s : slots_)
    s = UndoSlot{};
  index_ = 0;
}

UndoRing::Displaced UndoRing::recordReversibly(const WaveDocument& document,
                                               std::string_view name) {
  Displaced displaced;
  for (int k = 0; k < 3; ++k)
    displaced.slots[k] = std::exchange(slot(index_ + 1 + k), UndoSlot{});
  record(document, name);
  return displaced;
}

void UndoRing::rollBack(WaveDocument& document, Displaced&& displaced) {
  restore(document, at(index_));
  index_ = wrap(index_ - 1);
  for (int k = 0; k < 3; ++k)
    slot(index_ + 1 + k) = std::move(displaced.slots[k]);
}

}  // namespace quillon
