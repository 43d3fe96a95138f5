#include "effects/format_conversion.h"
namespace quillon {
Ref<SampleSource> convertFormat(Ref<SampleSource> source, int32_t, int) {
  return source;
}
}  // namespace quillon
