#pragma once

#include "document/document_view.h"
#include "document/wave_document.h"

namespace quillon {

// A view of a document with no display, no player and no recorder: what the command-line
// program shows documents in, and the base of the default view.
class WindowlessView : public DocumentView {
 public:
  WindowlessView(Interaction& interaction, Ref<WaveDocument> document)
      : interaction_(interaction), document_(std::move(document)) {}

  WaveDocument* document() override { return document_.get(); }
  Interaction& interaction() override { return interaction_; }
  void stopPlayback() override {}
  void play() override {}
  bool isPlaying() override { return false; }
  void refresh(bool) override {}
  void documentSaved(WaveDocument&) override {}
  void showCursor() override {}
  void showPlaySpeed() override {}
  void showLoopPlay() override {}
  void rememberFile(const std::string&) override {}

 private:
  Interaction& interaction_;
  Ref<WaveDocument> document_;
};

// The view that is current while no document is open: no window, an empty document, so that
// every command's enable test can be asked at any time.
class DefaultView : public WindowlessView {
 public:
  explicit DefaultView(Interaction& interaction)
      : WindowlessView(interaction, WaveDocument::createEmpty()) {}
  bool hasWindow() const override { return false; }
};

}  // namespace quillon
