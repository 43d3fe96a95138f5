#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>
#include <optional>

#include "view/document_display.h"
#include "view/ui/qt_notice_poster.h"

namespace quillon::view::ui {

class CaptionBar;
class StatusFieldsWidget;
class TimeLineWidget;
class WaveViewWidget;

// The document window's content: the caption bar, the main wave view, the status fields, the
// time line panel and a slot for the transport strip, laid out from the top:
//   caption bar   x 1, y 0,        w − 1 wide, 20 high
//   main view     x 1, y 20,       w wide,     h − 124 high
//   status fields x 1, y h − 104,  w − 1 wide, 24 high
//   time line     x 1, y h − 80,   w − 1 wide, 60 high (its ruler, then buttons and scroll bar)
//   transport     x 1, y h − 20,   w − 1 wide, 20 high
// in device-independent pixels. The display it holds keeps the parts in step with the
// document; the window that places the pane drives it through `display()` and the calls below,
// and hears the user through the signals. Worker notices arrive through a queued call.
class DocumentPane : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kCaptionHeight = 20;
  static constexpr int kStatusHeight = 24;
  static constexpr int kTimeLineHeight = 60;
  static constexpr int kTransportHeight = 20;

  explicit DocumentPane(QWidget* parent = nullptr);
  ~DocumentPane() override;

  // Shows a document (the whole of it); null shows nothing.
  void setDocument(Ref<WaveDocument> document);
  WaveDocument* document() const { return display_.document(); }
  void setCaption(const QString& text);
  // Places the transport strip in its slot (the pane takes it as a child).
  void setTransportStrip(QWidget* strip);
  QWidget* transportStrip() const { return transport_; }
  // The colour scheme of the wave view ("UseClassic").
  void setClassicColours(bool classic);

  // What DocumentView asks of the display.
  void refresh(bool full);
  void showCursor();
  void zoom(int command);
  bool zoomEnabled(int command) const { return display_.zoomEnabled(command); }
  int32_t framesPerStep() const { return display_.framesPerStep(); }
  bool touched() const { return display_.touched(); }
  void showWholeWave();
  // The player's latency-corrected position, for a timer of about 20 ms while playing; nullopt
  // when playing stops.
  void setPlayPosition(std::optional<int64_t> frame);
  // The buttons' commands (7003, 7004, 7006, 7007, 2041) go here; without a handler the pane
  // zooms itself and toggles the document's vertical zoom.
  void setCommandHandler(std::function<void(int)> handler) { commandHandler_ = std::move(handler); }
  // While playing, cursor moves through the ruler seek the player instead: the handler answers
  // whether it did.
  void setSeekHandler(std::function<bool(int64_t)> handler) { seekHandler_ = std::move(handler); }

  DocumentDisplay& display() { return display_; }
  WaveViewModel& waveModel() { return wave_; }
  TimeLineModel& timeLineModel() { return timeLine_; }
  WaveViewWidget* waveView() const { return waveView_; }
  TimeLineWidget* timeLine() const { return timeLineWidget_; }
  StatusFieldsWidget* statusFields() const { return status_; }
  CaptionBar* captionBar() const { return caption_; }

 Q_SIGNALS:
  // The context menu of the wave view was asked for (a right click or a press and hold).
  void contextMenuRequested(const QPoint& globalPosition);
  // The user changed the selection, the cursor or a bookmark.
  void documentTouched();
  void selectionDropped(qint64 start, qint64 end, qint64 frame);
  void pencilCommitted(qint64 frame, int value);

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  class Listener;
  void partsChanged();
  void runCommand(int command);

  QtNoticePoster poster_;
  WaveViewModel wave_;
  TimeLineModel timeLine_;
  DocumentDisplay display_;
  std::unique_ptr<Listener> listener_;
  std::function<void(int)> commandHandler_;
  std::function<bool(int64_t)> seekHandler_;

  CaptionBar* caption_;
  WaveViewWidget* waveView_;
  StatusFieldsWidget* status_;
  TimeLineWidget* timeLineWidget_;
  QPointer<QWidget> transport_;
};

}  // namespace quillon::view::ui
