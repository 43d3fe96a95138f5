#pragma once

#include <QImage>

#include "view/offline_wave_view.h"

namespace quillon::view::ui {

// The picture the wave view paints for a range of audio, without marks, rendered into an image
// (the command line's `render`). Needs a QGuiApplication for nothing but fonts; none are used.
QImage renderWaveImage(const Clip& audio, const OfflineWaveView::Request& request);

}  // namespace quillon::view::ui
