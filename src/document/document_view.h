#pragma once

#include <string>

#include "platform/interaction.h"

namespace quillon {

class WaveDocument;

// The per-document window object through which commands and the document core reach the
// document, the display and the player. The shell implements it; the default view (no document
// open) has no window and holds an empty document.
class DocumentView {
 public:
  virtual ~DocumentView() = default;

  // The document the view holds; null when it holds none.
  virtual WaveDocument* document() = 0;
  // Where this view's questions, messages and progress dialogs go.
  virtual Interaction& interaction() = 0;

  virtual void stopPlayback() = 0;
  // Stops the player, then plays from the cursor (or the selection).
  virtual void play() = 0;
  virtual bool isPlaying() = 0;
  // Re-lays out the display when `full`, then updates the status fields.
  virtual void refresh(bool full) = 0;
  // Called when an action begins.
  virtual void onActionBegin() {}
  void refreshAll() { refresh(true); }
  // Adds the saved document's path to the recent files.
  virtual void documentSaved(WaveDocument& document) = 0;
  // Called when an action begins and after an undo.
  virtual void onActionOrUndo() {}
  // Moves the displayed cursor to the document's cursor and scrolls to it.
  virtual void showCursor() = 0;
  // Puts the check mark on the play-speed command that matches "PlaySpeed".
  virtual void showPlaySpeed() = 0;
  // Puts the check mark on "L&oop Play" from "PlayRepeat".
  virtual void showLoopPlay() = 0;
  // Adds a path to the recent files.
  virtual void rememberFile(const std::string& path) = 0;
};

}  // namespace quillon
