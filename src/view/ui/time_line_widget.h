#pragma once

#include <QWidget>
#include <array>
#include <functional>

#include "view/document_display.h"
#include "view/time_line_model.h"

class QScrollBar;
class QToolButton;

namespace quillon::view::ui {

// The time line panel: the time ruler (ticks, labels, the cursor and the bookmarks), and below
// it a row with five buttons (Zoom Out, Zoom In, Zoom Full, Zoom To Selection, Vertical Zoom) and
// the scroll bar. A tap in the upper part of the ruler moves the cursor, a tap on a bookmark's
// line in the lower part picks it, a drag there moves the range; the wheel zooms around the
// pointer; the context menu zooms around the tapped place and creates, edits and deletes
// bookmarks. Sizes are device-independent pixels.
class TimeLineWidget : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kButtonSize = 18;
  static constexpr int kScrollBarLeft = 96;

  TimeLineWidget(TimeLineModel& model, DocumentDisplay* display, QWidget* parent = nullptr);

  // Brings the buttons and the scroll bar up to date and repaints the ruler.
  void refresh();
  void setChangeListener(std::function<void()> listener) { changed_ = std::move(listener); }

  QToolButton* button(int command) const;
  QScrollBar* scrollBar() const { return scrollBar_; }
  // The ruler's context menu at a point of the panel (what a right click opens).
  void showContextMenu(const QPoint& at);

 Q_SIGNALS:
  // A button's command (7004, 7003, 7006, 7007, 2041).
  void commandRequested(int command);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  void changed();
  void scrollAction(int action);
  void newBookmark();
  void editBookmark(int index);

  TimeLineModel& model_;
  DocumentDisplay* display_;
  std::function<void()> changed_;
  std::array<QToolButton*, 5> buttons_{};
  QScrollBar* scrollBar_;
  int wheelAngle_ = 0;
  bool refreshing_ = false;
};

}  // namespace quillon::view::ui
