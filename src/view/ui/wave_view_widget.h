#pragma once

#include <QWidget>
#include <functional>

#include "view/document_display.h"
#include "view/ui/wave_painter.h"
#include "view/wave_view_model.h"

namespace quillon::view::ui {

// The main wave view: paints what its model plans for the update rectangle and turns Qt's
// pointer events into the model's gestures (through the document display, which copies their
// outcome into the document). It paints in device pixels, so a high-density screen gets a peak
// column per device pixel; hit distances scale with the device pixel ratio. A plain wheel zooms
// around the pointer, as on the ruler; Shift with the wheel, or a sideways wheel, scrolls.
class WaveViewWidget : public QWidget {
  Q_OBJECT

 public:
  WaveViewWidget(WaveViewModel& model, DocumentDisplay* display, QWidget* parent = nullptr);
  ~WaveViewWidget() override;

  WaveViewModel& model() { return model_; }
  // Called after a gesture changed the document (the parts around the view follow).
  void setChangeListener(std::function<void()> listener) { changed_ = std::move(listener); }
  // The device pixel of a point in the widget, and back.
  QPoint toDevice(QPointF logical) const;
  double devicePixelScale() const;

 Q_SIGNALS:
  void contextMenuRequested(const QPoint& globalPosition);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  void pointer(PointerEvent::Type type, QMouseEvent* event);
  void flushInvalidations();
  void syncSize();

  WaveViewModel& model_;
  DocumentDisplay* display_;
  std::function<void()> changed_;
  WavePainter painter_;
  WavePaintPlan plan_;
  QImage canvas_;  // the view in device pixels
  int wheelAngle_ = 0;
};

}  // namespace quillon::view::ui
