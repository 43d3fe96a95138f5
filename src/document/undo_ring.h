#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "document/clip.h"

namespace quillon {

class WaveDocument;

// The editable state of a document before an action, under the action's name. A snapshot is a
// copy of the Segment chain and a few numbers: no sample is copied. An empty name marks an
// empty slot.
struct UndoSlot {
  int32_t sampleRate = kDefaultSampleRate;
  uint8_t channels = 1;
  std::vector<Segment> segments;
  bool modified = false;
  int32_t selectionStart = 0;
  int32_t selectionEnd = 0;
  int32_t cursor = 0;
  int32_t viewStart = 0;
  int32_t viewEnd = 0;
  std::string name;

  bool isEmpty() const { return name.empty(); }
};

// A ring of 32 snapshots. The slot at the index holds the state before the most recent action;
// the slot after it may hold the state after that action ("Redo"); the two slots after a newly
// recorded action are always empty, so 30 actions can be undone.
class UndoRing {
 public:
  static constexpr int kSlots = 32;
  static constexpr char kRedoName[] = "Redo";

  // Snapshots `document` into the next slot and empties the two after it (discarding any redo
  // history).
  void record(const WaveDocument& document, std::string_view name);
  // Restores the state before the most recent action; the current state is kept as "Redo"
  // first when it is not kept yet.
  bool undo(WaveDocument& document);
  // Restores the state after the action most recently undone.
  bool redo(WaveDocument& document);
  bool canUndo() const { return !at(index_).isEmpty(); }
  bool canRedo() const { return !at(index_ + 2).isEmpty(); }
  // The names of the actions that Undo and Redo would step over (empty when none).
  const std::string& undoName() const { return at(index_).name; }
  const std::string& redoName() const { return at(index_ + 2).name; }
  // Empties the two slots after the index.
  void dropLast();
  void clear();

  // Recording that can be taken back exactly: the slots that recording overwrites are kept
  // aside, and `rollBack` restores the document from the new snapshot and puts them back, so
  // the ring (redo history and the oldest entries included) is as before.
  struct Displaced {
    std::array<UndoSlot, 3> slots;
  };
  Displaced recordReversibly(const WaveDocument& document, std::string_view name);
  void rollBack(WaveDocument& document, Displaced&& displaced);

  int index() const { return index_; }
  const UndoSlot& at(int position) const { return slots_[wrap(position)]; }

 private:
  static int wrap(int position) { return ((position % kSlots) + kSlots) % kSlots; }
  UndoSlot& slot(int position) { return slots_[wrap(position)]; }
  void capture(const WaveDocument& document, std::string_view name, int slotsToEmpty);
  static void restore(WaveDocument& document, const UndoSlot& from);

  std::array<UndoSlot, kSlots> slots_;
  int index_ = 0;
};

}  // namespace quillon
