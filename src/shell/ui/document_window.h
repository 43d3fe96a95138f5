#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <functional>

#include "document/document_view.h"
#include "document/wave_document.h"
#include "view/ui/document_pane.h"

class QWidget;

namespace quillon {
class Transport;
}

namespace quillon::ui {

class MainWindow;

// The view of the open document in the main window: the document pane (caption bar, wave view,
// status fields, time line, transport strip) kept in step with the document, and the main
// window's transport for playing and recording. While playing, a timer of 20 ms shows the
// frame being heard as the cursor, and the player's position notices move the document's cursor.
class DocumentWindow : public QObject, public DocumentView {
  Q_OBJECT

 public:
  DocumentWindow(MainWindow& window, Ref<WaveDocument> document);
  ~DocumentWindow() override;

  view::ui::DocumentPane& pane() { return *pane_; }

  // DocumentView.
  WaveDocument* document() override { return document_.get(); }
  Interaction& interaction() override;
  void stopPlayback() override;
  void play() override;
  bool isPlaying() override;
  void refresh(bool full) override;
  void documentSaved(WaveDocument& document) override;
  void showCursor() override;
  void showPlaySpeed() override {}  // the check marks follow every command
  void showLoopPlay() override {}
  void rememberFile(const std::string& path) override;
  bool touched() const override;
  void seekPlayback(int32_t frame) override;
  bool record() override;
  void changeVolume(int steps) override;
  void zoom(int command) override;
  bool zoomEnabled(int command) const override;
  void showWholeWave() override;
  void showContextMenu() override;
  int32_t framesPerStep() const override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void followPlayer();

  MainWindow& window_;
  Ref<WaveDocument> document_;
  QPointer<view::ui::DocumentPane> pane_;
  QObject* paneObject_ = nullptr;  // the same pane, for comparing with event receivers
  QTimer playTimer_;
};

}  // namespace quillon::ui
