#pragma once

#include <memory>

#include "platform/notice_poster.h"
#include "platform/scripted_interaction.h"
#include "shell/editor.h"
#include "view/document_display.h"

namespace quillon::testing {

// A document view whose display is the real one without a window: what the main window's
// document window does, minus the widgets, the player and the recorder.
class DisplayView : public DocumentView {
 public:
  DisplayView(Interaction& ui, Ref<WaveDocument> document, int width = 1000)
      : wave(notices), display(wave, timeLine), ui_(ui) {
    wave.setSize(width, 200);
    timeLine.setSize(width, 60);
    display.setDocument(std::move(document));
    settle();
  }

  // Lets the worker finish and hands its notices over.
  void settle() {
    wave.worker().waitIdle(20000);
    notices.runPending();
  }

  WaveDocument* document() override { return display.document(); }
  Interaction& interaction() override { return ui_; }
  void stopPlayback() override {}
  void play() override {}
  bool isPlaying() override { return false; }
  void refresh(bool full) override { display.refresh(full); }
  void documentSaved(WaveDocument&) override {}
  void showCursor() override { display.showCursor(); }
  void showPlaySpeed() override {}
  void showLoopPlay() override {}
  void rememberFile(const std::string&) override {}
  bool touched() const override { return display.touched(); }
  void zoom(int command) override { display.zoom(command); }
  bool zoomEnabled(int command) const override { return display.zoomEnabled(command); }
  void showWholeWave() override { display.showWholeWave(); }
  int32_t framesPerStep() const override { return display.framesPerStep(); }

  NoticeQueue notices;
  view::WaveViewModel wave;
  view::TimeLineModel timeLine;
  view::DocumentDisplay display;

 private:
  Interaction& ui_;
};

// A main window whose views are DisplayViews.
class DisplayMainWindow : public MainWindow {
 public:
  Interaction& interaction() override { return ui; }
  std::unique_ptr<DocumentView> createView(Ref<WaveDocument> document) override {
    auto view = std::make_unique<DisplayView>(ui, std::move(document));
    current = view.get();
    return view;
  }
  void setCaption(const std::string&, bool) override {}

  ScriptedInteraction ui;
  DisplayView* current = nullptr;
};

}  // namespace quillon::testing
