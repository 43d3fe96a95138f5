#pragma once

#include "document/document_view.h"
#include "document/wave_document.h"

namespace quillon {

// The view that is current while no document is open: no window, an empty document, so that
// every command's enable test can be asked at any time.
class DefaultView : public DocumentView {
 public:
  explicit DefaultView(Interaction& interaction)
      : interaction_(interaction), document_(WaveDocument::createEmpty()) {}

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
  bool hasWindow() const override { return false; }

 private:
  Interaction& interaction_;
  Ref<WaveDocument> document_;
};

}  // namespace quillon
