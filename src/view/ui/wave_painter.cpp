#include "view/ui/wave_painter.h"

#include <QFontMetrics>
#include <QLinearGradient>
#include <QPainter>
#include <algorithm>
#include <climits>

namespace quillon::view::ui {

QColor toQColor(Rgb colour) {
  return QColor(colour.r, colour.g, colour.b);
}

void WavePainter::setButtonFace(QColor colour) {
  if (colour == buttonFace_) return;
  buttonFace_ = colour;
  gradient_.clear();
}

const std::vector<QRgb>& WavePainter::gradientRows(int height) {
  if (int(gradient_.size()) != height) {
    QImage column(1, std::max(height, 1), QImage::Format_RGB32);
    QPainter p(&column);
    QLinearGradient gradient(0, 0, 0, height);
    gradient.setColorAt(0, toQColor(kBackgroundTop));
    gradient.setColorAt(1, buttonFace_);
    p.fillRect(column.rect(), gradient);
    p.end();
    gradient_.resize(size_t(height));
    for (int y = 0; y < height; ++y)
      gradient_[size_t(y)] = column.pixel(0, y);
  }
  return gradient_;
}

size_t WavePainter::fillSpans(QImage& image, const WavePaintPlan& plan) {
  const std::vector<PaintOp>& ops = plan.ops;
  if (ops.empty() || ops[0].kind != PaintOp::Kind::Background) return 0;
  const ColourScheme& scheme = colourScheme(plan.classic);
  const PixelPoint* at = plan.points.data();
  const int h = std::min(plan.height, image.height());
  const int left = std::max(at[ops[0].first].x, 0);
  const int right = std::min(at[ops[0].first + 1].x, image.width());
  if (left >= right || h <= 0) return 1;
  size_t i = 1;
  // The selection band.
  int selectionLeft = 0, selectionRight = 0, selectionTop = 0, selectionBottom = 0;
  if (i < ops.size() && ops[i].kind == PaintOp::Kind::FillRect &&
      ops[i].role == PaintRole::SelectionBrush) {
    const PixelPoint* p = at + ops[i].first;
    selectionLeft = std::max(p[0].x, left);
    selectionRight = std::min(p[1].x, right);
    selectionTop = p[0].y;
    selectionBottom = p[1].y;
    ++i;
  }
  // The waveform: each column's span (one per lane) and pen.
  const size_t w = size_t(right);
  for (int lane = 0; lane < 2; ++lane) {
    top_[lane].assign(w, INT_MAX);
    bottom_[lane].assign(w, INT_MIN);
  }
  pen_.assign(w, 0);
  bool dual = false;
  for (; i < ops.size() && ops[i].kind == PaintOp::Kind::Polyline &&
         (ops[i].role == PaintRole::WavePen || ops[i].role == PaintRole::SelectedWavePen);
       ++i) {
    const QRgb colour = toQColor(scheme[ops[i].role]).rgb();
    const PixelPoint* p = at + ops[i].first;
    for (uint32_t k = 0; k + 3 < ops[i].count; k += 4) {
      const int x = p[k].x;
      if (x < left || x >= right) continue;
      const int lane = top_[0][size_t(x)] == INT_MAX ? 0 : 1;
      dual = dual || lane == 1;
      top_[lane][size_t(x)] = std::min({p[k].y, p[k + 1].y, p[k + 2].y});
      bottom_[lane][size_t(x)] = std::max({p[k].y, p[k + 1].y, p[k + 2].y});
      pen_[size_t(x)] = colour;
    }
  }
  const QRgb selection = toQColor(scheme[PaintRole::SelectionBrush]).rgb();
  const std::vector<QRgb>& gradient = gradientRows(plan.height);
  const QRgb black = toQColor(kClassicBackground).rgb();
  const int* top0 = top_[0].data();
  const int* bottom0 = bottom_[0].data();
  const int* top1 = top_[1].data();
  const int* bottom1 = bottom_[1].data();
  const QRgb* pen = pen_.data();
  for (int y = 0; y < h; ++y) {
    auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
    const QRgb background = plan.classic ? black : gradient[size_t(y)];
    const bool band = y >= selectionTop && y < selectionBottom;
    for (int x = left; x < right; ++x)
      row[x] = background;
    if (band) {
      for (int x = selectionLeft; x < selectionRight; ++x)
        row[x] = selection;
    }
    for (int x = left; x < right; ++x) {
      if (y >= top0[x] && y <= bottom0[x]) row[x] = pen[x];
    }
    if (dual) {
      for (int x = left; x < right; ++x) {
        if (y >= top1[x] && y <= bottom1[x]) row[x] = pen[x];
      }
    }
  }
  return i;
}

void WavePainter::paintMarks(QPainter& painter, const WavePaintPlan& plan, size_t from) {
  const ColourScheme& scheme = colourScheme(plan.classic);
  auto pen = [&](PaintRole role) {
    QPen p(toQColor(scheme[role]), role == PaintRole::PencilPen ? kPencilPenWidth : 1);
    p.setCosmetic(true);
    p.setCapStyle(Qt::SquareCap);
    return p;
  };
  painter.setRenderHint(QPainter::Antialiasing, false);
  const PixelPoint* at = plan.points.data();
  for (size_t i = from; i < plan.ops.size(); ++i) {
    const PaintOp& op = plan.ops[i];
    const PixelPoint* p = at + op.first;
    switch (op.kind) {
      case PaintOp::Kind::Background:  // always the first operation, filled by fillSpans
        break;
      case PaintOp::Kind::FillRect:
        painter.fillRect(QRect(p[0].x, p[0].y, p[1].x - p[0].x, p[1].y - p[0].y),
                         toQColor(scheme[op.role]));
        break;
      case PaintOp::Kind::Polyline:
        points_.resize(op.count);
        for (uint32_t k = 0; k < op.count; ++k)
          points_[k] = QPoint(p[k].x, p[k].y);
        painter.setPen(pen(op.role));
        painter.drawPolyline(points_.data(), int(op.count));
        break;
      case PaintOp::Kind::Line:
        painter.setPen(pen(op.role));
        painter.drawLine(p[0].x, p[0].y, p[1].x, p[1].y);
        break;
      case PaintOp::Kind::Polygon: {
        points_.resize(op.count);
        for (uint32_t k = 0; k < op.count; ++k)
          points_[k] = QPoint(p[k].x, p[k].y);
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

void WavePainter::paint(QImage& image, const WavePaintPlan& plan) {
  const size_t marks = fillSpans(image, plan);
  if (marks >= plan.ops.size()) return;
  QPainter painter(&image);
  paintMarks(painter, plan, marks);
}

}  // namespace quillon::view::ui
