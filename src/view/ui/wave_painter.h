#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPoint>
#include <vector>

#include "view/wave_paint_plan.h"

class QPainter;

namespace quillon::view::ui {

QColor toQColor(Rgb colour);

// Turns a wave view's paint plan into pixels of an image of the view's size (device pixels).
// The background, the selection band and the waveform's runs, which cover most pixels, are
// written row by row straight into the image (each waveform column is the span its polyline
// draws); the marks over them are QPainter calls with one-pixel cosmetic pens, nothing
// antialiased. The standard background is a vertical gradient from RGB (250, 250, 250) at the
// top to the button face colour at the bottom, kept per row; the classic scheme's is black.
class WavePainter {
 public:
  void setButtonFace(QColor colour);
  // `image` is RGB32, of the plan's size.
  void paint(QImage& image, const WavePaintPlan& plan);

 private:
  // Writes the leading background, selection and waveform operations; answers the index of the
  // first operation left for QPainter.
  size_t fillSpans(QImage& image, const WavePaintPlan& plan);
  void paintMarks(QPainter& painter, const WavePaintPlan& plan, size_t from);
  const std::vector<QRgb>& gradientRows(int height);

  QColor buttonFace_{240, 240, 240};
  std::vector<QRgb> gradient_;
  std::vector<int> top_[2], bottom_[2];
  std::vector<QRgb> pen_;
  std::vector<QPoint> points_;
  QFont numberFont_;
};

}  // namespace quillon::view::ui
