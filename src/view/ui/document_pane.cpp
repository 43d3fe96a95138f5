#include "view/ui/document_pane.h"

#include "view/ui/status_fields_widget.h"
#include "view/ui/time_line_widget.h"
#include "view/ui/wave_view_widget.h"

namespace quillon::view::ui {

// Turns the display's notices into the pane's signals.
class DocumentPane::Listener : public DocumentDisplayListener {
 public:
  explicit Listener(DocumentPane& pane) : pane_(pane) {}
  void documentTouched() override { Q_EMIT pane_.documentTouched(); }
  bool seekIfPlaying(int64_t frame) override {
    return pane_.seekHandler_ && pane_.seekHandler_(frame);
  }
  void selectionDropped(int64_t start, int64_t end, int64_t frame) override {
    Q_EMIT pane_.selectionDropped(start, end, frame);
  }
  void pencilCommitted(int64_t frame, int32_t value) override {
    Q_EMIT pane_.pencilCommitted(frame, value);
  }

 private:
  DocumentPane& pane_;
};

DocumentPane::DocumentPane(QWidget* parent)
    : QWidget(parent),
      wave_(poster_),
      display_(wave_, timeLine_),
      listener_(std::make_unique<Listener>(*this)),
      caption_(new CaptionBar(this)),
      waveView_(new WaveViewWidget(wave_, &display_, this)),
      status_(new StatusFieldsWidget(this)),
      timeLineWidget_(new TimeLineWidget(timeLine_, &display_, this)),
      transport_(new QWidget(this)) {
  display_.setListener(listener_.get());
  waveView_->setChangeListener([this] { partsChanged(); });
  timeLineWidget_->setChangeListener([this] { partsChanged(); });
  connect(waveView_, &WaveViewWidget::contextMenuRequested, this,
          &DocumentPane::contextMenuRequested);
  connect(timeLineWidget_, &TimeLineWidget::commandRequested, this, &DocumentPane::runCommand);
  setMinimumSize(200, kCaptionHeight + kStatusHeight + kTimeLineHeight + kTransportHeight + 40);
}

DocumentPane::~DocumentPane() {
  // The widgets go before the models they show.
  delete waveView_;
  delete timeLineWidget_;
  display_.setListener(nullptr);
}

void DocumentPane::resizeEvent(QResizeEvent*) {
  const int w = width(), h = height();
  caption_->setGeometry(1, 0, w - 1, kCaptionHeight);
  const int waveHeight = h - kCaptionHeight - kStatusHeight - kTimeLineHeight - kTransportHeight;
  waveView_->setGeometry(1, kCaptionHeight, w, std::max(waveHeight, 1));
  status_->setGeometry(1, h - 104, w - 1, kStatusHeight);
  timeLineWidget_->setGeometry(1, h - 80, w - 1, kTimeLineHeight);
  if (transport_) transport_->setGeometry(1, h - kTransportHeight, w - 1, kTransportHeight);
  display_.sync();
  partsChanged();
}

void DocumentPane::setDocument(Ref<WaveDocument> document) {
  display_.setDocument(std::move(document));
  partsChanged();
}

void DocumentPane::setCaption(const QString& text) {
  caption_->setText(text);
}

void DocumentPane::setTransportStrip(QWidget* strip) {
  delete transport_;
  transport_ = strip;
  if (!strip) return;
  strip->setParent(this);
  strip->setGeometry(1, height() - kTransportHeight, width() - 1, kTransportHeight);
  strip->show();
}

void DocumentPane::setClassicColours(bool classic) {
  wave_.setColourScheme(classic);
}

void DocumentPane::partsChanged() {
  status_->setTexts(display_.status());
  timeLineWidget_->refresh();
}

void DocumentPane::refresh(bool full) {
  display_.refresh(full);
  partsChanged();
}

void DocumentPane::showCursor() {
  display_.showCursor();
  partsChanged();
  // The view shows the new cursor before the command returns.
  waveView_->repaint();
}

void DocumentPane::zoom(int command) {
  display_.zoom(command);
  partsChanged();
}

void DocumentPane::showWholeWave() {
  display_.showWholeWave();
  partsChanged();
}

void DocumentPane::setPlayPosition(std::optional<int64_t> frame) {
  display_.setPlayPosition(frame);
  partsChanged();
}

void DocumentPane::runCommand(int command) {
  if (commandHandler_) {
    commandHandler_(command);
  } else if (command == zoom_command::kVerticalZoom) {
    display_.toggleVerticalZoom();
  } else {
    display_.zoom(command);
  }
  partsChanged();
}

}  // namespace quillon::view::ui
