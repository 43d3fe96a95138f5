#pragma once

#include <set>
#include <string>
#include <vector>

#include "document/document_view.h"
#include "document/wave_document.h"
#include "platform/scripted_interaction.h"

namespace quillon::testing {

// A DocumentView without a window: it holds a document and records what it was asked to do.
class FakeDocumentView : public DocumentView {
 public:
  explicit FakeDocumentView(Ref<WaveDocument> document = WaveDocument::createEmpty())
      : document_(std::move(document)) {}

  WaveDocument* document() override { return document_.get(); }
  Interaction& interaction() override { return ui; }
  void stopPlayback() override {
    ++stops;
    playing = false;
  }
  void play() override {
    ++plays;
    playedFrom = document_ ? document_->cursor : 0;
    playing = true;
  }
  bool isPlaying() override { return playing; }
  void refresh(bool full) override { ++(full ? fullRefreshes : refreshes); }
  void onActionBegin() override { ++actionBeginHooks; }
  void documentSaved(WaveDocument& document) override { remembered.push_back(document.path); }
  void onActionOrUndo() override { ++actionOrUndoHooks; }
  void showCursor() override { ++cursorShown; }
  void showPlaySpeed() override {}
  void showLoopPlay() override {}
  void rememberFile(const std::string& path) override { remembered.push_back(path); }
  bool touched() const override { return wasTouched; }
  void seekPlayback(int32_t frame) override { seekedTo = frame; }
  bool record() override {
    ++recordings;
    return recordResult;
  }
  void changeVolume(int steps) override { volumeSteps += steps; }
  void zoom(int command) override { zooms.push_back(command); }
  bool zoomEnabled(int command) const override { return enabledZooms.count(command) > 0; }
  void showWholeWave() override { ++wholeWaveShown; }
  void showContextMenu() override { ++contextMenus; }
  int32_t framesPerStep() const override { return step; }

  void setDocument(Ref<WaveDocument> document) { document_ = std::move(document); }

  ScriptedInteraction ui;
  bool playing = false;
  int stops = 0, plays = 0, refreshes = 0, fullRefreshes = 0;
  int actionBeginHooks = 0, actionOrUndoHooks = 0, cursorShown = 0;
  int32_t playedFrom = -1;
  std::vector<std::string> remembered;
  bool wasTouched = false;
  int32_t seekedTo = -1;
  bool recordResult = true;
  int recordings = 0, volumeSteps = 0, wholeWaveShown = 0, contextMenus = 0;
  std::vector<int> zooms;
  std::set<int> enabledZooms;
  int32_t step = 1;

 private:
  Ref<WaveDocument> document_;
};

}  // namespace quillon::testing
