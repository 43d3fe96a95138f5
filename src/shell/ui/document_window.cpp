#include "shell/ui/document_window.h"

#include <QEvent>

#include "audio_io/transport.h"
#include "shell/editor.h"
#include "shell/ui/main_window.h"
#include "view/ui/document_pane.h"

namespace quillon::ui {
namespace {

constexpr int kPlayCursorMs = 20;

}  // namespace

DocumentWindow::DocumentWindow(MainWindow& window, Ref<WaveDocument> document)
    : window_(window), document_(std::move(document)) {
  pane_ = window_.placeDocumentPane();
  paneObject_ = pane_.data();
  view::ui::DocumentPane& pane = *pane_;
  pane.setClassicColours(settings::kUseClassic.read());
  pane.setDocument(document_);
  pane.setCommandHandler([this](int id) { window_.runCommand(id); });
  pane.setSeekHandler([this](int64_t frame) {
    if (!isPlaying()) return false;
    window_.transport().seek(int32_t(frame));
    return true;
  });
  connect(&pane, &view::ui::DocumentPane::contextMenuRequested, this,
          [this](const QPoint& at) { window_.requestContextMenu(at); });
  connect(&pane, &view::ui::DocumentPane::documentTouched, this,
          [this] { window_.documentTouched(); });
  if (QWidget* strip = window_.makeTransportStrip(*this)) pane.setTransportStrip(strip);
  // The zoom commands depend on the view's width: their states follow each resize.
  pane.installEventFilter(this);
  playTimer_.setInterval(kPlayCursorMs);
  connect(&playTimer_, &QTimer::timeout, this, &DocumentWindow::followPlayer);
}

DocumentWindow::~DocumentWindow() {
  playTimer_.stop();
  if (window_.hasTransport()) {
    window_.transport().stop();
    window_.transport().setPositionFollower(nullptr);
  }
  // The pane's own destruction sends events: it must no longer reach this half-destroyed filter.
  if (pane_) pane_->removeEventFilter(this);
  window_.removeDocumentPane(pane_);
}

bool DocumentWindow::eventFilter(QObject* watched, QEvent* event) {
  // Compared as objects: a pane being destroyed is no longer a DocumentPane.
  if (event->type() == QEvent::Resize && !pane_.isNull() &&
      watched == static_cast<QObject*>(paneObject_))
    window_.documentTouched();
  return QObject::eventFilter(watched, event);
}

Interaction& DocumentWindow::interaction() {
  return window_.interaction();
}

void DocumentWindow::stopPlayback() {
  if (!window_.hasTransport()) return;
  window_.transport().stop();
  followPlayer();
}

void DocumentWindow::play() {
  Transport& transport = window_.transport();
  transport.stop();
  // The player's position notices move the document's cursor.
  transport.setPositionFollower([playing = document_](int32_t frame) { playing->cursor = frame; });
  if (transport.play(*document_)) playTimer_.start();
}

bool DocumentWindow::isPlaying() {
  return window_.hasTransport() && window_.transport().isPlaying();
}

// Shows the frame being heard as the cursor while playing; afterwards the document's cursor,
// where the last position notice left it.
void DocumentWindow::followPlayer() {
  if (!pane_) return;
  if (isPlaying()) {
    pane_->setPlayPosition(window_.transport().position());
    return;
  }
  playTimer_.stop();
  pane_->setPlayPosition(std::nullopt);
  window_.documentTouched();
}

void DocumentWindow::refresh(bool full) {
  if (pane_) pane_->refresh(full);
}

void DocumentWindow::documentSaved(WaveDocument& document) {
  window_.editor().recentFiles().add(document.path);
}

void DocumentWindow::rememberFile(const std::string& path) {
  window_.editor().recentFiles().add(path);
}

void DocumentWindow::showCursor() {
  if (pane_) pane_->showCursor();
}

bool DocumentWindow::touched() const {
  return pane_ && pane_->touched();
}

void DocumentWindow::seekPlayback(int32_t frame) {
  if (window_.hasTransport()) window_.transport().seek(frame);
}

bool DocumentWindow::record() {
  return window_.record(*this);
}

void DocumentWindow::changeVolume(int steps) {
  window_.transport().changeVolume(steps);
}

void DocumentWindow::zoom(int command) {
  if (pane_) pane_->zoom(command);
}

bool DocumentWindow::zoomEnabled(int command) const {
  return pane_ && pane_->zoomEnabled(command);
}

void DocumentWindow::showWholeWave() {
  if (pane_) pane_->showWholeWave();
}

void DocumentWindow::showContextMenu() {
  window_.showContextMenu();
}

int32_t DocumentWindow::framesPerStep() const {
  return pane_ ? pane_->framesPerStep() : 1;
}

}  // namespace quillon::ui
