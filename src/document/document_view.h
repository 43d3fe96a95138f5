#pragma once

#include <cstdint>
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

  // The rest is what the command table forwards to the window, the player and the recorder; a
  // view without those keeps the defaults.

  // False for the default view that stands in while no document is open.
  virtual bool hasWindow() const { return true; }
  // The display reported a change of selection since the document was opened.
  virtual bool touched() const { return false; }
  // While playing, moving the cursor moves the player instead.
  virtual void seekPlayback(int32_t frame) { (void)frame; }
  // Records into the document (replacing the selection); false when nothing was recorded.
  virtual bool record() { return false; }
  // Raises or lowers the playback volume by steps.
  virtual void changeVolume(int steps) { (void)steps; }
  // The display's zoom commands (zoom in, out, full, to the selection) and whether its button for
  // one is enabled.
  virtual void zoom(int command) { (void)command; }
  virtual bool zoomEnabled(int command) const {
    (void)command;
    return false;
  }
  virtual void showWholeWave() {}
  // Shows the context menu at the last input position (the shell builds its contents).
  virtual void showContextMenu() {}
  // The steps of Step Left/Right: one pixel of the main view, in frames (1 without a display).
  virtual int32_t framesPerStep() const { return 1; }
};

}  // namespace quillon
