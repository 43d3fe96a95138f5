#include "view/ui/wave_image.h"

#include "view/ui/wave_painter.h"

namespace quillon::view::ui {

QImage renderWaveImage(const Clip& audio, const OfflineWaveView::Request& request) {
  OfflineWaveView view;
  view.show(audio, request);
  WavePaintPlan plan;
  view.buildPaintPlan(plan);
  QImage image(request.width, request.height, QImage::Format_RGB32);
  WavePainter().paint(image, plan);
  return image;
}

}  // namespace quillon::view::ui
