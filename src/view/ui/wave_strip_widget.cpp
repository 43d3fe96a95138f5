#include "view/ui/wave_strip_widget.h"

#include <QMouseEvent>
#include <QPainter>

#include "view/ui/wave_painter.h"

namespace quillon::view::ui {

WaveStripWidget::WaveStripWidget(QWidget* parent) : QWidget(parent), model_(poster_) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  model_.setInvalidationListener([this] {
    for (const PixelRect& r : model_.takeInvalidations())
      update(QRect(r.left, r.top, r.right - r.left, r.bottom - r.top));
  });
}

WaveStripWidget::~WaveStripWidget() = default;

void WaveStripWidget::resizeEvent(QResizeEvent*) {
  model_.setSize(width(), height());
}

void WaveStripWidget::changeEvent(QEvent* event) {
  if (event->type() == QEvent::EnabledChange) model_.setEnabled(isEnabled());
  QWidget::changeEvent(event);
}

void WaveStripWidget::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const int h = model_.height(), columns = model_.columns();
  if (!model_.enabled()) {
    p.fillRect(rect(), palette().color(QPalette::Disabled, QPalette::Button));
    return;
  }
  const QPalette& pal = palette();
  const QColor greyText = pal.color(QPalette::Disabled, QPalette::WindowText);
  const QColor face = pal.color(QPalette::Button);
  model_.buildColumns(
      columns_, {uint8_t(greyText.red()), uint8_t(greyText.green()), uint8_t(greyText.blue())},
      {uint8_t(face.red()), uint8_t(face.green()), uint8_t(face.blue())});
  p.fillRect(rect(), face);
  for (const WaveStripModel::Column& c : columns_) {
    const int x = c.x + 1;
    if (c.selectionStart) {
      p.setPen(toQColor(c.wave));
      p.drawLine(x, 1, x, h);
      continue;
    }
    p.setPen(toQColor(c.background));
    if (c.waveTop > 1) p.drawLine(x, 1, x, c.waveTop - 1);
    p.setPen(toQColor(c.wave));
    p.drawLine(x, c.waveTop, x, c.waveBottom - 1);
    p.setPen(toQColor(c.background));
    if (c.waveBottom < h) p.drawLine(x, c.waveBottom, x, h - 1);
  }
  // The sunken frame: dark along the top and left, light along the bottom and right.
  p.setPen(Qt::white);
  p.drawLine(0, h, columns + 1, h);
  p.drawLine(columns + 1, 0, columns + 1, h);
  p.setPen(Qt::black);
  p.drawLine(0, 0, columns + 1, 0);
  p.drawLine(0, 0, 0, h);
}

void WaveStripWidget::tapAt(QMouseEvent* event) {
  const int64_t frame = model_.tap(int(event->position().x()) - 1);
  Q_EMIT tapped(frame);
}

void WaveStripWidget::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) tapAt(event);
}

void WaveStripWidget::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) tapAt(event);
}

}  // namespace quillon::view::ui
