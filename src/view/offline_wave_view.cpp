#include "view/offline_wave_view.h"

namespace quillon::view {

bool OfflineWaveView::show(const Clip& audio, const Request& request) {
  model_.setSize(request.width, request.height);
  model_.setMarksShown(false);
  model_.setColourScheme(request.classic);
  model_.attach(audio, request.mode, request.verticalZoom);
  model_.setVisibleRange(request.first, request.length, true);
  const bool finished = model_.worker().waitIdle(600000);
  notices_.runPending();
  return finished;
}

void OfflineWaveView::buildPaintPlan(WavePaintPlan& plan) const {
  model_.buildPaintPlan({0, 0, model_.width(), model_.height()}, plan);
}

}  // namespace quillon::view
