#include "view/ui/wave_view_widget.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QWheelEvent>
#include <cmath>

namespace quillon::view::ui {

WaveViewWidget::WaveViewWidget(WaveViewModel& model, DocumentDisplay* display, QWidget* parent)
    : QWidget(parent), model_(model), display_(display) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(true);
  setFocusPolicy(Qt::ClickFocus);
  setMinimumSize(40, 30);
  model_.setInvalidationListener([this] { flushInvalidations(); });
}

WaveViewWidget::~WaveViewWidget() {
  model_.setInvalidationListener(nullptr);
}

double WaveViewWidget::devicePixelScale() const {
  return devicePixelRatioF();
}

QPoint WaveViewWidget::toDevice(QPointF logical) const {
  const double scale = devicePixelScale();
  return QPoint(int(std::floor(logical.x() * scale)), int(std::floor(logical.y() * scale)));
}

void WaveViewWidget::syncSize() {
  const double scale = devicePixelScale();
  model_.setSize(int(std::lround(width() * scale)), int(std::lround(height() * scale)), scale);
}

void WaveViewWidget::resizeEvent(QResizeEvent*) {
  syncSize();
}

void WaveViewWidget::changeEvent(QEvent* event) {
  if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange) update();
  QWidget::changeEvent(event);
}

void WaveViewWidget::flushInvalidations() {
  const double scale = devicePixelScale();
  for (const PixelRect& r : model_.takeInvalidations()) {
    const int left = int(std::floor(r.left / scale)), top = int(std::floor(r.top / scale));
    const int right = int(std::ceil(r.right / scale)), bottom = int(std::ceil(r.bottom / scale));
    update(QRect(left, top, right - left + 1, bottom - top + 1));
  }
}

void WaveViewWidget::paintEvent(QPaintEvent* event) {
  const double scale = devicePixelScale();
  if (scale != model_.scale()) syncSize();  // moved to a screen of another density
  const QRect logical = event->rect();
  const PixelRect update{int(std::floor(logical.left() * scale)),
                         int(std::floor(logical.top() * scale)),
                         int(std::ceil((logical.right() + 1) * scale)),
                         int(std::ceil((logical.bottom() + 1) * scale))};
  if (canvas_.width() != model_.width() || canvas_.height() != model_.height()) {
    canvas_ = QImage(model_.width(), model_.height(), QImage::Format_RGB32);
    canvas_.setDevicePixelRatio(scale);
  }
  model_.buildPaintPlan(update, plan_);
  painter_.setButtonFace(palette().color(QPalette::Button));
  painter_.paint(canvas_, plan_);
  QPainter painter(this);
  painter.drawImage(QPointF(0, 0), canvas_);
}

void WaveViewWidget::pointer(PointerEvent::Type type, QMouseEvent* event) {
  if (!display_) return;
  const QPoint at = toDevice(event->position());
  const Qt::KeyboardModifiers modifiers = event->modifiers();
  const GestureResult result =
      display_->pointer({type, at.x(), at.y(), bool(modifiers & Qt::ShiftModifier),
                         bool(modifiers & Qt::ControlModifier)});
  if ((result.selectionChanged || result.bookmarkMoved) && changed_) changed_();
}

void WaveViewWidget::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  pointer(PointerEvent::Type::Press, event);
}

void WaveViewWidget::mouseMoveEvent(QMouseEvent* event) {
  if (event->buttons() & Qt::LeftButton) {
    pointer(PointerEvent::Type::Move, event);
    return;
  }
  if (!display_) return;
  const QPoint at = toDevice(event->position());
  switch (display_->hoverShape(at.x(), at.y(), event->modifiers() & Qt::ControlModifier)) {
    case HoverShape::Arrow:
      unsetCursor();
      break;
    case HoverShape::SizeHorizontal:
      setCursor(Qt::SizeHorCursor);
      break;
    case HoverShape::Hand:
      setCursor(Qt::PointingHandCursor);
      break;
  }
}

void WaveViewWidget::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  pointer(PointerEvent::Type::Release, event);
}

void WaveViewWidget::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && display_ && display_->gestures().dragging()) {
    const GestureResult result = display_->pointer({PointerEvent::Type::Cancel});
    if ((result.selectionChanged || result.bookmarkMoved) && changed_) changed_();
    return;
  }
  QWidget::keyPressEvent(event);
}

void WaveViewWidget::wheelEvent(QWheelEvent* event) {
  if (!display_) return;
  const QPoint angle = event->angleDelta();
  const QPoint pixels = event->pixelDelta();
  const bool sideways =
      (event->modifiers() & Qt::ShiftModifier) || std::abs(angle.x()) > std::abs(angle.y());
  if (sideways) {
    // Pixel deltas when the system sends them (touchpads), else a line of 10 columns a notch.
    const int delta = !pixels.isNull() ? (pixels.x() ? pixels.x() : pixels.y())
                                       : (angle.x() ? angle.x() : angle.y());
    const double columns = !pixels.isNull() ? -delta * devicePixelScale() : -delta / 120.0 * 10;
    display_->scrollColumns(columns);
  } else {
    // Small steps add up to a notch.
    wheelAngle_ += angle.y();
    const int notches = wheelAngle_ / 120;
    if (notches == 0) return;
    wheelAngle_ -= notches * 120;
    const QPoint at = toDevice(event->position());
    display_->wheelZoom(notches * 120, model_.xToFrame(at.x()));
  }
  if (changed_) changed_();
  event->accept();
}

void WaveViewWidget::contextMenuEvent(QContextMenuEvent* event) {
  Q_EMIT contextMenuRequested(event->globalPos());
}

}  // namespace quillon::view::ui
