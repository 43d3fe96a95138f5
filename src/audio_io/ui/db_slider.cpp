#include "audio_io/ui/db_slider.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace quillon::audio_io::ui {
namespace {

QColor colour(ControlColour rgb) {
  return QColor(int(rgb >> 16 & 0xFF), int(rgb >> 8 & 0xFF), int(rgb & 0xFF));
}

QRect rectOf(const ControlBox& box) {
  return QRect(box.left, box.top, box.width(), box.height());
}

// A filled box with its outline as its outermost ring of pixels.
void paintBox(QPainter& p, const FilledBox& part) {
  const QRect r = rectOf(part.box);
  if (r.isEmpty()) return;
  p.fillRect(r, colour(part.fill));
  p.setPen(colour(part.outline));
  p.setBrush(Qt::NoBrush);
  p.drawRect(r.adjusted(0, 0, -1, -1));
}

constexpr ControlColour kBorder = 0x4B5154;

}  // namespace

DbSlider::DbSlider(int minimum, int maximum, QWidget* parent)
    : QWidget(parent), model_(minimum, maximum, 0) {
  setFocusPolicy(Qt::StrongFocus);
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void DbSlider::setValue(int decibels) {
  if (model_.setValue(decibels)) update();
}

void DbSlider::setRange(int minimum, int maximum) {
  model_.setRange(minimum, maximum);
  update();
}

ControlBox DbSlider::clientBox() const {
  return {1, 1, std::max(width() - 1, 1), std::max(height() - 1, 1)};
}

void DbSlider::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const bool enabled = isEnabled();
  p.setPen(enabled ? colour(kBorder) : colour(DecibelSliderModel::kDisabled));
  p.setBrush(Qt::NoBrush);
  p.drawRect(rect().adjusted(0, 0, -1, -1));
  const DecibelSliderModel::Drawing d =
      model_.draw(clientBox(), hover_ || dragging_ || hasFocus(), enabled);
  for (const FilledBox& part : d.parts)
    paintBox(p, part);
  paintBox(p, d.thumb);
  if (d.gripBottom > d.gripTop) {
    p.setPen(colour(d.gripLight));
    p.drawLine(d.gripLightX, d.gripTop, d.gripLightX, d.gripBottom - 1);
    p.setPen(colour(d.gripDark));
    p.drawLine(d.gripDarkX, d.gripTop, d.gripDarkX, d.gripBottom - 1);
  }
}

void DbSlider::change(bool changed) {
  if (!changed) return;
  update();
  Q_EMIT valueChanged(model_.value());
}

void DbSlider::setFromX(int x) {
  const ControlBox client = clientBox();
  change(model_.setValue(model_.valueAt(x - client.left, client.width())));
}

bool DbSlider::overThumb(int x, int y) const {
  const ControlBox thumb = model_.thumbBox(clientBox());
  return x >= thumb.left && x < thumb.right && y >= thumb.top && y < thumb.bottom;
}

void DbSlider::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
  dragging_ = true;
  setFromX(int(event->position().x()));
  update();
}

void DbSlider::mouseMoveEvent(QMouseEvent* event) {
  const int x = int(event->position().x()), y = int(event->position().y());
  if (dragging_ && (event->buttons() & Qt::LeftButton)) setFromX(x);
  const bool hover = overThumb(x, y);
  if (hover != hover_) {
    hover_ = hover;
    update();
  }
}

void DbSlider::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !dragging_) return QWidget::mouseReleaseEvent(event);
  setFromX(int(event->position().x()));
  dragging_ = false;
  update();
}

void DbSlider::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Plus:
      change(model_.step(+1));
      return;
    case Qt::Key_Minus:
      change(model_.step(-1));
      return;
    default:
      QWidget::keyPressEvent(event);
  }
}

void DbSlider::leaveEvent(QEvent* event) {
  hover_ = false;
  update();
  QWidget::leaveEvent(event);
}

void DbSlider::focusInEvent(QFocusEvent* event) {
  update();
  QWidget::focusInEvent(event);
}

void DbSlider::focusOutEvent(QFocusEvent* event) {
  update();
  QWidget::focusOutEvent(event);
}

}  // namespace quillon::audio_io::ui
