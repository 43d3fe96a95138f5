#pragma once

#include <functional>

#include "platform/interaction.h"

namespace quillon {

// Plays what a form's values would do (an effect dialog's Preview): the effect over the
// selection, from its start. The form dialog asks its previewer; the sound side implements it.
class FormPreviewer {
 public:
  virtual ~FormPreviewer() = default;
  // Plays with these values from the start; false when it cannot.
  virtual bool start(const DialogValues& values) = 0;
  virtual void stop() = 0;
  virtual bool isPlaying() const = 0;
  // The previewer calls this when playing starts or stops, so that the dialog relabels its
  // button ("Stop" while playing, "Preview" otherwise).
  std::function<void()> stateChanged;
};

}  // namespace quillon
