#pragma once

#include <cstdint>
#include <string_view>

#include "document/undo_ring.h"
#include "platform/ref_counted.h"

namespace quillon {

class DocumentView;
class WaveDocument;

// Wraps one action on the view's document. Beginning records the undo snapshot under the
// action's name, marks the document modified and calls the view's action hooks. Leaving the
// scope without a successful `commit` rolls the document back to the snapshot and leaves the
// undo ring exactly as it was before the action.
class ActionScope {
 public:
  // Not begun when there is no view or the view has no document.
  ActionScope(DocumentView* view, std::string_view name);
  // Paste's form: records and marks the document as above but is never rolled back.
  struct NoRollback {};
  ActionScope(DocumentView& view, std::string_view name, NoRollback);
  ~ActionScope();
  ActionScope(const ActionScope&) = delete;
  ActionScope& operator=(const ActionScope&) = delete;

  bool begun() const { return begun_; }
  WaveDocument* document() const { return document_.get(); }

  // Checks that there is still disk space (else false: the scope stays uncommitted and rolls
  // back), sets the cursor, refreshes the view, and when "AutoPlaybackAfterEffects" is set plays
  // from `preRoll` frames before the cursor.
  bool commit(int32_t cursor, int32_t preRoll);

 private:
  void start(std::string_view name, bool reversible);

  DocumentView* view_;
  Ref<WaveDocument> document_;
  bool begun_ = false;
  bool committed_ = false;
  // Kept aside until the scope ends; their blocks stay on disk until then, so the guard at
  // commit sees them as used space.
  UndoRing::Displaced displaced_;
};

// The "Undo" and "Redo" commands on the view's document: stop playback, step the ring, then
// call the view's after-undo hook, refresh everything, mark the document modified (it counts as
// modified even when back at its saved state) and call the action-begin hook.
bool undoCommand(DocumentView& view);
bool redoCommand(DocumentView& view);

}  // namespace quillon
