#pragma once

#include <QWidget>
#include <vector>

#include "view/ui/qt_notice_poster.h"
#include "view/wave_strip_model.h"

namespace quillon::view::ui {

// The dialog wave strip of the Play Control and Record Control dialogs: the whole audio as one
// peak line per column, the selection, a sunken frame. A tap makes the tapped frame the
// selection start and reports it.
class WaveStripWidget : public QWidget {
  Q_OBJECT

 public:
  explicit WaveStripWidget(QWidget* parent = nullptr);
  ~WaveStripWidget() override;

  WaveStripModel& model() { return model_; }

 Q_SIGNALS:
  // The user tapped the strip: the selection now starts at `frame` with length 0.
  void tapped(qint64 frame);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void tapAt(QMouseEvent* event);

  QtNoticePoster poster_;
  WaveStripModel model_;
  std::vector<WaveStripModel::Column> columns_;
};

}  // namespace quillon::view::ui
