#pragma once

#include <cstdint>

#include "document/clip.h"
#include "platform/notice_poster.h"
#include "view/wave_view_model.h"

namespace quillon::view {

// A wave view without a window, for pictures and peak lists of the command line: the same
// model and worker as the editor's view, waited for until its peaks are published. Only the
// waveform is painted (no marks).
class OfflineWaveView {
 public:
  struct Request {
    int width = 1000, height = 200;
    int mode = 0;
    bool verticalZoom = false;
    bool classic = false;
    int64_t first = 0;
    int64_t length = 0;  // 0: the whole audio
  };

  // Shows [first, first + length) of the audio and waits for the worker; false when it did not
  // finish in time.
  bool show(const Clip& audio, const Request& request);
  const WaveViewModel& model() const { return model_; }
  const PublishedPeaks& peaks() const { return model_.peaks(); }
  void buildPaintPlan(WavePaintPlan& plan) const;

 private:
  NoticeQueue notices_;
  WaveViewModel model_{notices_};
};

}  // namespace quillon::view
