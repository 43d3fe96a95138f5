#pragma once
#include "document/sample_stream.h"
namespace quillon {
Ref<SampleSource> convertFormat(Ref<SampleSource> source, int32_t rate, int channels);
}
