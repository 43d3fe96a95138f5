#include "view/ui/wave_painter.h"

#include <QFontMetrics>
#include <QLinearGradient>
#include <QPainter>

namespace quillon::view::ui {

QColor toQColor(Rgb colour) {
  return QColor(colour.r, colour.g, colour.b);
}

void WavePainter::setButtonFace(QColor colour) {
  if (colour == buttonFace_) return;
  buttonFace_ = colour;
  gradient_ = QPixmap();
}

const QPixmap& WavePainter::gradientColumn(int height) {
  if (gradient_.height() != height) {
    QImage column(1, height, QImage::Format_RGB32);
    QPainter p(&column);
    QLinearGradient gradient(0, 0, 0, height);
    gradient.setColorAt(0, toQColor(kBackgroundTop));
    gradient.setColorAt(1, buttonFace_);
    p.fillRect(column.rect(), gradient);
    p.end();
    gradient_ = QPixmap::fromImage(column);
  }
  return gradient_;
}

void WavePainter::paint(QPainter& painter, const WavePaintPlan& plan) {
  const ColourScheme& scheme = colourScheme(plan.classic);
  auto pen = [&](PaintRole role) {
    QPen p(toQColor(scheme[role]), role == PaintRole::PencilPen ? kPencilPenWidth : 1);
    p.setCosmetic(true);
    p.setCapStyle(Qt::SquareCap);
    return p;
  };
  painter.setRenderHint(QPainter::Antialiasing, false);
  const PixelPoint* at = plan.points.data();
  for (const PaintOp& op : plan.ops) {
    const PixelPoint* p = at + op.first;
    switch (op.kind) {
      case PaintOp::Kind::Background: {
        const QRect area(p[0].x, p[0].y, p[1].x - p[0].x, p[1].y - p[0].y);
        if (plan.classic) {
          painter.fillRect(area, toQColor(kClassicBackground));
        } else {
          painter.drawPixmap(area, gradientColumn(plan.height),
                             QRect(0, area.top(), 1, area.height()));
        }
        break;
      }
      case PaintOp::Kind::FillRect:
        painter.fillRect(QRect(p[0].x, p[0].y, p[1].x - p[0].x, p[1].y - p[0].y),
                         toQColor(scheme[op.role]));
        break;
      case PaintOp::Kind::Polyline:
        points_.resize(op.count);
        for (uint32_t i = 0; i < op.count; ++i)
          points_[i] = QPoint(p[i].x, p[i].y);
        painter.setPen(pen(op.role));
        painter.drawPolyline(points_.data(), int(op.count));
        break;
      case PaintOp::Kind::Line:
        painter.setPen(pen(op.role));
        painter.drawLine(p[0].x, p[0].y, p[1].x, p[1].y);
        break;
      case PaintOp::Kind::Polygon: {
        points_.resize(op.count);
        for (uint32_t i = 0; i < op.count; ++i)
          points_[i] = QPoint(p[i].x, p[i].y);
        painter.setPen(pen(op.outline));
        painter.setBrush(toQColor(scheme[op.role]));
        painter.drawPolygon(points_.data(), int(op.count));
        painter.setBrush(Qt::NoBrush);
        break;
      }
      case PaintOp::Kind::Number: {
        if (numberFont_.pixelSize() != plan.bookmarkFontPixels) {
          numberFont_.setPixelSize(plan.bookmarkFontPixels);
          numberFont_.setWeight(QFont::Normal);
        }
        painter.setFont(numberFont_);
        painter.setPen(toQColor(scheme[op.role]));
        painter.drawText(p[0].x, p[0].y + QFontMetrics(numberFont_).ascent(),
                         QString::number(op.number));
        break;
      }
    }
  }
}

}  // namespace quillon::view::ui
