#pragma once

#include <memory>

#include "audio_io/audio_device.h"
#include "document/wave_document.h"
#include "platform/form.h"
#include "platform/form_previewer.h"

namespace quillon::audio_io::ui {

// The Preview of the effect dialog of `form` over the document's selection, its notices carried
// onto this thread by the event loop; null when the form is no effect's or has no preview.
// `document` must outlive it (the dialog lives within the effect command).
std::unique_ptr<FormPreviewer> makeEffectPreviewer(const Form& form, const WaveDocument& document,
                                                   AudioDevices& devices);

}  // namespace quillon::audio_io::ui
