#pragma once

#include <QColor>
#include <QFont>
#include <QPixmap>
#include <QPoint>
#include <vector>

#include "view/wave_paint_plan.h"

class QPainter;

namespace quillon::view::ui {

QColor toQColor(Rgb colour);

// Turns a wave view's paint plan into QPainter calls, in device pixels (the caller scales the
// painter so that one unit is one device pixel). Pens are one pixel wide and cosmetic, nothing
// is antialiased; the standard background gradient runs from RGB (250, 250, 250) at the top to
// the button face colour at the bottom and is kept as one column, rebuilt when the height
// changes; the classic scheme's background is black.
class WavePainter {
 public:
  void setButtonFace(QColor colour);
  void paint(QPainter& painter, const WavePaintPlan& plan);

 private:
  const QPixmap& gradientColumn(int height);

  QColor buttonFace_{240, 240, 240};
  QPixmap gradient_;
  std::vector<QPoint> points_;
  QFont numberFont_;
};

}  // namespace quillon::view::ui
