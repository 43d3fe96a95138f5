#pragma once

#include <string>

#include "document/sample_stream.h"
#include "effects/effect_filter.h"
#include "platform/ref_counted.h"

namespace quillon {

// What an effect is, as a value captured when its command ran: the title of its progress dialog
// and a way to build its filter over a source. The same descriptor serves the processing of the
// selection and the dialog's preview.
class EffectDescriptor {
 public:
  virtual ~EffectDescriptor() = default;
  virtual std::string name() const = 0;
  virtual Ref<EffectFilter> makeFilter(Ref<SampleSource> source) const = 0;
};

}  // namespace quillon
